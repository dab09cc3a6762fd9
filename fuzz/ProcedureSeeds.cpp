// procedure-seeds DIR: writes the shipped procedure and the template into
// DIR, as the first corpus of the procedure fuzzer.

#include "check/Procedure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: procedure-seeds DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out))
        return 1;
    for (const QString& source : {DefaultProcedurePath(), ProcedureTemplatePath()}) {
        const QString target = out + QLatin1Char('/') + source.section(QLatin1Char('/'), -1);
        QFile::remove(target);
        if (!QFile::copy(source, target)) {
            std::fprintf(stderr, "procedure-seeds: cannot write %s\n", qUtf8Printable(target));
            return 1;
        }
    }
    return 0;
}
