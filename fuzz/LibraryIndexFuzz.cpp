// What the library makes of any file named as its index: the check of what
// the file is, opening it to read and to write (setting a damaged index of
// ours aside, upgrading an older one), and every query the window and the
// command line run on it.

#include "library/LibraryStore.h"
#include "library/NamedRoots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {
QCoreApplication* g_app = nullptr;
QTemporaryDir* g_dir = nullptr;

void Read(CLibraryStore& store) {
    // A named root's fingerprint is read back from the index.
    if (const auto roots = store.Roots())
        for (const LibraryRoot& root : *roots)
            (void)ParseFingerprint(root.fingerprint).samples.size();
    if (const auto rows = store.Joints())
        for (const JointRow& r : *rows)
            (void)r.files.size();
    JointFilter filter;
    filter.job = QStringLiteral("j%_\\");
    filter.since = QDate(2024, 1, 1);
    filter.status = QStringLiteral("offline");
    (void)store.Joints(filter);
    (void)store.MissingOlderThan(0);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QCoreApplication(*argc, *argv);
    g_dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = g_dir->path() + QStringLiteral("/library.sqlite");
    for (const QString& name : QDir(g_dir->path()).entryList(QDir::Files))
        QFile::remove(g_dir->path() + QLatin1Char('/') + name);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    {
        CLibraryStore reader(path, 0);
        if (reader.Open(CLibraryStore::Mode::Read) == CLibraryStore::OpenResult::Ok)
            Read(reader);
    }
    CLibraryStore writer(path, 0);
    if (writer.Open(CLibraryStore::Mode::Write) == CLibraryStore::OpenResult::Ok) {
        Read(writer);
        if (writer.Begin() && writer.Tidy())
            writer.Commit();
    }
    return 0;
}
