#pragma once
// The files of an SQLite index and of its reviews, before and around SQL:
// what a file is (from its header, without letting SQLite touch it), where
// an index may live, setting our own damaged index aside, telling damage
// from passing errors, and bringing a file's schema up to date with a copy
// made first.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <functional>
#include <vector>

class CSqlDialect;

struct SqliteFileFacts {
    bool exists = false;
    qint64 size = 0;
    bool sqlite = false; // begins with SQLite's header
    qint64 application = 0;
    int version = 0;
};
SqliteFileFacts ReadSqliteFileFacts(const QString& path);

// Where the index asked for at `requested` is kept, and its reviews. On a
// network file system (WAL there is not safe between hosts, and the
// rollback journal not much better) the index is kept on local disk
// instead, in a folder of /var/tmp; `warning` says so the first time, when
// that local index is new. The reviews are people's decisions, never to be
// aged away with what /var/tmp holds: they go to `durableFolder` (the
// user's data folder) when that is on local disk, else beside the local
// index, a folder the package keeps systemd-tmpfiles from ageing.
struct IndexPlace {
    QString path;
    QString reviews;
    QString warning;
};
IndexPlace PlaceIndex(const QString& requested, const QString& durableFolder);
// The reviews file beside the index at `indexPath`.
QString ReviewsDatabase(const QString& indexPath);
// The local folder for indexes asked for on network file systems; tests
// point it at a folder of their own (empty: back to the default).
QString LocalIndexFolder();
void SetLocalIndexFolderForTests(const QString& folder);

// SQLite's own verdicts, from the native code of a Qt SQL error (extended
// codes: the primary code is the low byte).
int SqlitePrimaryCode(const QSqlError& error); // -1 when there is none
bool IsDamage(const QSqlError& error);         // SQLITE_CORRUPT, SQLITE_NOTADB
bool IsBusy(const QSqlError& error);           // SQLITE_BUSY, SQLITE_LOCKED
QString SqlErrorText(const QSqlError& error);

// Renames the file (and its -wal and -shm) to `<file>.damaged-<time>`;
// false, with `message` saying why, when it cannot.
bool SetAsideDamaged(const QString& path, const QString& why, QString& message);

// Brings the open database `db` at `path` from `from` to `steps.size()`,
// each step in its own transaction with the mark written; when `backup`,
// copies the file to `<file>.before-v<N>-<time>` before each step.
using SchemaStep = std::function<bool(QSqlDatabase&)>;
bool MigrateSqlite(QSqlDatabase& db, const QString& path, const CSqlDialect& dialect,
                   qint64 application, int from, const std::vector<SchemaStep>& steps, bool backup,
                   QString& error);
