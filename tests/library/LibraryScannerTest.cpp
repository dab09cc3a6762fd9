#include "library/LibraryScanner.h"
#include "LibraryTree.h"
#include "library/LibraryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Moves the file's modification time by `ms`.
void ShiftMtime(const QString& path, int ms) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime before = f.fileTime(QFileDevice::FileModificationTime);
    ASSERT_TRUE(f.setFileTime(before.addMSecs(ms), QFileDevice::FileModificationTime));
}

// Folders of 200-character names, `levels` deep below `base`, made one
// level at a time so that no path longer than the system takes is used.
const std::string kLongName(200, 'd');
void MakeDeepFolder(const QString& base, int levels) {
    int fd = open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        ASSERT_EQ(mkdirat(fd, kLongName.c_str(), 0700), 0);
        const int next = openat(fd, kLongName.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    close(fd);
}
void RemoveDeepFolderAt(int fd) {
    const int child = openat(fd, kLongName.c_str(), O_RDONLY | O_DIRECTORY);
    if (child < 0)
        return;
    RemoveDeepFolderAt(child);
    close(child);
    unlinkat(fd, kLongName.c_str(), AT_REMOVEDIR);
}
void RemoveDeepFolder(const QString& base) {
    const int fd = open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    RemoveDeepFolderAt(fd);
    close(fd);
}

class LibraryScan : public ::testing::Test {
protected:
    void SetUp() override {
        a = tree.path() + QStringLiteral("/office/Joint Reports");
        b = tree.path() + QStringLiteral("/card/Joint Reports");
        ASSERT_EQ(store.Open(), CLibraryStore::OpenResult::Ok);
    }
    ScanSummary Scan() {
        CLibraryScanner scanner(store);
        return scanner.Scan({a, b});
    }
    const JointRow* Joint(int number) {
        rows = store.Joints();
        for (const JointRow& r : rows)
            if (r.status != QLatin1String("unreadable") && r.fields.jointNumber == number)
                return &r;
        return nullptr;
    }
    QString Status(int number) {
        const JointRow* r = Joint(number);
        return r ? r->status : QStringLiteral("gone");
    }

    QTemporaryDir tree;
    QTemporaryDir data;
    CLibraryStore store{data.path() + QStringLiteral("/library.sqlite")};
    QString a, b;
    std::vector<JointRow> rows;
};
} // namespace

