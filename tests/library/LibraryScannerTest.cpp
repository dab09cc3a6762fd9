#include "library/LibraryScanner.h"
#include "LibraryTree.h"
#include "library/JointExport.h"
#include "library/LibraryStore.h"
#include "library/Mounts.h"
#include "library/NamedRoots.h"
#include "library/RootProbe.h"
#include "library/ScanLock.h"
#include "library/VerdictBook.h"
#include "platform/Clock.h"

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

// Writes a file under a name given as bytes (not necessarily text).
void PutRawFile(const QByteArray& path, const QByteArray& bytes) {
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    close(fd);
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

// A share that stopped answering: the probe's child waits here for ever.
void HangForEver(const char*) {
    for (;;)
        pause();
}

class LibraryScan : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        a = tree.path() + QStringLiteral("/office/Joint Reports");
        b = tree.path() + QStringLiteral("/card/Joint Reports");
        ASSERT_TRUE(lib.Ready()) << qPrintable(lib.Error());
        ASSERT_EQ(store.Open(CLibraryStore::Mode::Write), CLibraryStore::OpenResult::Ok)
            << qPrintable(store.Message());
        // On a server only the holder of the scan lock writes.
        if (store.IsServer()) {
            lock = std::make_unique<CScanLock>(store);
            ASSERT_EQ(lock->Take(QStringLiteral("test"), 0), CScanLock::Taken);
        }
        SetFixedLocalTime(now);
    }
    ScanSummary Scan(const QStringList& roots = {}) {
        CLibraryScanner scanner(store);
        return scanner.Scan(roots.isEmpty() ? QStringList{a, b} : roots);
    }
    // Moves the store's clock on.
    void Later(qint64 hours) {
        now = now.addSecs(hours * 3600);
        SetFixedLocalTime(now);
    }
    const JointRow* Joint(int number) {
        rows = store.Joints().value_or(std::vector<JointRow>());
        for (const JointRow& r : rows)
            if (r.status != QLatin1String("unreadable") && r.id > 0 &&
                r.fields.jointNumber == number)
                return &r;
        return nullptr;
    }
    QString Status(int number) {
        const JointRow* r = Joint(number);
        return r ? r->status : QStringLiteral("gone");
    }
    LibraryRoot RootAt(const QString& path) {
        for (const LibraryRoot& r : store.Roots().value_or(std::vector<LibraryRoot>()))
            if (r.pathText == path)
                return r;
        return {};
    }

    LibrarySeams seams;
    QTemporaryDir tree;
    QTemporaryDir data;
    TestLibrary lib{GetParam(), data.path() + QStringLiteral("/library.sqlite")};
    CLibraryStore store{lib.database};
    std::unique_ptr<CScanLock> lock;
    QDateTime now = QDateTime(QDate(2024, 5, 2), QTime(10, 0), Qt::UTC);
    QString a, b;
    std::vector<JointRow> rows;
};

// What only an SQLite index has.
class LibraryScanSqlite : public LibraryScan {};
} // namespace

