// procedure-seeds DIR: writes the shipped procedure into DIR, as the first
// corpus of the procedure fuzzer.

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
    const QString target = out + QStringLiteral("/generic-pe-butt-fusion.ini");
    QFile::remove(target);
    if (!QDir().mkpath(out) || !QFile::copy(DefaultProcedurePath(), target)) {
        std::fprintf(stderr, "procedure-seeds: cannot write %s\n", qUtf8Printable(target));
        return 1;
    }
    return 0;
}
