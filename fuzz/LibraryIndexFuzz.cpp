// What the library makes of any file named as its index: the check of what
// the file is, opening it to read and to write (setting a damaged index of
// ours aside, upgrading an older one), and every query the window and the
// command line run on it. The same bytes as the reviews file beside a sound
// index: read, and a review added.

#include "library/LibraryStore.h"
#include "library/NamedRoots.h"
#include "library/SqliteIndexFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    filter.search = QStringLiteral("ü \"x");
    filter.since = QDate(2024, 1, 1);
    filter.status = QStringLiteral("offline");
    (void)store.Joints(filter);
    (void)store.MissingOlderThan(0);
    (void)store.ReviewHistory();
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
    {
        CLibraryStore writer(path, 0);
        if (writer.Open(CLibraryStore::Mode::Write) == CLibraryStore::OpenResult::Ok) {
            Read(writer);
            if (writer.Begin() && writer.Tidy())
                writer.Commit();
        }
    }

    const QString sound = g_dir->path() + QStringLiteral("/sound/library.sqlite");
    if (!QFile::exists(sound)) {
        QDir().mkpath(QFileInfo(sound).absolutePath());
        CLibraryStore maker(sound, 0);
        maker.Open(CLibraryStore::Mode::Write);
    }
    const QString reviews = ReviewsDatabase(sound);
    for (const char* side : {"", "-wal", "-shm"})
        QFile::remove(reviews + QLatin1String(side));
    {
        QFile file(reviews);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    {
        CLibraryStore reader(sound, 0);
        if (reader.Open(CLibraryStore::Mode::Read) == CLibraryStore::OpenResult::Ok)
            Read(reader);
    }
    CLibraryStore reviewer(sound, 0);
    if (reviewer.Open(CLibraryStore::Mode::Review) == CLibraryStore::OpenResult::Ok) {
        (void)reviewer.CurrentReviews();
        JointReview change, now;
        change.machineId = QStringLiteral("M-1");
        change.dateTime = QStringLiteral("2024-03-04 07:00:00");
        change.jointNumber = 1;
        change.state = QStringLiteral("accepted");
        (void)reviewer.AddReview(change, now);
    }
    return 0;
}