// A tree with a copy and its backup, damaged files, a FIFO, a link loop, a
// link out of the folder and names that are no text or hold a line feed:
// one joint per report, every bad file named with its reason, names kept
// and opened as their bytes, and a second scan that reads nothing.
TEST_P(LibraryScan, TreeWithDuplicatesAndHostileFiles) {
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
        ASSERT_TRUE(huge.resize(kMaxReportBytes + 1));
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(a + QStringLiteral("/pipe.kjr")).constData(), 0600), 0);
    const QByteArray latin1 = QFile::encodeName(a) + "/Gr\xfcn.kjr"; // not UTF-8
    PutRawFile(latin1, MakeReportBytes(3, QStringLiteral("J-1")));
    const QByteArray feed = QFile::encodeName(a) + "/two\nlines.kjr";
    PutRawFile(feed, MakeReportBytes(4, QStringLiteral("J-1")));
    ASSERT_EQ(symlink("..", QFile::encodeName(a + QStringLiteral("/2024/loop")).constData()), 0);
    // A link to a report outside the folder is not followed out of it; one
    // to a report inside is the same joint.
    PutFile(tree.path() + QStringLiteral("/elsewhere/secret.kjr"),
            MakeReportBytes(5, QStringLiteral("J-X")));
    ASSERT_EQ(
        symlink(
            QFile::encodeName(tree.path() + QStringLiteral("/elsewhere/secret.kjr")).constData(),
            QFile::encodeName(a + QStringLiteral("/out.kjr")).constData()),
        0);
    ASSERT_EQ(symlink("2024/two.kjr", QFile::encodeName(a + QStringLiteral("/in.kjr")).constData()),
              0);

    ScanSummary s = Scan();
    EXPECT_FALSE(s.cancelled);
    EXPECT_TRUE(s.problems.isEmpty()) << qPrintable(s.problems.join(QLatin1Char('\n')));
    EXPECT_EQ(s.added.size(), 6) << qPrintable(s.added.join(QLatin1Char('\n')));
    ASSERT_EQ(s.unreadable.size(), 5) << qPrintable(s.unreadable.join(QLatin1Char('\n')));
    EXPECT_TRUE(
        s.unreadable[0].endsWith(QStringLiteral("garbage.kjr: not a joint report, or damaged")));
    EXPECT_TRUE(s.unreadable[1].endsWith(QStringLiteral("huge.kjr: too large for a joint report")));
    EXPECT_TRUE(s.unreadable[2].endsWith(QStringLiteral("out.kjr: a link to a file outside the "
                                                        "folder")));
    EXPECT_TRUE(s.unreadable[3].endsWith(QStringLiteral("pipe.kjr: not a regular file")));
    EXPECT_TRUE(s.unreadable[4].contains(QStringLiteral("truncated.kjr")));
    EXPECT_EQ(Status(5), QStringLiteral("gone"));

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
    ASSERT_NE(Joint(2), nullptr);
    EXPECT_EQ(Joint(2)->files.size(), 2); // and through the link inside the folder
    // The names that are no text, or two lines, are one file each, kept as
    // their bytes.
    ASSERT_NE(Joint(3), nullptr);
    EXPECT_EQ(Joint(3)->copies[0].path, latin1);
    ASSERT_NE(Joint(4), nullptr);
    EXPECT_EQ(Joint(4)->copies[0].path, feed);
    EXPECT_EQ(Joint(4)->files, QStringList{a + QStringLiteral("/two\nlines.kjr")});

    s = Scan();
    EXPECT_TRUE(s.added.isEmpty() && s.updated.isEmpty() && s.unreadable.isEmpty() &&
                s.missing.isEmpty() && s.notFound.isEmpty());
    EXPECT_EQ(s.unchanged, 11);
    unlink(latin1.constData()); // no text: the temporary folder cannot name it
}

