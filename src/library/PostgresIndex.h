#pragma once
// What only an index on a PostgreSQL server has, and its SQL (the dialect
// lives here too): connecting (a connect time-out and keepalives, so that
// a server gone away is found), the state of a database (ours, empty,
// someone else's, not readable by this role), and the scan lock as a
// session advisory lock with a row that names its holder.
//
// The index lives in the schema vtq_library and the reviews in vtq_reviews;
// a library is made only by `vtq-library init-database` and upgraded only
// by `init-database --upgrade`. A connection pooler that hands sessions
// around per transaction is not supported: it breaks session locks and
// LISTEN.

#include "library/LibraryLocation.h"
#include "library/SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <optional>

inline const QString kServerSchema = QStringLiteral("vtq_library");
// The channel of the index's change notices.
inline const QString kChangeChannel = QStringLiteral("vtq_library_changed");

// Opens `db` (added under `name` in this thread) for `location`; `readOnly`
// sessions refuse every write. `purpose` names the connection on the server
// ("vtq-library scan"). False with `error` said for people.
bool ConnectServer(QSqlDatabase& db, const QString& name, const LibraryLocation& location,
                   bool readOnly, const QString& purpose, QString& error);

// Whether a failed statement lost its connection (the server went away,
// restarted, or ended the session).
bool IsConnectionLost(QSqlDatabase& db, const QSqlError& error);

struct ServerState {
    enum Kind { Ours, Empty, OtherTables, Foreign, Denied, Failed } kind = Failed;
    SchemaMark mark;
    QString error; // Denied, Failed
};
ServerState ReadServerState(QSqlDatabase& db);

// The statements that make the schemas of a new library (run in one
// transaction, before the tables): the index's, set as the place of what
// follows, and the reviews' with their first table.
QStringList NewServerSchemas();

// The version of the reviews' schema; nullopt, with `error` said, when it
// cannot be read. Made or upgraded with the library by init-database only.
std::optional<int> ServerReviewsVersion(QSqlDatabase& db, QString* error = nullptr);
// The statements (one transaction) that bring the reviews from version
// `step` to step + 1, their recorded version with them.
QStringList ServerReviewsStep(int step);

// Whether the library's search has its index (pg_trgm's; a login that may
// not make the extension goes without).
bool ServerSearchIndexed(QSqlDatabase& db);

// The scan lock. Take: true when taken now; nullopt when it cannot be
// asked. Held: whether this session still holds it.
std::optional<bool> TakeServerScanLock(QSqlDatabase& db);
std::optional<bool> ServerScanLockHeld(QSqlDatabase& db);
void ReleaseServerScanLock(QSqlDatabase& db);
// Names this session as the lock's holder; who holds it (with the holder
// of a session that ended never shown), as one sentence, or empty.
bool RecordServerScanHolder(QSqlDatabase& db, const QString& what, const QString& host,
                            qint64 process, qint64 sinceMs);
QString ServerScanHolder(QSqlDatabase& db);

// "what (process N on HOST) has held it since TIME UTC": the scan lock's
// holder as a server or a lock file names it.
QString ScanHolderSentence(const QString& what, qint64 process, const QString& host,
                           qint64 sinceMs);