// A tree with a copy and its backup, damaged files, a FIFO and a link loop:
// one joint per report, every bad file named with its reason, and a second
// scan that reads nothing.
TEST_F(LibraryScan, TreeWithDuplicatesAndHostileFiles) {
    const QByteArray one = MakeReportBytes(1, QStringLiteral("J-1"));
    PutFile(a + QStringLiteral("/one.kjr"), one);
    PutFile(b + QStringLiteral("/one copy.KJR"), one);
    PutFile(a + QStringLiteral("/2024/two.kjr"), MakeReportBytes(2, QStringLiteral("J-1")));
    PutFile(a + QStringLiteral("/garbage.kjr"), QByteArray(5000, 'x'));
    PutFile(a + QStringLiteral("/truncated.kjr"), one.left(one.size() / 3));
    PutFile(a + QStringLiteral("/notes.txt"), "not a report");
    {
        QFile huge(a + QStringLiteral("/huge.kjr")); // sparse: no disk used
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(CLibraryScanner::kMaxReportBytes + 1));
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(a + QStringLiteral("/pipe.kjr")).constData(), 0600), 0);
    {
        const QByteArray latin1 = QFile::encodeName(a) + "/Gr\xfcn.kjr"; // not UTF-8
        const int fd = open(latin1.constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, one.constData(), size_t(one.size())), one.size());
        close(fd);
    }
    ASSERT_EQ(symlink("..", QFile::encodeName(a + QStringLiteral("/2024/loop")).constData()), 0);

    ScanSummary s = Scan();
    EXPECT_FALSE(s.cancelled);
    EXPECT_TRUE(s.problems.isEmpty()) << qPrintable(s.problems.join(QLatin1Char('\n')));
    EXPECT_EQ(s.added.size(), 3);
    ASSERT_EQ(s.unreadable.size(), 5);
    EXPECT_TRUE(s.unreadable[0].endsWith(QStringLiteral(".kjr: the file name is not valid text")));
    EXPECT_TRUE(
        s.unreadable[1].endsWith(QStringLiteral("garbage.kjr: not a joint report, or damaged")));
    EXPECT_TRUE(s.unreadable[2].endsWith(QStringLiteral("huge.kjr: too large for a joint report")));
    EXPECT_TRUE(s.unreadable[3].endsWith(QStringLiteral("pipe.kjr: not a regular file")));
    EXPECT_TRUE(s.unreadable[4].contains(QStringLiteral("truncated.kjr")));

    const JointRow* j1 = Joint(1);
    ASSERT_NE(j1, nullptr);
    EXPECT_EQ(j1->status, QStringLiteral("present"));
    EXPECT_EQ(j1->files,
              (QStringList{b + QStringLiteral("/one copy.KJR"), a + QStringLiteral("/one.kjr")}));
    EXPECT_EQ(j1->fields.job, QStringLiteral("J-1"));
    EXPECT_EQ(j1->fields.samples, 300);
    EXPECT_EQ(j1->fields.model, QStringLiteral("Rhino 412"));
    EXPECT_EQ(j1->fields.dateTime, QStringLiteral("2024-03-02 14:30:05"));
    EXPECT_GE(j1->fields.maxPressurePsi, 338);
    EXPECT_EQ(Status(2), QStringLiteral("present"));
    int unreadable = 0;
    for (const JointRow& r : store.Joints())
        unreadable += r.status == QLatin1String("unreadable") ? 1 : 0;
    EXPECT_EQ(unreadable, 5);

    s = Scan();
    EXPECT_TRUE(s.added.isEmpty() && s.updated.isEmpty() && s.unreadable.isEmpty() &&
                s.missing.isEmpty());
    EXPECT_EQ(s.unchanged, 8);
}

// A removed file of a reachable root is missing, not gone, until the user
// forgets it; a rewritten file is read again; a joint still found elsewhere
// stays present.
// Each joint carries the check's verdict; an index made before there was a
// verdict reads its joints once more on the next scan to get theirs, and
// leaves the files it could not read alone.
TEST_F(LibraryScan, JointsGetTheirVerdictAlsoInAnIndexOfTheFirstVersion) {
    const QByteArray good = MakeCheckedReportBytes(1, QStringLiteral("J-1"), true);
    PutFile(a + QStringLiteral("/good.kjr"), good);
    PutFile(b + QStringLiteral("/good.kjr"), good);
    PutFile(a + QStringLiteral("/bad.kjr"),
            MakeCheckedReportBytes(2, QStringLiteral("J-1"), false));
    PutFile(a + QStringLiteral("/garbage.kjr"), QByteArray(5000, 'x'));
    ASSERT_EQ(Scan().added.size(), 3);
    ASSERT_NE(Joint(1), nullptr);
    EXPECT_EQ(Joint(1)->fields.verdict, QStringLiteral("pass"));
    ASSERT_NE(Joint(2), nullptr);
    EXPECT_EQ(Joint(2)->fields.verdict, QStringLiteral("fail"));

    // As the first version left it: no verdicts, every file unchanged.
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(store.Path());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE reports SET verdict = ''")));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version = 1")));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    CLibraryStore old(store.Path());
    ASSERT_EQ(old.Open(), CLibraryStore::OpenResult::Ok) << qPrintable(old.Message());
    ScanSummary s = CLibraryScanner(old).Scan({a, b});
    EXPECT_EQ(s.updated.size(), 3);
    EXPECT_TRUE(s.added.isEmpty() && s.unreadable.isEmpty() && s.problems.isEmpty());
    EXPECT_EQ(Joint(1)->fields.verdict, QStringLiteral("pass"));
    EXPECT_EQ(Joint(2)->fields.verdict, QStringLiteral("fail"));
    EXPECT_EQ(Joint(1)->files.size(), 2);

    // Once only.
    s = CLibraryScanner(old).Scan({a, b});
    EXPECT_TRUE(s.updated.isEmpty());
    EXPECT_EQ(s.unchanged, 4);
}