// Each joint carries the check's verdict; an index made before there was a
// verdict reads its joints once more on the next scan to get theirs, and
// leaves the files it could not read alone.
TEST_P(LibraryScanSqlite, JointsGetTheirVerdictAlsoInAnIndexOfTheFirstVersion) {
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

    // As the first version left it: its tables, no verdicts, every file
    // unchanged.
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(store.Path());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* s :
             {"CREATE TABLE old_roots AS SELECT r.id, h.path_text AS path, 1 AS reachable, 0 AS "
              "mounted FROM roots r JOIN root_hosts h ON h.root_id = r.id",
              "CREATE TABLE old_reports AS SELECT v.id, v.sha256, v.size, j.date_time, "
              "j.joint_number, v.job, v.employee, j.machine_id, v.model, v.material, "
              "v.size_text, v.heater_temp, v.samples, v.duration, v.max_pressure, v.press_unit, "
              "v.demo, v.notes, '' AS verdict FROM versions v JOIN joints j ON j.id = v.joint_id",
              "CREATE TABLE old_files AS SELECT id, root_id, relpath_text AS relpath, size, "
              "mtime_ms, version_id AS report_id, missing, reason FROM files",
              "DROP TABLE files", "DROP TABLE versions_text", "DROP TABLE versions",
              "DROP TABLE joints", "DROP TABLE root_hosts", "DROP TABLE roots",
              "DROP TABLE library_settings", "DROP TABLE scan_holder",
              "ALTER TABLE old_roots RENAME TO roots", "ALTER TABLE old_reports RENAME TO reports",
              "ALTER TABLE old_files RENAME TO files",
              "CREATE INDEX files_report ON files(report_id)", "PRAGMA user_version = 1"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(s))) << s;
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    CLibraryStore old(store.Path());
    ASSERT_EQ(old.Open(CLibraryStore::Mode::Write), CLibraryStore::OpenResult::Ok)
        << qPrintable(old.Message());
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

