// The procedure file reader on any bytes: a file it takes must give a
// procedure the check can use (a name, ordered ranges, rising wall steps).

#include "check/Procedure.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
QCoreApplication* g_app = nullptr;
QTemporaryDir* g_dir = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QCoreApplication(*argc, *argv);
    g_dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = g_dir->filePath(QStringLiteral("procedure.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Procedure p;
    QString error;
    if (!LoadProcedure(path, p, error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (p.name.isEmpty() || p.heaterMinF > p.heaterMaxF ||
        p.interfacialMinPsi > p.interfacialMaxPsi || p.heaterRemoval.empty())
        std::abort();
    for (size_t i = 1; i < p.heaterRemoval.size(); ++i)
        if (p.heaterRemoval[i].upToWallInches <= p.heaterRemoval[i - 1].upToWallInches)
            std::abort();
    return 0;
}