TEST_F(LibraryScan, RemovedChangedAndForgotten) {
    for (int j = 1; j <= 4; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-4")));
    PutFile(b + QStringLiteral("/1.kjr"), MakeReportBytes(1, QStringLiteral("J-4")));
    Scan();
    QFile::remove(a + QStringLiteral("/2.kjr"));
    QFile::remove(a + QStringLiteral("/1.kjr"));
    // Same size; a rewrite is seen by its time, but a time that moved by
    // less than a second (a copy to FAT and back) is no change.
    PutFile(a + QStringLiteral("/3.kjr"), MakeReportBytes(33, QStringLiteral("J-4")));
    ShiftMtime(a + QStringLiteral("/3.kjr"), 3000);
    ShiftMtime(a + QStringLiteral("/4.kjr"), -1000);
    ScanSummary s = Scan();
    EXPECT_EQ(s.missing, (QStringList{a + QStringLiteral("/1.kjr"), a + QStringLiteral("/2.kjr")}));
    EXPECT_EQ(s.updated, QStringList{a + QStringLiteral("/3.kjr")});
    EXPECT_EQ(s.unchanged, 2); // 4 here, 1 on the card
    EXPECT_EQ(Status(1), QStringLiteral("present"));
    EXPECT_EQ(Status(2), QStringLiteral("missing"));
    EXPECT_EQ(Status(3), QStringLiteral("gone")); // the file now holds joint 33
    EXPECT_EQ(Status(33), QStringLiteral("present"));

    EXPECT_EQ(store.ForgetMissing(), 2);
    EXPECT_EQ(Status(2), QStringLiteral("gone"));
    EXPECT_EQ(Joint(1)->files, QStringList{b + QStringLiteral("/1.kjr")});
}

// A folder that is away is not a folder whose reports were deleted: its
// joints are offline and come back as they were.
TEST_F(LibraryScan, RootAwayAndBackKeepsItsJoints) {
    for (int j = 1; j <= 3; ++j)
        PutFile(b + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-7")));
    PutFile(a + QStringLiteral("/9.kjr"), MakeReportBytes(9, QStringLiteral("J-7")));
    Scan();
    const qint64 id = Joint(2)->id;
    const QString away = tree.path() + QStringLiteral("/away");
    ASSERT_TRUE(QDir().rename(tree.path() + QStringLiteral("/card"), away));

    ScanSummary s = Scan();
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_TRUE(s.missing.isEmpty());
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    EXPECT_EQ(Status(9), QStringLiteral("present"));
    EXPECT_EQ(store.ForgetMissing(), 0);

    // An empty mount point where the card was: still away.
    QDir().mkpath(b);
    s = Scan();
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    QDir(tree.path() + QStringLiteral("/card")).removeRecursively();

    ASSERT_TRUE(QDir().rename(away, tree.path() + QStringLiteral("/card")));
    s = Scan();
    EXPECT_TRUE(s.offline.isEmpty());
    EXPECT_TRUE(s.added.isEmpty());
    EXPECT_EQ(s.unchanged, 4);
    EXPECT_EQ(Status(2), QStringLiteral("present"));
    EXPECT_EQ(Joint(2)->id, id);

    // A folder the library knows that is not among its folders today (the
    // card was not found) is away as well.
    s = CLibraryScanner(store).Scan({a});
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    EXPECT_EQ(Status(9), QStringLiteral("present"));
    Scan();

    // Most of a root gone at once looks like a swapped card, not deletions.
    QFile::remove(b + QStringLiteral("/1.kjr"));
    QFile::remove(b + QStringLiteral("/2.kjr"));
    s = Scan();
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(s.suspect, QStringList{b});
    EXPECT_EQ(Status(1), QStringLiteral("offline"));
    EXPECT_EQ(Status(3), QStringLiteral("offline"));
    // Unless the user says they were removed on purpose.
    {
        CLibraryScanner confirmed(store);
        confirmed.SetConfirmedRemovals({b + QStringLiteral("/")});
        s = confirmed.Scan({a, b});
    }
    EXPECT_TRUE(s.offline.isEmpty());
    EXPECT_EQ(s.missing.size(), 2);
    EXPECT_EQ(Status(1), QStringLiteral("missing"));
    EXPECT_EQ(Status(3), QStringLiteral("present"));

    // A root whose only joint vanished, leaving it empty, is away too.
    QFile::remove(a + QStringLiteral("/9.kjr"));
    s = Scan();
    EXPECT_TRUE(s.offline.contains(a));
    EXPECT_EQ(Status(9), QStringLiteral("offline"));
}

// A cancelled scan keeps what it added and marks nothing missing; a folder
// it could not list stops removals too.
TEST_F(LibraryScan, CancelledOrIncompleteScanRemovesNothing) {
    for (int j = 1; j <= 4; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-8")));
    Scan();
    QFile::remove(a + QStringLiteral("/4.kjr"));
    for (int j = 5; j <= 8; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-8")));

    std::atomic<bool> cancel{false};
    CLibraryScanner scanner(store);
    scanner.SetCancelFlag(&cancel);
    int calls = 0;
    scanner.SetProgress([&](int done, int total) {
        ++calls;
        EXPECT_LE(done, total);
        if (done == 5)
            cancel = true;
    });
    ScanSummary s = scanner.Scan({a});
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(s.added.size(), 2); // 5 and 6; 1 to 3 were unchanged
    EXPECT_TRUE(s.missing.isEmpty());
    EXPECT_EQ(Status(4), QStringLiteral("present"));
    EXPECT_EQ(Status(5), QStringLiteral("present"));

    // A folder that cannot be listed (here: its path is longer than the
    // system takes, which holds for every user) makes the listing
    // incomplete: no removals.
    MakeDeepFolder(a, 24);
    s = Scan();
    EXPECT_EQ(s.problems.size(), 1) << qPrintable(s.problems.join(QLatin1Char('\n')));
    EXPECT_TRUE(s.missing.isEmpty());
    EXPECT_EQ(Status(4), QStringLiteral("present"));
    RemoveDeepFolder(a);

    s = Scan();
    EXPECT_EQ(s.missing, QStringList{a + QStringLiteral("/4.kjr")});
}

// A root that goes away while its files are read: what was read stays, the
// rest is not recorded as unreadable (it is read when the root is back), and
// nothing is marked missing.
TEST_F(LibraryScan, RootGoesAwayDuringScan) {
    for (int j = 1; j <= 4; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-9")));
    const QString office = tree.path() + QStringLiteral("/office");
    const QString away = tree.path() + QStringLiteral("/away");
    CLibraryScanner scanner(store);
    scanner.SetProgress([&](int done, int) {
        if (done == 1) {
            ASSERT_TRUE(QDir().rename(office, away));
        }
    });
    ScanSummary s = scanner.Scan({a});
    EXPECT_EQ(s.added.size(), 1);
    EXPECT_EQ(s.offline, QStringList{a});
    EXPECT_EQ(s.problems.size(), 3);
    EXPECT_TRUE(s.unreadable.isEmpty());
    EXPECT_TRUE(s.missing.isEmpty());
    EXPECT_EQ(Status(1), QStringLiteral("offline"));

    ASSERT_TRUE(QDir().rename(away, office));
    s = Scan();
    EXPECT_EQ(s.added.size(), 3);
    EXPECT_EQ(s.unchanged, 1);
    for (int j = 1; j <= 4; ++j)
        EXPECT_EQ(Status(j), QStringLiteral("present")) << j;
}
