// libraryindex-seeds DIR: writes library indexes as the first corpus of the
// index fuzzer: an empty one, one with roots, joints of several versions,
// missing and unreadable files, and one of the second version; and the
// reviews file of the filled one, with a joint reviewed twice.

#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>

namespace {
bool Filled(const QString& path) {
    CLibraryStore store(path);
    if (store.Open(CLibraryStore::Mode::Write) != CLibraryStore::OpenResult::Ok)
        return false;
    LibraryRoot root;
    root.key = root.source = QStringLiteral("/r");
    root.id = store.PutRoot(root);
    root.known = root.reachable = true;
    root.path = "/r";
    root.pathText = QStringLiteral("/r");
    bool ok = root.id > 0 && store.SetRootState(root) && store.Begin();
    for (int i = 0; ok && i < 6; ++i) {
        JointFields f;
        f.machineId = QStringLiteral("M-1");
        f.dateTime = QStringLiteral("2024-03-02 14:30:0%1").arg(i % 3);
        f.jointNumber = i % 3;
        f.job = QStringLiteral("Job %1").arg(i);
        f.cut = i == 4;
        const qint64 v = store.PutVersion(QByteArray(32, char('a' + i)), 100 + i, f);
        const QByteArray name = QByteArray("f") + char('0' + i) + ".kjr";
        ok = v > 0 && store.PutFile(root.id, name, name, QStringLiteral("f%1.kjr").arg(i), 100 + i,
                                    i, v, QString());
    }
    ok = ok && store.PutFile(root.id, "bad.kjr", "bad.kjr", QStringLiteral("bad.kjr"), 5, 5, 0,
                             QStringLiteral("not a joint report"));
    ok =
        ok && store.Commit() && store.Begin() && store.SetFileGone(1, 1000, true) && store.Commit();
    CLibraryStore reviewer(path);
    ok = ok && reviewer.Open(CLibraryStore::Mode::Review) == CLibraryStore::OpenResult::Ok;
    JointReview change, now;
    change.machineId = QStringLiteral("M-1");
    change.dateTime = QStringLiteral("2024-03-02 14:30:01");
    change.jointNumber = 1;
    change.state = QStringLiteral("rejected");
    change.comment = QStringLiteral("bead uneven");
    change.inspections.beadWidthMm = 11.5;
    ok = ok && reviewer.AddReview(change, now) == CLibraryStore::ReviewOutcome::Done;
    change.from = now.state;
    change.state = QStringLiteral("re-test");
    ok = ok && reviewer.AddReview(change, now) == CLibraryStore::ReviewOutcome::Done;
    return ok;
}

bool Old(const QString& path) {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("o"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const char* s :
             {"CREATE TABLE roots(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, reachable "
              "INTEGER NOT NULL DEFAULT 1, mounted INTEGER NOT NULL DEFAULT 0)",
              "CREATE TABLE reports(id INTEGER PRIMARY KEY, sha256 BLOB NOT NULL UNIQUE, size "
              "INTEGER NOT NULL, date_time TEXT NOT NULL, joint_number INTEGER NOT NULL, job TEXT "
              "NOT NULL, employee TEXT NOT NULL, machine_id TEXT NOT NULL, model TEXT NOT NULL, "
              "material TEXT NOT NULL, size_text TEXT NOT NULL, heater_temp TEXT NOT NULL, "
              "samples INTEGER NOT NULL, duration REAL NOT NULL, max_pressure INTEGER NOT NULL, "
              "press_unit TEXT NOT NULL, demo INTEGER NOT NULL, notes TEXT NOT NULL, verdict TEXT "
              "NOT NULL DEFAULT '')",
              "CREATE TABLE files(id INTEGER PRIMARY KEY, root_id INTEGER NOT NULL REFERENCES "
              "roots(id) ON DELETE CASCADE, relpath TEXT NOT NULL, size INTEGER NOT NULL, "
              "mtime_ms INTEGER NOT NULL, report_id INTEGER REFERENCES reports(id), missing "
              "INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '', UNIQUE(root_id, "
              "relpath))",
              "CREATE INDEX files_report ON files(report_id)",
              "INSERT INTO roots VALUES(1, '/share', 1, 0)",
              "INSERT INTO reports VALUES(1, x'01', 10, '2024-03-02 14:30:05', 9, 'Job 10', 'E-1', "
              "'M-7', 'Rhino', 'PE', '4 in', '450', 100, 20, 300, 'psi', 0, '', 'pass')",
              "INSERT INTO files VALUES(1, 1, 'a (incomplete).kjr', 10, 5, 1, 1, '')",
              "INSERT INTO files VALUES(2, 1, 'c.kjr', 7, 5, NULL, 0, 'not a joint report')",
              "PRAGMA application_id = 1263160908", "PRAGMA user_version = 2"})
            ok = ok && q.exec(QString::fromLatin1(s));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("o"));
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: libraryindex-seeds DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out))
        return 1;
    const QString empty = out + QStringLiteral("/empty.sqlite");
    {
        CLibraryStore store(empty);
        if (store.Open(CLibraryStore::Mode::Write) != CLibraryStore::OpenResult::Ok)
            return 1;
    }
    if (!Filled(out + QStringLiteral("/filled.sqlite")) || !Old(out + QStringLiteral("/v2.sqlite")))
        return 1;
    // The index files and the filled one's reviews; nothing else beside them.
    for (const QString& name : QDir(out).entryList(QDir::Files))
        if (!name.endsWith(QLatin1String(".sqlite")) ||
            (name.contains(QLatin1String(".reviews.")) &&
             name != QLatin1String("filled.reviews.sqlite")))
            QFile::remove(out + QLatin1Char('/') + name);
    return 0;
}