// A removed file of a reachable root is not missing at once: the scan that
// first does not find it records when, and one at least a day later makes
// it missing. A rewritten file is read again; a joint still found
// elsewhere stays present; forgetting takes an age.
TEST_P(LibraryScan, MissingOnlyAfterTwoCompleteScansADayApart) {
    for (int j = 1; j <= 4; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-4")));
    for (int j = 5; j <= 8; ++j)
        PutFile(a + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-4")));
    PutFile(b + QStringLiteral("/1 backup.kjr"), MakeReportBytes(1, QStringLiteral("J-4")));
    Scan();
    QFile::remove(a + QStringLiteral("/2.kjr"));
    QFile::remove(a + QStringLiteral("/1.kjr"));
    // Same size; a rewrite is seen by its time, but a time that moved by
    // less than a second (a copy to FAT and back) is no change.
    PutFile(a + QStringLiteral("/3.kjr"), MakeReportBytes(33, QStringLiteral("J-4")));
    ShiftMtime(a + QStringLiteral("/3.kjr"), 3000);
    ShiftMtime(a + QStringLiteral("/4.kjr"), -1000);
    Later(1);
    ScanSummary s = Scan();
    EXPECT_EQ(s.notFound, QStringList{a + QStringLiteral("/2.kjr")});
    // 1's report is on the card: that is no loss.
    EXPECT_EQ(s.moved,
              QStringList{a + QStringLiteral("/1.kjr -> ") + b + QStringLiteral("/1 backup.kjr")});
    EXPECT_TRUE(s.missing.isEmpty());
    EXPECT_EQ(s.updated, QStringList{a + QStringLiteral("/3.kjr")});
    EXPECT_EQ(Status(1), QStringLiteral("present"));
    EXPECT_EQ(Status(2), QStringLiteral("present"));
    EXPECT_EQ(Joint(2)->missingSince, now.toMSecsSinceEpoch());
    EXPECT_EQ(Status(3), QStringLiteral("gone")); // the file now holds joint 33
    EXPECT_EQ(Status(33), QStringLiteral("present"));
    EXPECT_EQ(store.MissingOlderThan(0)->size(), 0u);

    // Less than a day later: still only not found.
    Later(20);
    s = Scan();
    EXPECT_TRUE(s.missing.isEmpty() && s.notFound.isEmpty());
    EXPECT_EQ(Status(2), QStringLiteral("present"));
    Later(5);
    s = Scan();
    EXPECT_EQ(s.missing, QStringList{a + QStringLiteral("/2.kjr")});
    EXPECT_EQ(Status(2), QStringLiteral("missing"));
    EXPECT_EQ(Joint(2)->missingSince, now.addSecs(-25 * 3600).toMSecsSinceEpoch());

    // Forgotten only when missing longer than asked.
    const qint64 day = 24LL * 3600 * 1000;
    EXPECT_TRUE(store.MissingOlderThan(2 * day)->empty());
    const auto items = store.MissingOlderThan(day);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ((*items)[0].path, a + QStringLiteral("/2.kjr"));
    EXPECT_EQ(store.Forget({(*items)[0].fileId}, 2 * day), 0);
    EXPECT_EQ(store.Forget({(*items)[0].fileId}, day), 1);
    EXPECT_EQ(Status(2), QStringLiteral("gone"));
    EXPECT_EQ(Joint(1)->files, QStringList{b + QStringLiteral("/1 backup.kjr")});
}

// A folder reorganised into subfolders, or a card's files moved to the
// share, is moves, not losses: nothing goes missing and the folder is not
// taken for one that lost its joints.
TEST_P(LibraryScan, MovedFilesAreNoLoss) {
    for (int j = 1; j <= 6; ++j)
        PutFile(b + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-5")));
    Scan();
    QDir().mkpath(b + QStringLiteral("/2024/May"));
    for (int j = 1; j <= 3; ++j)
        ASSERT_TRUE(QFile::rename(b + QStringLiteral("/%1.kjr").arg(j),
                                  b + QStringLiteral("/2024/May/%1.kjr").arg(j)));
    QDir().mkpath(a);
    for (int j = 4; j <= 6; ++j)
        ASSERT_TRUE(QFile::rename(b + QStringLiteral("/%1.kjr").arg(j),
                                  a + QStringLiteral("/%1.kjr").arg(j)));
    // The share is scanned first: the card's files are there already.
    const ScanSummary s = Scan({a, b});
    EXPECT_EQ(s.moved.size(), 6) << qPrintable(s.moved.join(QLatin1Char('\n')));
    EXPECT_TRUE(s.suspect.isEmpty());
    EXPECT_TRUE(s.notFound.isEmpty() && s.missing.isEmpty());
    for (int j = 1; j <= 6; ++j) {
        ASSERT_NE(Joint(j), nullptr) << j;
        EXPECT_EQ(Joint(j)->status, QStringLiteral("present")) << j;
        EXPECT_EQ(Joint(j)->files.size(), 1) << j;
    }
}

// A folder that is away is not a folder whose reports were deleted: its
// joints are offline, with the reason, and come back as they were. One
// that would lose most of its joints at once is suspect: the vanished
// ones are offline until the user says, for that folder only.
TEST_P(LibraryScan, RootAwayAndBackKeepsItsJoints) {
    for (int j = 1; j <= 3; ++j)
        PutFile(b + QStringLiteral("/%1.kjr").arg(j), MakeReportBytes(j, QStringLiteral("J-7")));
    PutFile(a + QStringLiteral("/9.kjr"), MakeReportBytes(9, QStringLiteral("J-7")));
    PutFile(a + QStringLiteral("/10.kjr"), MakeReportBytes(10, QStringLiteral("J-7")));
    Scan();
    const qint64 id = Joint(2)->id;
    const QString away = tree.path() + QStringLiteral("/away");
    ASSERT_TRUE(QDir().rename(tree.path() + QStringLiteral("/card"), away));

    ScanSummary s = Scan();
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(s.offlineWhy.value(b), QStringLiteral("not found"));
    EXPECT_TRUE(s.missing.isEmpty() && s.notFound.isEmpty());
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    EXPECT_EQ(Status(9), QStringLiteral("present"));
    EXPECT_EQ(RootAt(b).reason, QStringLiteral("not found"));

    // An empty folder where the card was: still away.
    QDir().mkpath(b);
    Later(48);
    s = Scan();
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(s.suspect, QStringList{b});
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    Later(48);
    s = Scan();
    EXPECT_EQ(Status(2), QStringLiteral("offline")); // and stays so
    QDir(tree.path() + QStringLiteral("/card")).removeRecursively();

    ASSERT_TRUE(QDir().rename(away, tree.path() + QStringLiteral("/card")));
    s = Scan();
    EXPECT_TRUE(s.offline.isEmpty());
    EXPECT_TRUE(s.added.isEmpty());
    EXPECT_EQ(s.restored.size(), 3);
    EXPECT_EQ(Status(2), QStringLiteral("present"));
    EXPECT_EQ(Joint(2)->id, id);

    // A folder the library knows that is not among its folders today is
    // away as well.
    s = Scan({a});
    EXPECT_EQ(s.offline, QStringList{b});
    EXPECT_EQ(s.offlineWhy.value(b), QStringLiteral("not among the library's folders now"));
    EXPECT_EQ(Status(2), QStringLiteral("offline"));
    EXPECT_EQ(Status(9), QStringLiteral("present"));
    Scan();

    // Most of a root gone at once: suspect; confirming another folder
    // changes nothing here.
    QFile::remove(b + QStringLiteral("/1.kjr"));
    QFile::remove(b + QStringLiteral("/2.kjr"));
    s = Scan();
    EXPECT_EQ(s.suspect, QStringList{b});
    EXPECT_EQ(Status(1), QStringLiteral("offline"));
    EXPECT_EQ(Status(3), QStringLiteral("present"));
    EXPECT_TRUE(RootAt(b).suspect);
    {
        CLibraryScanner confirmed(store);
        confirmed.SetConfirmedRemovals({a});
        s = confirmed.Scan({a, b});
    }
    EXPECT_EQ(s.suspect, QStringList{b});
    EXPECT_EQ(Status(1), QStringLiteral("offline"));
    // Unless the user says they were removed on purpose: missing at once.
    {
        CLibraryScanner confirmed(store);
        confirmed.SetConfirmedRemovals({b + QStringLiteral("/")});
        s = confirmed.Scan({a, b});
    }
    EXPECT_TRUE(s.offline.isEmpty());
    EXPECT_EQ(s.missing.size(), 2);
    EXPECT_EQ(Status(1), QStringLiteral("missing"));
    EXPECT_EQ(Status(3), QStringLiteral("present"));
    EXPECT_FALSE(RootAt(b).suspect);
}

// Cards of the handhelds carry the same label and take turns in one reader
// at one mount point; each is its own root by its volume's UUID, goes
// offline when the other is in, and neither makes the other's joints
// missing, however many scans and days pass.
TEST_P(LibraryScan, CardsThatTakeTurnsAtOneMountPoint) {
    const QString mount = tree.path() + QStringLiteral("/media/HANDHELD");
    const QString folder = mount + QStringLiteral("/Joint Reports");
    const auto insert = [&](const QString& uuid, int first) {
        QDir(mount).removeRecursively();
        for (int j = first; j < first + 4; ++j)
            PutFile(folder + QStringLiteral("/joint %1.kjr").arg(j - first),
                    MakeReportBytes(j, QStringLiteral("J-") + uuid.left(4)));
        SetMountTableForTests({{mount, QStringLiteral("vfat"), QStringLiteral("/dev/sdc1"), uuid,
                                QStringLiteral("HANDHELD"), 0}});
    };
    insert(QStringLiteral("AAAA-0001"), 1);
    ScanSummary s = Scan({folder});
    EXPECT_EQ(s.added.size(), 4);
    for (int turn = 0; turn < 3; ++turn) {
        Later(30);
        insert(QStringLiteral("BBBB-0002"), 11);
        s = Scan({folder});
        EXPECT_TRUE(s.suspect.isEmpty() && s.missing.isEmpty() && s.notFound.isEmpty());
        EXPECT_EQ(s.added.size() + s.updated.size() + s.unchanged, 4);
        EXPECT_EQ(Status(1), QStringLiteral("offline"));
        EXPECT_EQ(Status(11), QStringLiteral("present"));
        Later(30);
        insert(QStringLiteral("AAAA-0001"), 1);
        s = Scan({folder});
        EXPECT_TRUE(s.suspect.isEmpty() && s.missing.isEmpty() && s.notFound.isEmpty());
        EXPECT_EQ(Status(1), QStringLiteral("present"));
        EXPECT_EQ(Status(11), QStringLiteral("offline"));
    }
    const auto roots = store.Roots();
    ASSERT_EQ(roots->size(), 2u);
    for (const LibraryRoot& r : *roots) {
        EXPECT_EQ(r.kind, RootKind::Volume);
        EXPECT_EQ(r.volumeLabel, QStringLiteral("HANDHELD"));
        EXPECT_EQ(r.pathText, folder);
        EXPECT_EQ(r.key, r.volumeUuid + QStringLiteral(":Joint Reports"));
    }
    EXPECT_EQ(s.offlineWhy.value(folder),
              QStringLiteral("the volume HANDHELD (BBBB-0002) is not connected"));
    EXPECT_TRUE(store.MissingOlderThan(0)->empty());

    // No card in: both offline, nothing of either marked, and no root made
    // of the empty mount point.
    QDir(mount).removeRecursively();
    QDir().mkpath(mount);
    SetMountTableForTests({});
    Later(30);
    s = Scan({folder});
    EXPECT_EQ(Status(1), QStringLiteral("offline"));
    EXPECT_EQ(Status(11), QStringLiteral("offline"));
    EXPECT_EQ(store.Roots()->size(), 2u);

    // A share (no volume to know it by) is known by its path; unmounted,
    // the folder left is no sign of deletion: offline with that reason,
    // until the user says the folder is here now.
    const QString nfs = tree.path() + QStringLiteral("/mnt/share");
    PutFile(nfs + QStringLiteral("/s.kjr"), MakeReportBytes(21, QStringLiteral("J-S")));
    SetMountTableForTests({{nfs, QStringLiteral("nfs4"), QStringLiteral("server:/reports"),
                            QString(), QString(), 0}});
    EXPECT_EQ(Scan({nfs}).added.size(), 1);
    SetMountTableForTests({});
    s = Scan({nfs});
    EXPECT_TRUE(s.offlineWhy.value(nfs).startsWith(QStringLiteral("nothing is mounted there now")));
    EXPECT_EQ(Status(21), QStringLiteral("offline"));
    CLibraryScanner here(store);
    here.SetHereNow({nfs});
    s = here.Scan({nfs});
    EXPECT_FALSE(s.offline.contains(nfs));
    EXPECT_EQ(Status(21), QStringLiteral("present"));
    EXPECT_FALSE(RootAt(nfs).mounted);
}

// A cancelled scan keeps what it added and marks nothing; a folder it could
// not list stops removals too.
TEST_P(LibraryScan, CancelledOrIncompleteScanRemovesNothing) {
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
    EXPECT_TRUE(s.notFound.isEmpty());
    EXPECT_EQ(Status(5), QStringLiteral("present"));

    // A folder that cannot be listed (here: its path is longer than the
    // system takes, which holds for every user) makes the listing
    // incomplete: no removals.
    MakeDeepFolder(a, 24);
    s = Scan({a});
    EXPECT_EQ(s.problems.size(), 1) << qPrintable(s.problems.join(QLatin1Char('\n')));
    EXPECT_TRUE(s.notFound.isEmpty());
    EXPECT_EQ(Joint(4)->missingSince, 0);
    RemoveDeepFolder(a);

    s = Scan({a});
    EXPECT_EQ(s.notFound, QStringList{a + QStringLiteral("/4.kjr")});
}

// A root that goes away while its files are read: what was read stays, the
// rest is not recorded as unreadable (it is read when the root is back),
// and nothing is marked.
TEST_P(LibraryScan, RootGoesAwayDuringScan) {
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
    EXPECT_EQ(s.offlineWhy.value(a), QStringLiteral("went away during the scan"));
    EXPECT_EQ(s.problems.size(), 3);
    EXPECT_TRUE(s.unreadable.isEmpty() && s.notFound.isEmpty());
    EXPECT_EQ(Status(1), QStringLiteral("offline"));

    ASSERT_TRUE(QDir().rename(away, office));
    s = Scan({a});
    EXPECT_EQ(s.added.size(), 3);
    EXPECT_EQ(s.unchanged, 1);
    for (int j = 1; j <= 4; ++j)
        EXPECT_EQ(Status(j), QStringLiteral("present")) << j;
}

// A share that stopped answering blocks whoever looks at it in the kernel:
// it is asked in a child with a deadline, asked once more at the end, and
// is then offline with that reason; the other folders are scanned, and a
// cancel ends the wait at once.
TEST_P(LibraryScan, AShareThatHangsIsOfflineAfterItsDeadline) {
    PutFile(a + QStringLiteral("/1.kjr"), MakeReportBytes(1, QStringLiteral("J-H")));
    PutFile(b + QStringLiteral("/2.kjr"), MakeReportBytes(2, QStringLiteral("J-H")));
    Scan();
    SetProbeHookForTests(&HangForEver);
    CLibraryScanner scanner(store);
    scanner.SetProbeDeadline(300);
    ScanSummary s = scanner.Scan({a, b});
    EXPECT_EQ(s.offline, (QStringList{a, b}));
    EXPECT_EQ(s.offlineWhy.value(a), QStringLiteral("no answer within 0.3 s, asked twice"));
    EXPECT_EQ(Status(1), QStringLiteral("offline"));

    std::atomic<bool> cancel{true};
    CLibraryScanner cancelled(store);
    cancelled.SetProbeDeadline(600000);
    cancelled.SetCancelFlag(&cancel);
    s = cancelled.Scan({a, b}); // would take twenty minutes if it waited
    EXPECT_TRUE(s.cancelled);
    SetProbeHookForTests(nullptr);
    s = Scan();
    EXPECT_TRUE(s.offline.isEmpty());
    EXPECT_EQ(Status(1), QStringLiteral("present"));
}

// A named root means the same on every desk: its paths are kept inside
// it. A desk that maps it elsewhere, its mount spelling names in another
// Unicode form, finds and opens its joints; one that maps nothing sees
// them offline, never missing; one whose folder holds other reports has a
// wrong mapping, where an indexer indexes nothing until told that the
// folder is the root now (and then loses nothing at once).
TEST_P(LibraryScan, NamedRootsMeanTheSameOnEveryDesk) {
    const QString share = tree.path() + QStringLiteral("/share");
    const QString deskB = tree.path() + QStringLiteral("/desk-b");
    const QString wrong = tree.path() + QStringLiteral("/desk-d");
    const QString composed = QString::fromUtf8("M\u00fcller");
    const QString decomposed = composed.normalized(QString::NormalizationForm_D);
    ASSERT_NE(composed.toUtf8(), decomposed.toUtf8());
    for (int j = 1; j <= 3; ++j) {
        const QByteArray bytes = MakeReportBytes(j, QStringLiteral("J-N"));
        PutFile(share + QStringLiteral("/%1/%2.kjr").arg(j == 1 ? composed : QString()).arg(j),
                bytes);
        PutFile(deskB + QStringLiteral("/%1/%2.kjr").arg(j == 1 ? decomposed : QString()).arg(j),
                bytes);
    }
    PutFile(wrong + QStringLiteral("/9.kjr"), MakeReportBytes(9, QStringLiteral("J-X")));
    const auto scan = [&](const QString& folder, const QStringList& here = {}) {
        CLibraryScanner scanner(store);
        scanner.SetHereNow(here);
        return scanner.Scan({}, {{QStringLiteral("joints-nas"), folder}});
    };
    ScanSummary s = scan(share);
    ASSERT_EQ(s.added.size(), 3) << qPrintable(s.problems.join(QLatin1Char('\n')));
    const auto roots = store.Roots();
    ASSERT_EQ(roots->size(), 1u);
    const LibraryRoot root = (*roots)[0];
    EXPECT_EQ(root.kind, RootKind::Named);
    EXPECT_EQ(root.key, QStringLiteral("joints-nas"));
    EXPECT_EQ(store.FilesOfRoot(root.id)->keys().size(), 3);
    EXPECT_TRUE(
        store.FilesOfRoot(root.id)->contains((composed + QStringLiteral("/1.kjr")).toUtf8()));

    const auto statuses = [&](const QHash<qint64, DeskRoot>& desk) {
        store.SetDeskRoots(desk);
        QStringList found;
        for (const JointRow& r : store.Joints().value_or(std::vector<JointRow>()))
            found << r.status;
        return found;
    };
    // Another desk's mount, names decomposed: the same joints, opened.
    const DeskRoot b = CheckMapping(root, deskB, 5000);
    EXPECT_TRUE(b.reachable) << qPrintable(b.reason);
    EXPECT_EQ(statuses({{root.id, b}}), QStringList(3, QStringLiteral("present")));
    const JointRow first = store.Joints()->front();
    ASSERT_EQ(first.fields.jointNumber, 1);
    EXPECT_EQ(first.files,
              QStringList{deskB + QLatin1Char('/') + composed + QStringLiteral("/1.kjr")});
    const JointCheck opened = CheckJoint(first, CVerdictBook::Shipped());
    EXPECT_TRUE(opened.failure.isEmpty()) << qPrintable(opened.failure);
    // A desk that maps nothing, and one that maps a folder of other reports.
    const QHash<qint64, DeskRoot> none = DeskRootsOf(*roots, {}, 5000);
    EXPECT_TRUE(none.value(root.id).reason.startsWith(QStringLiteral("not mapped")));
    EXPECT_EQ(statuses(none), QStringList(3, QStringLiteral("offline")));
    const DeskRoot d = CheckMapping(root, wrong, 5000);
    EXPECT_FALSE(d.reachable);
    EXPECT_TRUE(d.reason.startsWith(QStringLiteral("wrong mapping"))) << qPrintable(d.reason);
    EXPECT_EQ(statuses({{root.id, d}}), QStringList(3, QStringLiteral("offline")));

    // The indexer on the decomposed mount: the same files, nothing new.
    s = scan(deskB);
    EXPECT_TRUE(s.added.isEmpty() && s.notFound.isEmpty())
        << qPrintable(s.added.join(QLatin1Char(' ')));
    EXPECT_EQ(store.FilesOfRoot(root.id)->keys().size(), 3);
    // On the wrong folder: nothing indexed, nothing lost.
    s = scan(wrong);
    EXPECT_TRUE(s.offline.contains(QStringLiteral("joints-nas")));
    EXPECT_TRUE(s.offlineWhy.value(QStringLiteral("joints-nas"))
                    .startsWith(QStringLiteral("wrong mapping")));
    EXPECT_TRUE(s.added.isEmpty());
    // Told it is the root now: read, and what vanished at once is away.
    s = scan(wrong, {QStringLiteral("joints-nas")});
    EXPECT_EQ(s.added.size(), 1);
    EXPECT_EQ(s.suspect, QStringList{QStringLiteral("joints-nas")});
    EXPECT_EQ(statuses({{root.id, CheckMapping((*store.Roots())[0], wrong, 5000)}}),
              (QStringList{QStringLiteral("offline"), QStringLiteral("offline"),
                           QStringLiteral("offline"), QStringLiteral("present")}));
}

INSTANTIATE_TEST_SUITE_P(Stores, LibraryScan, ::testing::Values(Store::SQLite, Store::PostgreSQL),
                         StoreName);
INSTANTIATE_TEST_SUITE_P(SQLite, LibraryScanSqlite, ::testing::Values(Store::SQLite), StoreName);
