#include "library/LibraryStore.h"
#include "library/LibraryLock.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void MakeSqlite(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << qPrintable(s);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
}

QStringList Aside(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral("library.sqlite.damaged-*")}, QDir::Files);
}
} // namespace

TEST(LibraryStore, NewStoreHasItsSchemaAndKeepsRowsUnique) {
    QTemporaryDir dir;
    CLibraryStore store(dir.path() + QStringLiteral("/sub/library.sqlite"));
    ASSERT_EQ(store.Open(), CLibraryStore::OpenResult::Ok) << qPrintable(store.Message());
    const qint64 root = store.AddRoot(QStringLiteral("/r"));
    EXPECT_EQ(store.AddRoot(QStringLiteral("/r")), root);
    JointFields f;
    f.job = QStringLiteral("J'1; DROP TABLE reports;--");
    const qint64 report = store.PutReport(QByteArray(32, 'a'), 10, f);
    ASSERT_GT(report, 0);
    EXPECT_EQ(store.PutReport(QByteArray(32, 'a'), 10, f), report);
    ASSERT_TRUE(store.PutFile(root, QStringLiteral("a.kjr"), 10, 5, report, QString()));
    ASSERT_TRUE(store.PutFile(root, QStringLiteral("a.kjr"), 11, 6, report, QString()));
    const auto joints = store.Joints();
    ASSERT_EQ(joints.size(), 1u);
    EXPECT_EQ(joints[0].fields.job, f.job);
    EXPECT_EQ(joints[0].files, QStringList{QStringLiteral("/r/a.kjr")});
    EXPECT_EQ(store.FilesOfRoot(root).value(QStringLiteral("a.kjr")).size, 11);
}

// The index is a cache: what is not a sound index of ours is set aside under
// a new name (never deleted) and a new one is made; one from a newer program
// is refused and left exactly as it was.
TEST(LibraryStore, DamagedForeignAndNewerDatabases) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/library.sqlite");

    QByteArray garbage(8192, '\x5a');
    garbage.replace(0, 16, "SQLite format 3\0");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    {
        CLibraryStore store(path);
        EXPECT_EQ(store.Open(), CLibraryStore::OpenResult::Rebuilt);
        EXPECT_TRUE(store.Message().contains(QStringLiteral("damaged")));
        EXPECT_GT(store.AddRoot(QStringLiteral("/r")), 0);
    }
    ASSERT_EQ(Aside(dir.path()).size(), 1);
    EXPECT_EQ(Bytes(dir.path() + QLatin1Char('/') + Aside(dir.path())[0]), garbage);

    // A sound header over a damaged page: only the check on open sees it.
    QFile::remove(path);
    {
        CLibraryStore store(path);
        ASSERT_EQ(store.Open(), CLibraryStore::OpenResult::Ok);
        const qint64 root = store.AddRoot(QStringLiteral("/r"));
        ASSERT_TRUE(store.Begin());
        for (int i = 0; i < 400; ++i)
            ASSERT_TRUE(store.PutFile(root, QStringLiteral("report %1.kjr").arg(i), i, i, 0,
                                      QStringLiteral("not a joint report")));
        ASSERT_TRUE(store.Commit());
    }
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
        ASSERT_GT(f.size(), 6 * 4096);
        f.seek(4096);
        f.write(QByteArray(int(f.size()) - 4096, '\xff'));
    }
    {
        CLibraryStore store(path);
        EXPECT_EQ(store.Open(), CLibraryStore::OpenResult::Rebuilt);
    }
    EXPECT_EQ(Aside(dir.path()).size(), 2);

    QFile::remove(path);
    MakeSqlite(path, {QStringLiteral("CREATE TABLE photos(id INTEGER)")});
    {
        CLibraryStore store(path);
        EXPECT_EQ(store.Open(), CLibraryStore::OpenResult::Rebuilt);
        EXPECT_TRUE(store.Message().contains(QStringLiteral("not a library index")));
    }
    EXPECT_EQ(Aside(dir.path()).size(), 3);

    QFile::remove(path);
    MakeSqlite(path,
               {QStringLiteral("PRAGMA application_id = %1").arg(CLibraryStore::kApplicationId),
                QStringLiteral("PRAGMA user_version = %1").arg(CLibraryStore::kSchemaVersion + 1),
                QStringLiteral("CREATE TABLE future(x)")});
    const QByteArray before = Bytes(path);
    {
        CLibraryStore store(path);
        EXPECT_EQ(store.Open(), CLibraryStore::OpenResult::TooNew);
        EXPECT_TRUE(store.Message().contains(QStringLiteral("newer")));
    }
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(Aside(dir.path()).size(), 3);
}

// One program per index; the lock goes with its holder, so a crashed holder
// (whose descriptors the system closes) leaves nothing behind.
TEST(LibraryStore, LockIsHeldByOneAndFreedWithIt) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/library.sqlite");
    auto first = std::make_unique<CLibraryLock>(path);
    ASSERT_TRUE(first->TryLock());
    CLibraryLock second(path);
    EXPECT_FALSE(second.TryLock());
    first.reset();
    EXPECT_TRUE(second.TryLock());
}
