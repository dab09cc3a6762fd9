#include "library/LibraryStore.h"

#include "library/PostgresIndex.h"
#include "library/SortKey.h"
#include "library/SqliteIndexFile.h"
#include "library/TextPool.h"
#include "platform/Clock.h"
#include "report/DownloadName.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QThread>
#include <QVariant>

namespace {
QAtomicInteger<int> g_connections;
// What stopped the last step of a migration on this thread, for its
// message.
thread_local QString t_stepError;
// What a migration's step did without (a server's search index), for its
// message.
thread_local QString t_stepNote;

// Text columns are NOT NULL; Qt binds a null QString as NULL. A report or
// a name may hold a NUL, which a server's text cannot: it becomes U+FFFD
// in both stores, so that they keep the same.
QString Text(const QString& s) {
    if (s.isNull())
        return QStringLiteral("");
    if (!s.contains(QChar(0)))
        return s;
    QString clean = s;
    return clean.replace(QChar(0), QChar(QChar::ReplacementCharacter));
}
QByteArray Bytes(const QByteArray& b) {
    return b.isNull() ? QByteArray("") : b;
}
QVariant NullableId(qint64 id) {
    return id > 0 ? QVariant(id) : QVariant(QMetaType(QMetaType::LongLong));
}
QVariant NullableTime(qint64 ms) {
    return ms > 0 ? QVariant(ms) : QVariant(QMetaType(QMetaType::LongLong));
}

// Prepares, binds and runs; the error, when there is one, is the one that
// stopped it (a statement that does not prepare says why, not "parameter
// count mismatch"). For statements run once; CLibraryStore::Run keeps
// those run per file prepared.
bool Run(QSqlQuery& q, const QString& sql, const QVariantList& values) {
    if (q.prepare(sql)) {
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (q.exec())
            return true;
    }
    t_stepError =
        sql.section(QLatin1Char(' '), 0, 2) + QStringLiteral(": ") + SqlErrorText(q.lastError());
    return false;
}

JointSortKeys KeysOf(const JointFields& f) {
    return {TextSortKey(f.job),        TextSortKey(f.employee),       TextSortKey(f.machineId),
            TextSortKey(f.model),      TextSortKey(f.material),       TextSortKey(f.sizeText),
            TextSortKey(f.heaterTemp), TextSortKey(f.notes.left(200))};
}

// Case-folded texts the filters search in SQL, made here so that every
// store matches alike ("Müller" and "MÜLLER"), whatever its collation:
// the job number, and what the search looks in.
struct Folds {
    QString job, search;
};
Folds FoldsOf(const QString& job, const QString& employee, const QString& machine,
              const QString& notes) {
    return {
        Text(job).toCaseFolded(),
        Text(QStringList{job, employee, machine, notes}.join(QLatin1Char('\n'))).toCaseFolded()};
}

// The index of version 3, in the store's dialect: what upgrade step 3 made,
// never changed. A new index is made as this and brought up to date by the
// shared steps after it.
QStringList SchemaV3(const CSqlDialect& d) {
    const QString id = d.IdentityColumn();
    const QString bin = d.BinaryType();
    const QString key = d.SortKeyType();
    return {
        QStringLiteral("CREATE TABLE roots(id %1, kind TEXT NOT NULL, key TEXT NOT NULL UNIQUE, "
                       "source TEXT NOT NULL DEFAULT '', volume_uuid TEXT NOT NULL DEFAULT '', "
                       "volume_label TEXT NOT NULL DEFAULT '', added_at BIGINT NOT NULL)")
            .arg(id),
        QStringLiteral("CREATE TABLE root_hosts(root_id BIGINT NOT NULL REFERENCES roots(id) ON "
                       "DELETE CASCADE, host TEXT NOT NULL, path %1 NOT NULL, path_text %2 NOT "
                       "NULL, reachable INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT "
                       "'', mounted INTEGER NOT NULL DEFAULT 0, suspect INTEGER NOT NULL DEFAULT "
                       "0, checked_at BIGINT, complete_at BIGINT, other_fs TEXT NOT NULL DEFAULT "
                       "'', PRIMARY KEY(root_id, host))")
            .arg(bin, key),
        QStringLiteral("CREATE TABLE joints(id %1, machine_id TEXT NOT NULL, date_time %2 NOT "
                       "NULL, joint_number INTEGER NOT NULL, machine_key %2 NOT NULL DEFAULT '', "
                       "current_version_id BIGINT, UNIQUE(machine_id, date_time, joint_number))")
            .arg(id, key),
        QStringLiteral(
            "CREATE TABLE versions(id %1, sha256 %2 NOT NULL UNIQUE, joint_id BIGINT NOT NULL "
            "REFERENCES joints(id), size BIGINT NOT NULL, cut INTEGER NOT NULL DEFAULT 0, job "
            "TEXT NOT NULL, employee TEXT NOT NULL, model TEXT NOT NULL, material TEXT NOT NULL, "
            "size_text TEXT NOT NULL, heater_temp TEXT NOT NULL, samples INTEGER NOT NULL, "
            "duration DOUBLE PRECISION NOT NULL, max_pressure INTEGER NOT NULL, press_unit TEXT "
            "NOT NULL, demo INTEGER NOT NULL, notes TEXT NOT NULL, verdict TEXT NOT NULL DEFAULT "
            "'', procedure_name TEXT NOT NULL DEFAULT '', procedure_hash TEXT NOT NULL DEFAULT "
            "'', check_version TEXT NOT NULL DEFAULT '', job_key %3 NOT NULL DEFAULT '', "
            "employee_key %3 NOT NULL DEFAULT '', model_key %3 NOT NULL DEFAULT '', "
            "material_key %3 NOT NULL DEFAULT '', size_key %3 NOT NULL DEFAULT '', heater_key "
            "%3 NOT NULL DEFAULT '', notes_key %3 NOT NULL DEFAULT '', first_seen BIGINT NOT "
            "NULL)")
            .arg(id, bin, key),
        QStringLiteral("CREATE TABLE files(id %1, root_id BIGINT NOT NULL REFERENCES roots(id) ON "
                       "DELETE CASCADE, relpath %2 NOT NULL, relpath_text %3 NOT NULL, size "
                       "BIGINT NOT NULL, mtime_ms BIGINT NOT NULL, version_id BIGINT REFERENCES "
                       "versions(id), reason TEXT NOT NULL DEFAULT '', gone_since BIGINT, missing "
                       "INTEGER NOT NULL DEFAULT 0, away INTEGER NOT NULL DEFAULT 0, "
                       "UNIQUE(root_id, relpath))")
            .arg(id, bin, key),
        QStringLiteral("CREATE INDEX files_version ON files(version_id)"),
        QStringLiteral("CREATE INDEX versions_joint ON versions(joint_id)"),
    };
}

bool RunAll(QSqlDatabase& db, const QStringList& statements) {
    QSqlQuery q(db);
    for (const QString& s : statements)
        if (!q.exec(s)) {
            t_stepError = s.section(QLatin1Char(' '), 0, 2) + QStringLiteral(": ") +
                          SqlErrorText(q.lastError());
            return false;
        }
    return true;
}

// Which version of a joint is shown: a whole report before a cut download,
// then the one with more samples, then longer notes (appended later), then
// the newest.
const QString kCurrentVersion = QStringLiteral(
    "(SELECT v.id FROM versions v WHERE v.joint_id = joints.id ORDER BY v.cut, v.samples DESC, "
    "length(v.notes) DESC, v.first_seen DESC, v.id DESC LIMIT 1)");

// Upgrades of indexes made by earlier programs (SQLite only: a server's
// index starts at the current version). Step i brings version i to i + 1;
// a step is never changed once released.
std::vector<SchemaStep> SqliteUpgrades(const QString& host, qint64 now) {
    std::vector<SchemaStep> steps;
    steps.push_back([](QSqlDatabase& db) {
        return RunAll(
            db,
            {QStringLiteral(
                 "CREATE TABLE roots(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, reachable "
                 "INTEGER NOT NULL DEFAULT 1, mounted INTEGER NOT NULL DEFAULT 0)"),
             QStringLiteral(
                 "CREATE TABLE reports(id INTEGER PRIMARY KEY, sha256 BLOB NOT NULL UNIQUE, size "
                 "INTEGER NOT NULL, date_time TEXT NOT NULL, joint_number INTEGER NOT NULL, job "
                 "TEXT NOT NULL, employee TEXT NOT NULL, machine_id TEXT NOT NULL, model TEXT NOT "
                 "NULL, material TEXT NOT NULL, size_text TEXT NOT NULL, heater_temp TEXT NOT "
                 "NULL, samples INTEGER NOT NULL, duration REAL NOT NULL, max_pressure INTEGER "
                 "NOT NULL, press_unit TEXT NOT NULL, demo INTEGER NOT NULL, notes TEXT NOT NULL, "
                 "verdict TEXT NOT NULL DEFAULT '')"),
             QStringLiteral(
                 "CREATE TABLE files(id INTEGER PRIMARY KEY, root_id INTEGER NOT NULL REFERENCES "
                 "roots(id) ON DELETE CASCADE, relpath TEXT NOT NULL, size INTEGER NOT NULL, "
                 "mtime_ms INTEGER NOT NULL, report_id INTEGER REFERENCES reports(id), missing "
                 "INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '', UNIQUE(root_id, "
                 "relpath))"),
             QStringLiteral("CREATE INDEX files_report ON files(report_id)")});
    });
    // Version 2 judges every joint by the procedure check. Unchanged files
    // are not read again, so every report's file is made to look changed
    // once; files that could not be read stay as they were.
    steps.push_back([](QSqlDatabase& db) {
        return RunAll(db,
                      {QStringLiteral("UPDATE files SET size = -1 WHERE report_id IS NOT NULL")});
    });
    // Version 3: what was kept moves into the new tables; a missing file
    // counts as missing from now on, and nothing is read again.
    steps.push_back([host, now](QSqlDatabase& db) {
        QStringList move{QStringLiteral("DROP INDEX files_report"),
                         QStringLiteral("ALTER TABLE files RENAME TO old_files"),
                         QStringLiteral("ALTER TABLE reports RENAME TO old_reports"),
                         QStringLiteral("ALTER TABLE roots RENAME TO old_roots")};
        move << SchemaV3(SqliteDialect());
        if (!RunAll(db, move))
            return false;
        QSqlQuery q(db);
        const auto bound = [&](const QString& sql, const QVariantList& values) {
            return Run(q, sql, values);
        };
        if (!bound(QStringLiteral("INSERT INTO roots(id, kind, key, source, added_at) SELECT id, "
                                  "'path', path, path, ? FROM old_roots"),
                   {now}) ||
            !bound(QStringLiteral("INSERT INTO root_hosts(root_id, host, path, path_text, "
                                  "reachable, mounted) SELECT id, ?, CAST(path AS BLOB), path, "
                                  "reachable, mounted FROM old_roots"),
                   {host}) ||
            !RunAll(db, {QStringLiteral("INSERT INTO joints(machine_id, date_time, joint_number) "
                                        "SELECT DISTINCT machine_id, date_time, joint_number FROM "
                                        "old_reports")}) ||
            !bound(QStringLiteral(
                       "INSERT INTO versions(id, sha256, joint_id, size, job, employee, model, "
                       "material, size_text, heater_temp, samples, duration, max_pressure, "
                       "press_unit, demo, notes, verdict, first_seen) SELECT r.id, r.sha256, "
                       "j.id, r.size, r.job, r.employee, r.model, r.material, r.size_text, "
                       "r.heater_temp, r.samples, r.duration, r.max_pressure, r.press_unit, "
                       "r.demo, r.notes, r.verdict, ? FROM old_reports r JOIN joints j ON "
                       "j.machine_id = r.machine_id AND j.date_time = r.date_time AND "
                       "j.joint_number = r.joint_number"),
                   {now}) ||
            !bound(QStringLiteral("INSERT INTO files(id, root_id, relpath, relpath_text, size, "
                                  "mtime_ms, version_id, reason, gone_since, missing) SELECT id, "
                                  "root_id, CAST(relpath AS BLOB), relpath, size, mtime_ms, "
                                  "report_id, reason, CASE WHEN missing = 1 THEN ? END, missing "
                                  "FROM old_files"),
                   {now}) ||
            !RunAll(db, {QStringLiteral("DROP TABLE old_files"),
                         QStringLiteral("DROP TABLE old_reports"),
                         QStringLiteral("DROP TABLE old_roots")}))
            return false;
        // What is worked out in C++: sort keys, and which versions were
        // read from a cut download.
        std::vector<std::pair<qint64, JointFields>> versions;
        if (!q.exec(QStringLiteral(
                "SELECT v.id, v.job, v.employee, j.machine_id, v.model, v.material, v.size_text, "
                "v.heater_temp, v.notes, (SELECT group_concat(f.relpath_text, char(10)) FROM "
                "files f WHERE f.version_id = v.id) FROM versions v JOIN joints j ON j.id = "
                "v.joint_id")))
            return false;
        while (q.next()) {
            JointFields f;
            f.job = q.value(1).toString();
            f.employee = q.value(2).toString();
            f.machineId = q.value(3).toString();
            f.model = q.value(4).toString();
            f.material = q.value(5).toString();
            f.sizeText = q.value(6).toString();
            f.heaterTemp = q.value(7).toString();
            f.notes = q.value(8).toString();
            for (const QString& name : q.value(9).toString().split(QLatin1Char('\n')))
                f.cut = f.cut || IsCutDownloadName(name);
            versions.emplace_back(q.value(0).toLongLong(), f);
        }
        for (const auto& [id, f] : versions) {
            const JointSortKeys k = KeysOf(f);
            if (!bound(QStringLiteral("UPDATE versions SET cut = ?, job_key = ?, employee_key = "
                                      "?, model_key = ?, material_key = ?, size_key = ?, "
                                      "heater_key = ?, notes_key = ? WHERE id = ?"),
                       {f.cut ? 1 : 0, k.job, k.employee, k.model, k.material, k.size, k.heater,
                        k.notes, id}) ||
                !bound(QStringLiteral("UPDATE joints SET machine_key = ? WHERE id = (SELECT "
                                      "joint_id FROM versions WHERE id = ?)"),
                       {k.machine, id}))
                return false;
        }
        return RunAll(
            db, {QStringLiteral("UPDATE joints SET current_version_id = %1").arg(kCurrentVersion)});
    });
    return steps;
}

// The steps after version 3, the same on both stores (a server's library
// is made as version 3 and brought up through them too). Each only adds.
std::vector<SchemaStep> SharedUpgrades(const CSqlDialect& d) {
    // Steps 1 to 3 are SQLite's own (SqliteUpgrades): a server's library
    // never was older than version 3.
    std::vector<SchemaStep> steps(3);
    // Version 4: the machine-list entry of a verdict. Verdicts kept before
    // recorded no procedure: each is not current, and the next scan judges
    // it again.
    steps.push_back([](QSqlDatabase& db) {
        return RunAll(
            db, {QStringLiteral(
                    "ALTER TABLE versions ADD COLUMN machine_entry TEXT NOT NULL DEFAULT ''")});
    });
    // Version 5: folded texts for the filters, named roots' fingerprints,
    // files by a key, the office's settings, the scan lock's holder.
    steps.push_back([&d](QSqlDatabase& db) {
        if (!RunAll(
                db,
                {QStringLiteral(
                     "ALTER TABLE versions ADD COLUMN job_fold TEXT NOT NULL DEFAULT ''"),
                 QStringLiteral(
                     "ALTER TABLE versions ADD COLUMN search_fold TEXT NOT NULL DEFAULT ''"),
                 QStringLiteral(
                     "ALTER TABLE roots ADD COLUMN fingerprint TEXT NOT NULL DEFAULT ''"),
                 QStringLiteral("ALTER TABLE files ADD COLUMN relpath_key %1").arg(d.BinaryType()),
                 QStringLiteral("UPDATE files SET relpath_key = relpath"),
                 QStringLiteral("CREATE UNIQUE INDEX files_key ON files(root_id, relpath_key)"),
                 QStringLiteral("CREATE INDEX joints_time ON joints(date_time, joint_number)"),
                 QStringLiteral("CREATE TABLE library_settings(key %1 PRIMARY KEY, value TEXT NOT "
                                "NULL, changed_at BIGINT NOT NULL)")
                     .arg(d.SortKeyType()),
                 QStringLiteral("CREATE TABLE scan_holder(pid BIGINT PRIMARY KEY, host TEXT NOT "
                                "NULL, what TEXT NOT NULL, process BIGINT NOT NULL, since BIGINT "
                                "NOT NULL)")}))
            return false;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        std::vector<std::pair<qint64, Folds>> folds;
        if (!q.exec(QStringLiteral("SELECT v.id, v.job, v.employee, j.machine_id, v.notes FROM "
                                   "versions v JOIN joints j ON j.id = v.joint_id")))
            return false;
        while (q.next())
            folds.emplace_back(q.value(0).toLongLong(),
                               FoldsOf(q.value(1).toString(), q.value(2).toString(),
                                       q.value(3).toString(), q.value(4).toString()));
        for (const auto& [id, f] : folds)
            if (!Run(q,
                     QStringLiteral(
                         "UPDATE versions SET job_fold = ?, search_fold = ? WHERE id = ?"),
                     {f.job, f.search, id}))
                return false;
        return true;
    });
    // Version 6: an index of the folded texts, so that a search reads only
    // the versions that can hold its text.
    steps.push_back(
        [&d](QSqlDatabase& db) { return d.MakeSearchIndex(db, t_stepNote, t_stepError); });
    return steps;
}

// Every step of an SQLite index, from none.
std::vector<SchemaStep> SqliteSteps(const QString& host, qint64 now) {
    std::vector<SchemaStep> steps = SqliteUpgrades(host, now);
    const std::vector<SchemaStep> shared = SharedUpgrades(SqliteDialect());
    steps.insert(steps.end(), shared.begin() + qsizetype(steps.size()), shared.end());
    return steps;
}

QString FullText(const QString& rootText, const QString& relText) {
    return rootText + QLatin1Char('/') + relText;
}
} // namespace

QString RootKindName(RootKind kind) {
    switch (kind) {
    case RootKind::Volume:
        return QStringLiteral("volume");
    case RootKind::Named:
        return QStringLiteral("named");
    default:
        return QStringLiteral("path");
    }
}

namespace {
RootKind RootKindOf(const QString& name) {
    if (name == QLatin1String("volume"))
        return RootKind::Volume;
    if (name == QLatin1String("named"))
        return RootKind::Named;
    return RootKind::Path;
}
} // namespace

QString DurableReviewsFolder() {
    return QFileInfo(StandardLibraryDatabase()).absolutePath() + QStringLiteral("/reviews");
}

CLibraryStore::CLibraryStore(QString database, int busyMs)
    : m_location(ParseLibraryLocation(database)),
      m_requested(m_location.server ? m_location.Display() : m_location.path), m_path(m_requested),
      m_name(QStringLiteral("vtq-library-%1").arg(g_connections.fetchAndAddRelaxed(1))),
      m_nBusyMs(busyMs), m_host(QSysInfo::machineHostName()),
      m_dialect(m_location.server ? PostgresDialect() : SqliteDialect()) {}

CLibraryStore::~CLibraryStore() {
    CloseConnection();
}

void CLibraryStore::CloseConnection() {
    qDeleteAll(m_statements);
    m_statements.clear();
    m_bScanLock = false;
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool CLibraryStore::Exec(const QString& sql) {
    QSqlQuery q(m_db);
    return q.exec(sql) || FailQuery(sql.section(QLatin1Char(' '), 0, 1), q.lastError());
}

QSqlQuery* CLibraryStore::Run(const QString& sql, const QVariantList& values, const QString& what) {
    QSqlQuery*& q = m_statements[sql];
    if (!q) {
        q = new QSqlQuery(m_db);
        if (!q->prepare(sql)) {
            FailQuery(what, q->lastError());
            delete q;
            m_statements.remove(sql);
            return nullptr;
        }
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        q->bindValue(int(i), values[i]);
    if (!q->exec()) {
        FailQuery(what, q->lastError());
        q->finish();
        return nullptr;
    }
    return q;
}

bool CLibraryStore::Fail(const QString& what, const QString& error) {
    m_message =
        QStringLiteral("The library index %1 could not be used (%2): %3").arg(m_path, what, error);
    return false;
}

bool CLibraryStore::FailQuery(const QString& what, const QSqlError& error) {
    if (IsServer() && IsConnectionLost(m_db, error)) {
        m_bLost = true;
        m_message = QStringLiteral("The connection to the library's server %1 was lost (%2): %3")
                        .arg(m_path, what, SqlErrorText(error).section(QLatin1Char('\n'), 0, 0));
        return false;
    }
    return Fail(what, SqlErrorText(error));
}

QString CLibraryStore::HostOf(RootKind kind) const {
    return kind == RootKind::Named ? QStringLiteral("") : m_host;
}

CLibraryStore::OpenResult CLibraryStore::Open(Mode mode) {
    m_bLost = false;
    if (!m_location.error.isEmpty()) {
        m_message = QStringLiteral("The library's address %1").arg(m_location.error);
        return OpenResult::Failed;
    }
    m_bReviews = false;
    m_reviewsBlocked.clear();
    return IsServer() ? OpenServer(mode) : OpenSqlite(mode);
}

namespace {
// Opens one SQLite connection; false with the error when it cannot.
bool ConnectSqlite(QSqlDatabase& db, const QString& name, const QString& path, int busyMs,
                   bool readOnly) {
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    return db.open();
}
} // namespace

CLibraryStore::OpenResult CLibraryStore::OpenSqlite(Mode mode) {
    m_message.clear();
    CloseConnection();
    const IndexPlace place = PlaceIndex(m_requested, DurableReviewsFolder());
    m_path = place.path;
    m_reviewsPath = place.reviews;
    m_bReviews = false;
    // A reviewer reads the index as a reader does; only its connection may
    // write (to the reviews).
    const bool readOnly = mode != Mode::Write;
    const bool standard = m_requested == QFileInfo(StandardLibraryDatabase()).absoluteFilePath();
    const SqliteFileFacts facts = ReadSqliteFileFacts(m_path);
    const auto done = [&](OpenResult result, const QString& message) {
        m_message = message;
        CloseConnection();
        return result;
    };
    const QString damagedText = QStringLiteral("The library index %1 is damaged; the next scan "
                                               "sets it aside and builds it again.")
                                    .arg(m_path);

    if (readOnly && (!facts.exists || facts.size == 0))
        return done(OpenResult::NoIndex,
                    QStringLiteral("There is no library index yet at %1; \"vtq-library scan\" "
                                   "or the window makes it.")
                        .arg(m_path));
    // Anything that is there and not ours is someone's file: refused and
    // left exactly as it is (a mistyped --database must harm nothing). Only
    // at the standard place is a file that is no database at all taken for
    // our own index, damaged beyond its header.
    const QString foreignText = QStringLiteral("%1 is not a library index (it was not made by "
                                               "vtq-library); it is left as it is. Name another "
                                               "file with --database.")
                                    .arg(m_requested);
    bool rebuilt = false;
    if (facts.exists && facts.size > 0 && !facts.sqlite) {
        if (!standard)
            return done(OpenResult::Foreign, foreignText);
        if (readOnly)
            return done(OpenResult::Damaged, damagedText);
        if (!SetAsideDamaged(m_path, QStringLiteral("damaged"), m_message))
            return OpenResult::Failed;
        rebuilt = true;
    }
    if (!readOnly)
        QDir().mkpath(QFileInfo(m_path).absolutePath());

    // A passing error (the file busy, a share's EIO, no memory) is tried
    // again and then reported; it is never taken for damage.
    QString passing;
    bool pause = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (pause)
            QThread::msleep(200);
        pause = true;
        CloseConnection();
        if (!ConnectSqlite(m_db, m_name, m_path, m_nBusyMs, mode == Mode::Read)) {
            passing = SqlErrorText(m_db.lastError());
            continue;
        }
        // The mark is read through SQLite: the file's own header may lag
        // behind its write-ahead log.
        QSqlQuery q(m_db);
        qint64 values[3] = {0, 0, 0};
        const char* const reads[3] = {"PRAGMA application_id", "PRAGMA user_version",
                                      "SELECT count(*) FROM sqlite_master"};
        bool read = true;
        for (int i = 0; read && i < 3; ++i) {
            read = q.exec(QString::fromLatin1(reads[i])) && q.next();
            values[i] = read ? q.value(0).toLongLong() : 0;
        }
        const QSqlError readError = q.lastError();
        q.finish();
        const qint64 application = qint64(quint32(values[0]));
        const int version = int(values[1]);
        const bool fresh = read && application == 0 && version == 0 && values[2] == 0;
        const bool ours =
            (read && application == kApplicationId) || facts.application == kApplicationId;
        bool damaged = false;
        if (!read) {
            if (IsBusy(readError))
                return done(OpenResult::Busy, QStringLiteral("The library index %1 is busy: %2")
                                                  .arg(m_path, SqlErrorText(readError)));
            if (readOnly && SqlitePrimaryCode(readError) == 14)
                // Never opened as immutable instead: that reads stale rows.
                return done(
                    OpenResult::Failed,
                    QStringLiteral("The library index %1 cannot be read: a reader needs "
                                   "to make %2 beside it when no other program has it "
                                   "open, and its folder cannot be written by this user.")
                        .arg(m_path, QFileInfo(m_path).fileName() + QStringLiteral("-shm")));
            if (!IsDamage(readError)) {
                passing = SqlErrorText(readError);
                continue;
            }
            damaged = true;
        } else if (!fresh && !ours) {
            return done(OpenResult::Foreign, foreignText);
        } else if (version > kSchemaVersion) {
            return done(OpenResult::TooNew,
                        QStringLiteral("The library index %1 was made by a newer program "
                                       "(version %2; this one reads up to %3) and is left as it "
                                       "is.")
                            .arg(m_path)
                            .arg(version)
                            .arg(kSchemaVersion));
        } else if (readOnly) {
            // Readers check nothing more on open (a large index must open at
            // once) and take no lock; a query that meets damage says so.
            if (fresh)
                return done(OpenResult::NoIndex,
                            QStringLiteral("There is no library index yet at %1.").arg(m_path));
            if (version < kSchemaVersion)
                return done(OpenResult::Older,
                            QStringLiteral("The library index %1 was made by an older "
                                           "vtq-library (version %2); the next scan brings it up "
                                           "to date.")
                                .arg(m_path)
                                .arg(version));
            if (!AttachReviews(mode)) {
                CloseConnection();
                return OpenResult::Failed;
            }
            return OpenResult::Ok;
        } else {
            const bool checked = q.exec(QStringLiteral("PRAGMA quick_check")) && q.next();
            const QString verdict = checked ? q.value(0).toString() : QString();
            const QSqlError e = q.lastError();
            q.finish();
            if (!checked && IsBusy(e))
                return done(OpenResult::Busy, QStringLiteral("The library index %1 is busy: %2")
                                                  .arg(m_path, SqlErrorText(e)));
            if (!checked && !IsDamage(e)) {
                passing = SqlErrorText(e);
                continue;
            }
            damaged = !checked || verdict != QLatin1String("ok");
        }
        if (damaged) {
            if (readOnly)
                return done(OpenResult::Damaged, damagedText);
            // Only our own index, or a file at the standard place, is set
            // aside; anything else is left for its owner.
            CloseConnection();
            if (rebuilt || !(ours || standard))
                return done(OpenResult::Failed,
                            QStringLiteral("%1 is damaged and not known to be a library index; "
                                           "it is left as it is.")
                                .arg(m_path));
            if (!SetAsideDamaged(m_path, QStringLiteral("damaged"), m_message))
                return OpenResult::Failed;
            rebuilt = true;
            pause = false;
            continue;
        }
        // WAL lets readers read while a writer writes; NORMAL is safe with
        // WAL and loses at most the last commit on power loss. The mode that
        // comes back is the one in force: anything but WAL would make readers
        // wait for writers, and is refused.
        QString journal;
        if (q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && q.next())
            journal = q.value(0).toString();
        const QSqlError journalError = q.lastError();
        q.finish();
        if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return done(IsBusy(journalError) ? OpenResult::Busy : OpenResult::Failed,
                        QStringLiteral("The library index %1 cannot use its write-ahead log "
                                       "(%2); it is left as it is.")
                            .arg(m_path, journal.isEmpty()
                                             ? SqlErrorText(journalError)
                                             : QStringLiteral("journal mode ") + journal));
        if (!Exec(QStringLiteral("PRAGMA synchronous = NORMAL")) ||
            !Exec(QStringLiteral("PRAGMA foreign_keys = ON")) || !AttachReviews(mode)) {
            CloseConnection();
            return OpenResult::Failed;
        }
        // A new index is made as it is now; an older one is brought up to
        // date step by step, by the first writer after an upgrade.
        QString error;
        t_stepError.clear();
        if (fresh ? !CreateSchema()
                  : !MigrateSqlite(m_db, m_path, m_dialect, kApplicationId, version,
                                   SqliteSteps(m_host, Now()), false, error)) {
            if (!error.isEmpty())
                m_message = t_stepError.isEmpty()
                                ? error
                                : error + QStringLiteral(" (") + t_stepError + QLatin1Char(')');
            CloseConnection();
            return OpenResult::Failed;
        }
        if (!place.warning.isEmpty() && m_message.isEmpty())
            m_message = place.warning;
        return rebuilt ? OpenResult::Rebuilt : OpenResult::Ok;
    }
    return done(OpenResult::Failed,
                QStringLiteral("The library index %1 cannot be used now (%2); it is left as it "
                               "is. Try again.")
                    .arg(m_path, passing));
}

// A new index, made as version 3 and brought up by the shared steps, in
// one transaction; a server's starts with its schemas.
bool CLibraryStore::CreateSchema() {
    if (!Begin())
        return false;
    QStringList statements = IsServer() ? NewServerSchemas() : QStringList();
    statements << SchemaV3(m_dialect);
    bool ok = true;
    for (const QString& s : statements)
        ok = ok && Exec(s);
    const std::vector<SchemaStep> steps = SharedUpgrades(m_dialect);
    for (size_t v = 3; ok && v < steps.size(); ++v)
        ok = steps[v](m_db) || Fail(QStringLiteral("version %1").arg(v + 1), t_stepError);
    for (const QString& s : m_dialect.WriteMark({kApplicationId, kSchemaVersion, kSchemaMajor}))
        ok = ok && Exec(s);
    if (!ok || !Commit()) {
        Rollback();
        return false;
    }
    return true;
}

namespace {
// A server's reviews are upgraded only with the library, never by the
// desk that finds them older.
QString OlderReviewsText(const QString& path, int version) {
    return QStringLiteral("The reviews of the library in %1 were made by an older vtq-library "
                          "(version %2): no review can be recorded until \"vtq-library "
                          "init-database --upgrade\" brings them up to date.")
        .arg(path)
        .arg(version);
}
} // namespace

CLibraryStore::OpenResult CLibraryStore::OpenServer(Mode mode) {
    m_message.clear();
    CloseConnection();
    const auto done = [&](OpenResult result, const QString& message) {
        m_message = message;
        CloseConnection();
        return result;
    };
    QString error;
    if (!ConnectServer(m_db, m_name, m_location, mode == Mode::Read,
                       mode == Mode::Read ? QStringLiteral("vtq-library reader")
                                          : QStringLiteral("vtq-library writer"),
                       error))
        return done(OpenResult::Failed, error);
    const ServerState state = ReadServerState(m_db);
    const QString& db = m_path;
    switch (state.kind) {
    case ServerState::Ours:
        break;
    case ServerState::Empty:
        return done(OpenResult::Failed,
                    QStringLiteral("The database %1 holds no library yet; \"vtq-library "
                                   "init-database\" makes it.")
                        .arg(db));
    case ServerState::OtherTables:
        // Nothing is made where someone else's tables are unless asked.
        return done(OpenResult::Foreign,
                    QStringLiteral("The database %1 holds other tables and no library; it is "
                                   "left as it is. \"vtq-library init-database\" makes the "
                                   "library there, in schemas of its own (%2, %3).")
                        .arg(db, kServerSchema, CSqlDialect::ReviewsSchema()));
    case ServerState::Foreign:
        return done(OpenResult::Foreign,
                    QStringLiteral("The database %1 has a schema %2 that is not a library "
                                   "index; it is left as it is.")
                        .arg(db, kServerSchema));
    case ServerState::Denied:
        return done(OpenResult::Failed,
                    QStringLiteral("The library in %1 may not be read by this login (%2): its "
                                   "administrator grants it (see the README).")
                        .arg(db, state.error));
    case ServerState::Failed:
        return done(OpenResult::Failed,
                    QStringLiteral("The library in %1 cannot be read (%2).").arg(db, state.error));
    }
    if (state.mark.application != kApplicationId)
        return done(OpenResult::Foreign,
                    QStringLiteral("The database %1 has a schema %2 that is not a library "
                                   "index; it is left as it is.")
                        .arg(db, kServerSchema));
    if (state.mark.major > kSchemaMajor)
        return done(OpenResult::TooNew,
                    QStringLiteral("The library in %1 was made by a newer program (version %2.%3; "
                                   "this one reads %4.x) and is left as it is.")
                        .arg(db)
                        .arg(state.mark.major)
                        .arg(state.mark.version)
                        .arg(kSchemaMajor));
    if (state.mark.major < kSchemaMajor || state.mark.version < kSchemaVersion)
        return done(OpenResult::Older,
                    QStringLiteral("The library in %1 was made by an older vtq-library (version "
                                   "%2); \"vtq-library init-database --upgrade\" brings it up "
                                   "to date.")
                        .arg(db)
                        .arg(state.mark.version));
    // The reviews' tables, where the library has them; older ones are
    // read as none and written only after an upgrade.
    const std::optional<int> reviews = ServerReviewsVersion(m_db);
    m_bReviews = reviews && *reviews >= kReviewsSchemaVersion;
    if (reviews && !m_bReviews)
        m_reviewsBlocked = OlderReviewsText(db, *reviews);
    return OpenResult::Ok;
}

CLibraryStore::OpenResult CLibraryStore::Init(bool upgrade) {
    m_bLost = false;
    if (!m_location.error.isEmpty()) {
        m_message = QStringLiteral("The library's address %1").arg(m_location.error);
        return OpenResult::Failed;
    }
    if (IsServer())
        return InitServer(upgrade);
    // An SQLite index is made, and upgraded, by its first writer.
    const OpenResult result = OpenSqlite(Mode::Write);
    if ((result == OpenResult::Ok || result == OpenResult::Rebuilt) && m_message.isEmpty())
        m_message = QStringLiteral("The library index %1 is ready (version %2).")
                        .arg(m_path)
                        .arg(kSchemaVersion);
    return result;
}

namespace {
// Init-database's own stand-in for its newest version: tests make a
// library of an older version to upgrade (0: the newest).
int g_initVersionForTests = 0;
} // namespace

void SetInitVersionForTests(int version) {
    g_initVersionForTests = version;
}

namespace {
// What init-database says of a library whose search has no index.
QString NoSearchIndexText(const QString& reason) {
    return QStringLiteral(" Its search has no index of its own: the extension pg_trgm could not "
                          "be made (%1), so each search reads every joint. Once an "
                          "administrator has made it in this database (CREATE EXTENSION "
                          "pg_trgm), \"vtq-library init-database --upgrade\" adds the index.")
        .arg(reason);
}
} // namespace

// Made or upgraded only here, under the scan lock (so that no scan writes
// meanwhile), each step in its own transaction.
CLibraryStore::OpenResult CLibraryStore::InitServer(bool upgrade) {
    m_message.clear();
    CloseConnection();
    const auto done = [&](OpenResult result, const QString& message) {
        m_message = message;
        CloseConnection();
        return result;
    };
    QString error;
    if (!ConnectServer(m_db, m_name, m_location, false, QStringLiteral("vtq-library init-database"),
                       error))
        return done(OpenResult::Failed, error);
    const std::optional<bool> locked = TakeServerScanLock(m_db);
    if (!locked)
        return done(OpenResult::Failed, QStringLiteral("The library in %1 cannot be locked (%2).")
                                            .arg(m_path, SqlErrorText(m_db.lastError())));
    if (!*locked) {
        const QString holder = ServerScanHolder(m_db);
        return done(OpenResult::Busy,
                    holder.isEmpty() ? QStringLiteral("another program holds it") : holder);
    }
    const ServerState state = ReadServerState(m_db);
    const int target = g_initVersionForTests > 0 ? g_initVersionForTests : kSchemaVersion;
    if (state.kind == ServerState::Empty || state.kind == ServerState::OtherTables) {
        if (upgrade)
            return done(OpenResult::NoIndex,
                        QStringLiteral("The database %1 holds no library to upgrade; "
                                       "\"vtq-library init-database\" makes it.")
                            .arg(m_path));
        t_stepNote.clear();
        bool ok = Begin();
        for (const QString& s : NewServerSchemas() + SchemaV3(m_dialect))
            ok = ok && Exec(s);
        const std::vector<SchemaStep> steps = SharedUpgrades(m_dialect);
        for (size_t v = 3; ok && int(v) < target; ++v)
            ok = steps[v](m_db) || Fail(QStringLiteral("version %1").arg(v + 1), t_stepError);
        for (const QString& s : m_dialect.WriteMark({kApplicationId, target, kSchemaMajor}))
            ok = ok && Exec(s);
        if (!ok || !m_db.commit()) {
            const QString why = m_message.isEmpty() ? SqlErrorText(m_db.lastError()) : m_message;
            Rollback();
            return done(OpenResult::Failed,
                        QStringLiteral("The library could not be made in %1: %2").arg(m_path, why));
        }
        return done(OpenResult::Ok,
                    QStringLiteral("Made the library in %1 (version %2): schemas %3 (the index) "
                                   "and %4 (reviews).%5")
                        .arg(m_path)
                        .arg(target)
                        .arg(kServerSchema, CSqlDialect::ReviewsSchema(),
                             t_stepNote.isEmpty() ? QString() : NoSearchIndexText(t_stepNote)));
    }
    if (state.kind != ServerState::Ours || state.mark.application != kApplicationId ||
        state.mark.major != kSchemaMajor) {
        CloseConnection();
        // What opening says of it: someone else's, or too new.
        const OpenResult opened = OpenServer(Mode::Read);
        CloseConnection();
        return opened == OpenResult::Ok ? OpenResult::Failed : opened;
    }
    // The reviews have a version of their own, upgraded with the index's.
    QString why;
    const std::optional<int> reviews = ServerReviewsVersion(m_db, &why);
    if (!reviews)
        return done(OpenResult::Failed,
                    QStringLiteral("The reviews of the library in %1 cannot be read (%2); they "
                                   "are left as they are.")
                        .arg(m_path, why));
    const bool olderReviews = *reviews < kReviewsSchemaVersion;
    // A library whose search index could not be made gets it from an
    // upgrade once the extension can be had.
    t_stepNote.clear();
    QString searchNote;
    if (state.mark.version >= 6 && !ServerSearchIndexed(m_db)) {
        if (!upgrade)
            searchNote = QStringLiteral(" Its search has no index of its own, so each search "
                                        "reads every joint: \"vtq-library init-database "
                                        "--upgrade\" makes it where the extension pg_trgm can "
                                        "be made.");
        else if (!Begin() ||
                 !Exec(QStringLiteral("SET LOCAL search_path TO %1").arg(kServerSchema)) ||
                 !m_dialect.MakeSearchIndex(m_db, t_stepNote, t_stepError) || !m_db.commit()) {
            const QString why = m_message.isEmpty() ? t_stepError : m_message;
            Rollback();
            return done(OpenResult::Failed,
                        QStringLiteral("The search index of the library in %1 could not be "
                                       "made: %2")
                            .arg(m_path, why));
        } else {
            searchNote = t_stepNote.isEmpty() ? QStringLiteral(" Its search index is made.")
                                              : NoSearchIndexText(t_stepNote);
        }
    }
    if (state.mark.version >= target && !olderReviews)
        return done(OpenResult::Ok,
                    state.mark.version > target
                        ? QStringLiteral("The library in %1 is of a newer version (%2) that this "
                                         "program reads; nothing to do.")
                              .arg(m_path)
                              .arg(state.mark.version)
                        : QStringLiteral("The library in %1 is up to date (version %2).%3")
                              .arg(m_path)
                              .arg(state.mark.version)
                              .arg(searchNote));
    if (!upgrade)
        return done(OpenResult::Older,
                    state.mark.version >= target
                        ? OlderReviewsText(m_path, *reviews)
                        : QStringLiteral("The library in %1 was made by an older vtq-library "
                                         "(version %2); \"vtq-library init-database --upgrade\" "
                                         "brings it up to date.")
                              .arg(m_path)
                              .arg(state.mark.version));
    const std::vector<SchemaStep> steps = SharedUpgrades(m_dialect);
    for (int v = std::max(state.mark.version, 3); v < target; ++v) {
        bool ok = Begin() && Exec(QStringLiteral("SET LOCAL search_path TO %1").arg(kServerSchema));
        ok = ok &&
             (steps[size_t(v)](m_db) || Fail(QStringLiteral("version %1").arg(v + 1), t_stepError));
        for (const QString& s : m_dialect.WriteMark({kApplicationId, v + 1, kSchemaMajor}))
            ok = ok && Exec(s);
        if (!ok || !m_db.commit()) {
            const QString why = m_message.isEmpty() ? SqlErrorText(m_db.lastError()) : m_message;
            Rollback();
            return done(OpenResult::Failed,
                        QStringLiteral("The library in %1 could not be brought to version %2: %3")
                            .arg(m_path)
                            .arg(v + 1)
                            .arg(why));
        }
    }
    // Each step only adds; one that fails leaves the reviews as they were.
    for (int v = *reviews; v < kReviewsSchemaVersion; ++v) {
        bool ok = Begin();
        for (const QString& s : ServerReviewsStep(v))
            ok = ok && Exec(s);
        if (!ok || !m_db.commit()) {
            const QString why = m_message.isEmpty() ? SqlErrorText(m_db.lastError()) : m_message;
            Rollback();
            return done(OpenResult::Failed,
                        QStringLiteral("The reviews of the library in %1 could not be brought to "
                                       "version %2: %3")
                            .arg(m_path)
                            .arg(v + 1)
                            .arg(why));
        }
    }
    return done(
        OpenResult::Ok,
        QStringLiteral("The library in %1 is brought up to version %2%3.%4")
            .arg(m_path)
            .arg(std::max(state.mark.version, target))
            .arg(olderReviews
                     ? QStringLiteral(", its reviews to version %1").arg(kReviewsSchemaVersion)
                     : QString(),
                 t_stepNote.isEmpty() ? searchNote : NoSearchIndexText(t_stepNote)));
}

// The reviews live in a file of their own beside the index, reached as
// the schema "vtq_reviews". It is never set aside, renamed or rebuilt: a
// damaged one is reported and left for its owner to restore; it is copied
// before every upgrade of its schema.
bool CLibraryStore::AttachReviews(Mode mode) {
    const QString& path = m_reviewsPath;
    const SqliteFileFacts facts = ReadSqliteFileFacts(path);
    if (facts.exists && facts.size > 0 &&
        !(facts.sqlite && facts.application == kReviewsApplicationId)) {
        m_message =
            QStringLiteral("%1 is not the library's reviews file; it is left as it is.").arg(path);
        return false;
    }
    if (mode == Mode::Read && (!facts.exists || facts.version < kReviewsSchemaVersion))
        return true; // nothing to read yet; the next writer makes or upgrades it
    if (mode != Mode::Read && !facts.exists)
        QDir().mkpath(QFileInfo(path).absolutePath());
    if (facts.version > kReviewsSchemaVersion) {
        m_message = QStringLiteral("The reviews file %1 was made by a newer program and is "
                                   "left as it is.")
                        .arg(path);
        return false;
    }
    if (mode != Mode::Read) {
        const QString name = m_name + QStringLiteral("-reviews");
        QString error;
        {
            QSqlDatabase db;
            bool ok = ConnectSqlite(db, name, path, m_nBusyMs, false);
            QSqlQuery q(db);
            ok = ok && q.exec(QStringLiteral("PRAGMA quick_check")) && q.next();
            const QString verdict = ok ? q.value(0).toString() : QString();
            if (!ok || verdict != QLatin1String("ok")) {
                error = ok ? QStringLiteral("damaged (%1)").arg(verdict)
                           : SqlErrorText(q.lastError().isValid() ? q.lastError() : db.lastError());
            }
            q.finish();
            ok = error.isEmpty() && q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
            q.finish();
            // Each step after the first runs after a copy of the file as it
            // was.
            std::vector<SchemaStep> steps;
            for (int v = 0; v < kReviewsSchemaVersion; ++v)
                steps.push_back([this, v](QSqlDatabase& d) {
                    return RunAll(d, ReviewsSchemaStep(m_dialect, v));
                });
            if (error.isEmpty() && ok)
                MigrateSqlite(db, path, m_dialect, kReviewsApplicationId, facts.version, steps,
                              facts.exists && facts.version > 0, error);
            else if (error.isEmpty())
                error = SqlErrorText(q.lastError());
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        if (!error.isEmpty()) {
            m_message = QStringLiteral("The reviews file %1 cannot be used (%2); it is left as "
                                       "it is: restore it from a copy beside it.")
                            .arg(path, error);
            return false;
        }
    }
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(CSqlDialect::ReviewsSchema()));
    q.addBindValue(path);
    if (!q.exec())
        return Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
    m_bReviews = true;
    return true;
}

qint64 CLibraryStore::Now() {
    // Only a connection that is gone cannot tell: nothing is written then.
    return m_dialect.NowMs(m_db).value_or(CurrentTimeMs());
}

qint64 CLibraryStore::ChangeCounter() {
    return m_dialect.ChangeCounter(m_db).value_or(-1);
}

bool CLibraryStore::Begin() {
    return m_db.transaction() || FailQuery(QStringLiteral("begin"), m_db.lastError());
}
bool CLibraryStore::Commit() {
    // A writer on a server commits only while its session holds the scan
    // lock: a session that lost it (cut off, and the lock with it) may not
    // be the only writer any more. Listeners hear of the commit.
    if (m_bScanLock) {
        const std::optional<bool> held = ServerScanLockHeld(m_db);
        if (!held || !*held) {
            m_bLost = !held && !m_db.isOpen();
            if (!held)
                Fail(QStringLiteral("scan lock"),
                     QStringLiteral("the server did not say whether this scan still holds the "
                                    "library's scan lock"));
            else
                Fail(QStringLiteral("commit"),
                     QStringLiteral("this session no longer holds the library's scan lock; "
                                    "nothing more is recorded"));
            Rollback();
            return false;
        }
    }
    if (const QString notice = m_dialect.ChangeNotice(); !notice.isEmpty() && !Exec(notice)) {
        Rollback();
        return false;
    }
    return m_db.commit() || FailQuery(QStringLiteral("commit"), m_db.lastError());
}
void CLibraryStore::Rollback() {
    m_db.rollback();
}

qint64 CLibraryStore::PutRoot(const LibraryRoot& root) {
    QSqlQuery* q =
        Run(m_dialect.Upsert(QStringLiteral("roots"),
                             {QStringLiteral("kind"), QStringLiteral("key"),
                              QStringLiteral("source"), QStringLiteral("volume_uuid"),
                              QStringLiteral("volume_label"), QStringLiteral("added_at")},
                             {QStringLiteral("key")},
                             {QStringLiteral("source"), QStringLiteral("volume_label")}),
            {RootKindName(root.kind), Text(root.key), Text(root.source), Text(root.volumeUuid),
             Text(root.volumeLabel), Now()},
            QStringLiteral("roots"));
    if (!q)
        return 0;
    const qint64 id = q->next() ? q->value(0).toLongLong() : 0;
    q->finish();
    if (id == 0)
        Fail(QStringLiteral("roots"), QStringLiteral("no row came back"));
    return id;
}

std::optional<std::vector<LibraryRoot>> CLibraryStore::Roots() {
    std::vector<LibraryRoot> roots;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral(
                   "SELECT r.id, r.kind, r.key, r.source, r.volume_uuid, r.volume_label, "
                   "h.root_id, h.path, h.path_text, h.reachable, h.reason, h.mounted, h.suspect, "
                   "h.checked_at, h.complete_at, h.other_fs, r.fingerprint FROM roots r LEFT JOIN "
                   "root_hosts h ON h.root_id = r.id AND h.host = CASE WHEN r.kind = 'named' THEN "
                   "'' ELSE ? END ORDER BY r.id"),
               {m_host})) {
        FailQuery(QStringLiteral("roots"), q.lastError());
        return std::nullopt;
    }
    while (q.next()) {
        LibraryRoot r;
        r.id = q.value(0).toLongLong();
        r.kind = RootKindOf(q.value(1).toString());
        r.key = q.value(2).toString();
        r.source = q.value(3).toString();
        r.volumeUuid = q.value(4).toString();
        r.volumeLabel = q.value(5).toString();
        r.known = !q.value(6).isNull();
        r.path = q.value(7).toByteArray();
        r.pathText = q.value(8).toString();
        r.reachable = q.value(9).toBool();
        r.reason = q.value(10).toString();
        r.mounted = q.value(11).toBool();
        r.suspect = q.value(12).toBool();
        r.checkedAt = q.value(13).toLongLong();
        r.completeAt = q.value(14).toLongLong();
        for (const QJsonValue& v : QJsonDocument::fromJson(q.value(15).toByteArray()).array())
            r.otherFileSystems << v.toString();
        r.fingerprint = q.value(16).toString();
        roots.push_back(std::move(r));
    }
    return roots;
}

bool CLibraryStore::SetRootState(const LibraryRoot& root) {
    const QByteArray others = QJsonDocument(QJsonArray::fromStringList(root.otherFileSystems))
                                  .toJson(QJsonDocument::Compact);
    QSqlQuery* q = Run(
        m_dialect.Upsert(
            QStringLiteral("root_hosts"),
            {QStringLiteral("root_id"), QStringLiteral("host"), QStringLiteral("path"),
             QStringLiteral("path_text"), QStringLiteral("reachable"), QStringLiteral("reason"),
             QStringLiteral("mounted"), QStringLiteral("suspect"), QStringLiteral("checked_at"),
             QStringLiteral("complete_at"), QStringLiteral("other_fs")},
            {QStringLiteral("root_id"), QStringLiteral("host")},
            {QStringLiteral("path"), QStringLiteral("path_text"), QStringLiteral("reachable"),
             QStringLiteral("reason"), QStringLiteral("mounted"), QStringLiteral("suspect"),
             QStringLiteral("checked_at"), QStringLiteral("complete_at"),
             QStringLiteral("other_fs")},
            QStringLiteral("root_id")),
        {root.id, Text(HostOf(root.kind)), Bytes(root.path), Text(root.pathText),
         root.reachable ? 1 : 0, Text(root.reason), root.mounted ? 1 : 0, root.suspect ? 1 : 0,
         NullableTime(root.checkedAt), NullableTime(root.completeAt), QString::fromUtf8(others)},
        QStringLiteral("root state"));
    if (q)
        q->finish();
    return q != nullptr;
}

bool CLibraryStore::RemoveRoots(const std::vector<qint64>& ids) {
    if (!Begin())
        return false;
    bool ok = true;
    for (qint64 id : ids)
        ok = ok && Run(QStringLiteral("DELETE FROM roots WHERE id = ?"), {id},
                       QStringLiteral("roots")) != nullptr;
    if (!ok || !Tidy() || !Commit()) {
        Rollback();
        return false;
    }
    return true;
}

bool CLibraryStore::SetRootFingerprint(qint64 rootId, const QString& fingerprint) {
    return Run(QStringLiteral("UPDATE roots SET fingerprint = ? WHERE id = ?"),
               {Text(fingerprint), rootId}, QStringLiteral("roots")) != nullptr;
}

std::optional<std::vector<std::pair<QByteArray, QByteArray>>>
CLibraryStore::SampleFiles(qint64 rootId, int count) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT f.relpath, v.sha256 FROM files f JOIN versions v ON v.id = "
                              "f.version_id WHERE f.root_id = ? AND f.missing = 0 AND f.away = 0 "
                              "AND f.gone_since IS NULL ORDER BY f.relpath_key LIMIT ?"),
               {rootId, count})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    std::vector<std::pair<QByteArray, QByteArray>> samples;
    while (q.next())
        samples.emplace_back(q.value(0).toByteArray(), q.value(1).toByteArray());
    return samples;
}

std::optional<QHash<QByteArray, IndexedFile>> CLibraryStore::FilesOfRoot(qint64 rootId) {
    QHash<QByteArray, IndexedFile> files;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT f.relpath_key, f.id, f.relpath, f.size, f.mtime_ms, "
                              "f.version_id, v.sha256, f.relpath_text, f.missing, f.away, "
                              "f.gone_since FROM files f LEFT JOIN versions v ON v.id = "
                              "f.version_id WHERE f.root_id = ?"),
               {rootId})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    while (q.next())
        files.insert(q.value(0).toByteArray(),
                     {q.value(1).toLongLong(), q.value(2).toByteArray(), q.value(3).toLongLong(),
                      q.value(4).toLongLong(), q.value(5).toLongLong(), q.value(6).toByteArray(),
                      q.value(7).toString(), q.value(8).toBool(), q.value(9).toBool(),
                      q.value(10).toLongLong()});
    return files;
}

std::optional<IndexedFile> CLibraryStore::FileOfRoot(qint64 rootId, const QByteArray& key) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT f.id, f.relpath, f.size, f.mtime_ms, f.version_id, v.sha256, "
                              "f.relpath_text, f.missing, f.away, f.gone_since FROM files f LEFT "
                              "JOIN versions v ON v.id = f.version_id WHERE f.root_id = ? AND "
                              "f.relpath_key = ?"),
               {rootId, Bytes(key)})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    IndexedFile file;
    if (q.next())
        file = {q.value(0).toLongLong(), q.value(1).toByteArray(), q.value(2).toLongLong(),
                q.value(3).toLongLong(), q.value(4).toLongLong(),  q.value(5).toByteArray(),
                q.value(6).toString(),   q.value(7).toBool(),      q.value(8).toBool(),
                q.value(9).toLongLong()};
    return file;
}

bool CLibraryStore::PutFile(qint64 rootId, const QByteArray& relPath, const QByteArray& key,
                            const QString& text, qint64 size, qint64 mtimeMs, qint64 versionId,
                            const QString& reason) {
    QSqlQuery* q =
        Run(m_dialect.Upsert(
                QStringLiteral("files"),
                {QStringLiteral("root_id"), QStringLiteral("relpath_key"),
                 QStringLiteral("relpath"), QStringLiteral("relpath_text"), QStringLiteral("size"),
                 QStringLiteral("mtime_ms"), QStringLiteral("version_id"), QStringLiteral("reason"),
                 QStringLiteral("gone_since"), QStringLiteral("missing"), QStringLiteral("away")},
                {QStringLiteral("root_id"), QStringLiteral("relpath_key")},
                {QStringLiteral("relpath"), QStringLiteral("relpath_text"), QStringLiteral("size"),
                 QStringLiteral("mtime_ms"), QStringLiteral("version_id"), QStringLiteral("reason"),
                 QStringLiteral("gone_since"), QStringLiteral("missing"), QStringLiteral("away")}),
            {rootId, Bytes(key), Bytes(relPath), Text(text), size, mtimeMs, NullableId(versionId),
             Text(reason), NullableTime(0), 0, 0},
            QStringLiteral("files"));
    if (q)
        q->finish();
    return q != nullptr;
}

bool CLibraryStore::SetFileSeen(qint64 fileId) {
    return Run(QStringLiteral(
                   "UPDATE files SET gone_since = NULL, missing = 0, away = 0 WHERE id = ?"),
               {fileId}, QStringLiteral("files")) != nullptr;
}

bool CLibraryStore::SetFileGone(qint64 fileId, qint64 goneSince, bool missing) {
    return Run(QStringLiteral(
                   "UPDATE files SET gone_since = ?, missing = ?, away = 0 WHERE id = ?"),
               {goneSince, missing ? 1 : 0, fileId}, QStringLiteral("files")) != nullptr;
}

bool CLibraryStore::SetFileAway(qint64 fileId) {
    return Run(QStringLiteral("UPDATE files SET away = 1 WHERE id = ?"), {fileId},
               QStringLiteral("files")) != nullptr;
}

bool CLibraryStore::RemoveFile(qint64 fileId) {
    return Run(QStringLiteral("DELETE FROM files WHERE id = ?"), {fileId},
               QStringLiteral("files")) != nullptr;
}

qint64 CLibraryStore::PutVersion(const QByteArray& sha256, qint64 size, const JointFields& f) {
    const JointSortKeys k = KeysOf(f);
    const Folds folds = FoldsOf(f.job, f.employee, f.machineId, f.notes);
    const QString jointSql = m_dialect.Upsert(
        QStringLiteral("joints"),
        {QStringLiteral("machine_id"), QStringLiteral("date_time"), QStringLiteral("joint_number"),
         QStringLiteral("machine_key")},
        {QStringLiteral("machine_id"), QStringLiteral("date_time"), QStringLiteral("joint_number")},
        {QStringLiteral("machine_key")});
    QSqlQuery* q = Run(jointSql, {Text(f.machineId), Text(f.dateTime), f.jointNumber, k.machine},
                       QStringLiteral("joints"));
    const qint64 joint = q && q->next() ? q->value(0).toLongLong() : 0;
    if (q)
        q->finish();
    if (joint == 0)
        return q ? (Fail(QStringLiteral("joints"), QStringLiteral("no row came back")), 0) : 0;
    static const QStringList columns{QStringLiteral("sha256"),
                                     QStringLiteral("joint_id"),
                                     QStringLiteral("size"),
                                     QStringLiteral("cut"),
                                     QStringLiteral("job"),
                                     QStringLiteral("employee"),
                                     QStringLiteral("model"),
                                     QStringLiteral("material"),
                                     QStringLiteral("size_text"),
                                     QStringLiteral("heater_temp"),
                                     QStringLiteral("samples"),
                                     QStringLiteral("duration"),
                                     QStringLiteral("max_pressure"),
                                     QStringLiteral("press_unit"),
                                     QStringLiteral("demo"),
                                     QStringLiteral("notes"),
                                     QStringLiteral("verdict"),
                                     QStringLiteral("procedure_name"),
                                     QStringLiteral("procedure_hash"),
                                     QStringLiteral("check_version"),
                                     QStringLiteral("machine_entry"),
                                     QStringLiteral("job_key"),
                                     QStringLiteral("employee_key"),
                                     QStringLiteral("model_key"),
                                     QStringLiteral("material_key"),
                                     QStringLiteral("size_key"),
                                     QStringLiteral("heater_key"),
                                     QStringLiteral("notes_key"),
                                     QStringLiteral("job_fold"),
                                     QStringLiteral("search_fold"),
                                     QStringLiteral("first_seen")};
    // A version read again keeps when it was first seen; a report read
    // when its procedure could not be had keeps the verdict the index has
    // for its bytes.
    QStringList update = columns.mid(1, columns.size() - 2);
    if (!f.judged)
        for (const char* c :
             {"verdict", "procedure_name", "procedure_hash", "check_version", "machine_entry"})
            update.removeAll(QLatin1String(c));
    q = Run(
        m_dialect.Upsert(QStringLiteral("versions"), columns, {QStringLiteral("sha256")}, update),
        {sha256,
         joint,
         size,
         f.cut ? 1 : 0,
         Text(f.job),
         Text(f.employee),
         Text(f.model),
         Text(f.material),
         Text(f.sizeText),
         Text(f.heaterTemp),
         f.samples,
         f.durationSeconds,
         f.maxPressurePsi,
         Text(f.pressUnit),
         f.demo ? 1 : 0,
         Text(f.notes),
         Text(f.verdict),
         Text(f.procedureName),
         Text(f.procedureHash),
         Text(f.checkVersion),
         Text(f.machineEntry),
         Text(k.job),
         Text(k.employee),
         Text(k.model),
         Text(k.material),
         Text(k.size),
         Text(k.heater),
         Text(k.notes),
         folds.job,
         folds.search,
         Now()},
        QStringLiteral("versions"));
    const qint64 version = q && q->next() ? q->value(0).toLongLong() : 0;
    if (q)
        q->finish();
    if (version == 0)
        return q ? (Fail(QStringLiteral("versions"), QStringLiteral("no row came back")), 0) : 0;
    q = Run(QStringLiteral("UPDATE joints SET current_version_id = %1 WHERE id = ?")
                .arg(kCurrentVersion),
            {joint}, QStringLiteral("joints"));
    return q ? version : 0;
}

std::optional<std::vector<std::pair<qint64, JointFields>>> CLibraryStore::VersionVerdicts() {
    std::vector<std::pair<qint64, JointFields>> versions;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT v.id, v.job, j.machine_id, v.cut, v.verdict, "
                              "v.procedure_name, v.procedure_hash, v.check_version, "
                              "v.machine_entry FROM versions v JOIN joints j ON j.id = v.joint_id"),
               {})) {
        FailQuery(QStringLiteral("versions"), q.lastError());
        return std::nullopt;
    }
    while (q.next()) {
        JointFields f;
        f.job = q.value(1).toString();
        f.machineId = q.value(2).toString();
        f.cut = q.value(3).toBool();
        f.verdict = q.value(4).toString();
        f.procedureName = q.value(5).toString();
        f.procedureHash = q.value(6).toString();
        f.checkVersion = q.value(7).toString();
        f.machineEntry = q.value(8).toString();
        versions.emplace_back(q.value(0).toLongLong(), std::move(f));
    }
    return versions;
}

std::optional<bool> CLibraryStore::VersionCut(const QByteArray& sha256) {
    QSqlQuery* q = Run(QStringLiteral("SELECT cut FROM versions WHERE sha256 = ?"), {sha256},
                       QStringLiteral("versions"));
    if (!q)
        return std::nullopt;
    const bool cut = q->next() && q->value(0).toBool();
    q->finish();
    return cut;
}

std::optional<QString> CLibraryStore::PresentCopyOf(qint64 versionId, qint64 fileId) {
    QSqlQuery* q = Run(
        QStringLiteral("SELECT h.path_text, f.relpath_text FROM files f JOIN roots r ON r.id = "
                       "f.root_id JOIN root_hosts h ON h.root_id = f.root_id AND h.host = CASE "
                       "WHEN r.kind = 'named' THEN '' ELSE ? END WHERE f.version_id = ? AND f.id "
                       "<> ? AND f.missing = 0 AND f.away = 0 AND f.gone_since IS NULL AND "
                       "h.reachable = 1 ORDER BY f.id LIMIT 1"),
        {m_host, versionId, fileId}, QStringLiteral("files"));
    if (!q)
        return std::nullopt;
    const QString copy = q->next() ? FullText(q->value(0).toString(), q->value(1).toString())
                                   : QString(QLatin1String(""));
    q->finish();
    return copy;
}

bool CLibraryStore::Tidy() {
    return Exec(QStringLiteral("DELETE FROM versions WHERE NOT EXISTS (SELECT 1 FROM files f "
                               "WHERE f.version_id = versions.id)")) &&
           Exec(QStringLiteral("DELETE FROM joints WHERE NOT EXISTS (SELECT 1 FROM versions v "
                               "WHERE v.joint_id = joints.id)")) &&
           Exec(QStringLiteral("UPDATE joints SET current_version_id = %1 WHERE "
                               "current_version_id IS NULL OR current_version_id <> %1")
                    .arg(kCurrentVersion));
}

namespace {
// Missing files (named `f`, or unnamed) of roots that were reachable when
// last scanned (for a named root: by the office's indexer), older than a
// time.
QString Forgettable(const QString& f) {
    return QStringLiteral(
               "%1missing = 1 AND %1gone_since <= ? AND %1root_id IN (SELECT h.root_id FROM "
               "root_hosts h JOIN roots r ON r.id = h.root_id WHERE h.reachable = 1 AND h.host = "
               "CASE WHEN r.kind = 'named' THEN '' ELSE ? END)")
        .arg(f);
}
} // namespace

std::optional<std::vector<ForgetItem>> CLibraryStore::MissingOlderThan(qint64 ageMs) {
    std::vector<ForgetItem> items;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT f.id, h.path_text, f.relpath_text, f.gone_since, v.job, "
                              "j.joint_number, j.date_time FROM files f JOIN roots r ON r.id = "
                              "f.root_id JOIN root_hosts h ON h.root_id = f.root_id AND h.host = "
                              "CASE WHEN r.kind = 'named' THEN '' ELSE ? END LEFT JOIN versions v "
                              "ON v.id = f.version_id LEFT JOIN joints j ON j.id = v.joint_id "
                              "WHERE %1 ORDER BY f.gone_since, h.path_text, f.relpath_text")
                   .arg(Forgettable(QStringLiteral("f."))),
               {m_host, Now() - ageMs, m_host})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    while (q.next())
        items.push_back({q.value(0).toLongLong(),
                         FullText(q.value(1).toString(), q.value(2).toString()),
                         q.value(3).toLongLong(), q.value(4).toString(), q.value(5).toInt(),
                         q.value(6).toString()});
    return items;
}

int CLibraryStore::Forget(const std::vector<qint64>& fileIds, qint64 ageMs) {
    if (!Begin())
        return -1;
    const qint64 limit = Now() - ageMs;
    int removed = 0;
    bool ok = true;
    for (qint64 id : fileIds) {
        QSqlQuery* q =
            Run(QStringLiteral("DELETE FROM files WHERE id = ? AND %1").arg(Forgettable(QString())),
                {id, limit, m_host}, QStringLiteral("files"));
        if (!(ok = q != nullptr))
            break;
        removed += q->numRowsAffected();
    }
    if (!ok || !Tidy() || !Commit()) {
        Rollback();
        return -1;
    }
    return removed;
}

std::optional<QString> CLibraryStore::Setting(const QString& key) {
    QSqlQuery q(m_db);
    if (!::Run(q, QStringLiteral("SELECT value FROM library_settings WHERE key = ?"), {key})) {
        FailQuery(QStringLiteral("settings"), q.lastError());
        return std::nullopt;
    }
    return q.next() ? q.value(0).toString() : QString();
}

bool CLibraryStore::SetSetting(const QString& key, const QString& value) {
    QSqlQuery q(m_db);
    if (!Begin())
        return false;
    if (!::Run(q,
               m_dialect.Upsert(
                   QStringLiteral("library_settings"),
                   {QStringLiteral("key"), QStringLiteral("value"), QStringLiteral("changed_at")},
                   {QStringLiteral("key")}, {QStringLiteral("value"), QStringLiteral("changed_at")},
                   QStringLiteral("key")),
               {Text(key), Text(value), Now()})) {
        FailQuery(QStringLiteral("settings"), q.lastError());
        Rollback();
        return false;
    }
    q.finish();
    return Commit();
}

const JointReview& JointRow::NoReview() {
    static const JointReview none;
    return none;
}

JointFilter CLibraryStore::AllJoints() {
    JointFilter all;
    all.status = QStringLiteral("all");
    return all;
}

QByteArray FileKey(const QByteArray& relPath, RootKind kind) {
    if (kind != RootKind::Named)
        return relPath;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(relPath);
    // A name that is no text is its bytes on every desk.
    return utf8.hasError() ? relPath : text.normalized(QString::NormalizationForm_C).toUtf8();
}

QString CLibraryStore::HereCondition(QVariantList& values) const {
    // A named root is here when this desk reaches it now (NamedRoots.h);
    // any other when this host last found it reachable.
    QList<qint64> named;
    for (auto it = m_desk.cbegin(); it != m_desk.cend(); ++it)
        if (it->reachable)
            named << it.key();
    values << m_dialect.IdList(named);
    return QStringLiteral("((r.kind = 'named' AND %1) OR (r.kind <> 'named' AND "
                          "COALESCE(h.reachable, 0) = 1))")
        .arg(m_dialect.IdIn(QStringLiteral("f.root_id")));
}

namespace {
// The filter's conditions on a joint `j` and its current version `v`.
QString Conditions(const CSqlDialect& d, const JointFilter& filter, const QString& j,
                   const QString& v, QVariantList& values) {
    QStringList where{QStringLiteral("1 = 1")};
    QVariantList own;
    if (!filter.job.isEmpty())
        where << d.Contains(j, v, QStringLiteral("job_fold"), filter.job.toCaseFolded(), own);
    if (!filter.search.isEmpty())
        where << d.Contains(j, v, QStringLiteral("search_fold"), filter.search.toCaseFolded(), own);
    if (filter.since.isValid()) {
        where << j + QStringLiteral(".date_time >= ?");
        own << filter.since.toString(Qt::ISODate);
    }
    if (filter.until.isValid()) {
        where << j + QStringLiteral(".date_time < ?");
        own << filter.until.addDays(1).toString(Qt::ISODate);
    }
    if (filter.since.isValid() || filter.until.isValid()) {
        // A joint whose time is no date is in no range.
        where << j + QStringLiteral(".date_time LIKE '____-__-__ %'");
    }
    // A current verdict is the one kept; one not current may be any.
    const QString verdict =
        filter.verdict == QLatin1String("not judged") ? QStringLiteral("unknown") : filter.verdict;
    if (!verdict.isEmpty() && verdict != QLatin1String("not-current") &&
        verdict != QLatin1String("not current")) {
        where << v + QStringLiteral(".verdict = ?");
        own << verdict;
    }
    if (filter.newest <= 0) {
        values << own;
        return where.join(QStringLiteral(" AND "));
    }
    // The newest joints that pass: read first, so that a window shows them
    // at once.
    values << own << filter.newest;
    return QStringLiteral("%1.id IN (SELECT %1.id FROM joints %1 JOIN versions %2 ON %2.id = "
                          "%1.current_version_id WHERE %3 ORDER BY %1.date_time DESC, "
                          "%1.joint_number DESC, %1.machine_key DESC, %1.id DESC LIMIT ?)")
        .arg(j, v, where.join(QStringLiteral(" AND ")));
}

bool Filtered(const JointFilter& f) {
    return !f.job.isEmpty() || !f.search.isEmpty() || f.since.isValid() || f.until.isValid() ||
           !f.verdict.isEmpty() || f.newest > 0;
}
} // namespace

std::optional<std::vector<JointRow>> CLibraryStore::Joints(const JointFilter& filter) {
    // One snapshot for every query, each read to its end and the
    // transaction ended before returning: an open one would pin an old
    // state of the index.
    if (!Begin())
        return std::nullopt;
    for (const QString& s : m_dialect.SnapshotReads())
        if (!Exec(s)) {
            Rollback();
            return std::nullopt;
        }
    std::optional<std::vector<JointRow>> rows = ReadJoints(filter);
    Rollback();
    return rows;
}

std::optional<std::vector<JointRow>> CLibraryStore::ReadJoints(const JointFilter& filter) {
    std::vector<JointRow> rows;
    QHash<qint64, size_t> rowOf;
    CTextPool pool;
    const bool filtered = Filtered(filter);
    // Room for every row at once: a vector that grows as a large table is
    // read holds it twice while it moves.
    if (filter.newest > 0) {
        rows.reserve(size_t(filter.newest));
    } else if (!filtered) {
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("SELECT (SELECT count(*) FROM joints) + (SELECT count(*) FROM "
                                  "files WHERE version_id IS NULL)")) &&
            q.next())
            rows.reserve(size_t(q.value(0).toLongLong()));
    }
    // A file's root as this desk sees it: a named root's place is this
    // desk's mapping, any other's this host's state of it.
    const auto place = [this](const QSqlQuery& q, int rootId, int kind, int hostPath, int hostText,
                              int key, int reachable, int missing, int away, JointFile& file,
                              const QByteArray& rel, const QString& relText) {
        const bool named = q.value(kind).toString() == QLatin1String("named");
        const auto desk = named ? m_desk.constFind(q.value(rootId).toLongLong()) : m_desk.cend();
        bool here = false;
        if (named) {
            const bool mapped = desk != m_desk.cend() && !desk->path.isEmpty();
            if (mapped) {
                file.base = desk->path;
                file.path = desk->path + '/' + rel;
            }
            file.display = FullText(
                mapped ? desk->pathText : q.value(key).toString() + QLatin1Char(':'), relText);
            here = desk != m_desk.cend() && desk->reachable;
        } else {
            const bool known = !q.value(hostText).isNull();
            if (known)
                file.path = q.value(hostPath).toByteArray() + '/' + rel;
            file.display =
                FullText(known ? q.value(hostText).toString() : q.value(key).toString(), relText);
            here = q.value(reachable).toBool();
        }
        const bool gone = q.value(missing).toBool();
        file.status = gone                              ? QStringLiteral("missing")
                      : here && !q.value(away).toBool() ? QStringLiteral("present")
                                                        : QStringLiteral("offline");
    };
    {
        // A joint is present when one of its files is, in a root that is
        // here; offline when none is but one lies in a root that is away
        // (or was not seen while its root is suspect); missing otherwise.
        QVariantList values{m_host};
        QString here = HereCondition(values);
        const QString present =
            m_dialect.CountIf(here + QStringLiteral(" AND f.away = 0 AND f.missing = 0"));
        here = HereCondition(values);
        const QString offline =
            m_dialect.CountIf(QStringLiteral("(NOT %1 OR f.away = 1) AND f.missing = 0").arg(here));
        here = HereCondition(values);
        const QString seen = m_dialect.CountIf(
            here + QStringLiteral(" AND f.away = 0 AND f.missing = 0 AND f.gone_since IS NULL"));
        QString only;
        if (filtered)
            only = QStringLiteral("WHERE fv.joint_id IN (SELECT j2.id FROM joints j2 JOIN versions "
                                  "v2 ON v2.id = j2.current_version_id WHERE %1) ")
                       .arg(Conditions(m_dialect, filter, QStringLiteral("j2"),
                                       QStringLiteral("v2"), values));
        QString where =
            Conditions(m_dialect, filter, QStringLiteral("j"), QStringLiteral("v"), values);
        if (filter.status == QLatin1String("present"))
            where += QStringLiteral(" AND s.present > 0");
        else if (filter.status == QLatin1String("offline"))
            where += QStringLiteral(" AND s.present = 0 AND s.offline > 0");
        else if (filter.status == QLatin1String("missing"))
            where += QStringLiteral(" AND s.present = 0 AND s.offline = 0");
        else if (filter.status == QLatin1String("unreadable"))
            where += QStringLiteral(" AND 1 = 0");
        const QString sql =
            QStringLiteral(
                "SELECT j.id, s.present, s.offline, s.seen, s.gone, s.versions, j.date_time, "
                "j.joint_number, j.machine_id, j.machine_key, v.sha256, v.job, v.employee, "
                "v.model, v.material, v.size_text, v.heater_temp, v.samples, v.duration, "
                "v.max_pressure, v.press_unit, v.demo, v.notes, v.cut, v.verdict, "
                "v.procedure_name, v.procedure_hash, v.check_version, v.job_key, v.employee_key, "
                "v.model_key, v.material_key, v.size_key, v.heater_key, v.notes_key, "
                "v.machine_entry "
                "FROM joints j JOIN versions v ON v.id = j.current_version_id JOIN ("
                "SELECT fv.joint_id, %1 AS present, %2 AS offline, %3 AS seen, min(f.gone_since) "
                "AS gone, count(DISTINCT fv.id) AS versions FROM versions fv JOIN files f ON "
                "f.version_id = fv.id JOIN roots r ON r.id = f.root_id LEFT JOIN root_hosts h ON "
                "h.root_id = f.root_id AND h.host = ? %4GROUP BY fv.joint_id) s ON s.joint_id = "
                "j.id WHERE %5 ORDER BY j.date_time, j.joint_number, j.machine_key, j.id")
                .arg(present, offline, seen, only, where);
        // The host is bound after the three conditions' lists.
        values.move(0, 3);
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!::Run(q, sql, values)) {
            FailQuery(QStringLiteral("joints"), q.lastError());
            return std::nullopt;
        }
        while (q.next()) {
            JointRow row;
            row.id = q.value(0).toLongLong();
            const int presentCount = q.value(1).toInt();
            const int offlineCount = q.value(2).toInt();
            row.status = presentCount > 0   ? QStringLiteral("present")
                         : offlineCount > 0 ? QStringLiteral("offline")
                                            : QStringLiteral("missing");
            if (q.value(3).toInt() == 0)
                row.missingSince = q.value(4).toLongLong();
            row.versions = q.value(5).toInt();
            JointFields& f = row.fields;
            f.dateTime = q.value(6).toString();
            f.jointNumber = q.value(7).toInt();
            f.machineId = pool(q.value(8));
            row.keys.machine = pool(q.value(9));
            row.sha256 = q.value(10).toByteArray();
            f.job = pool(q.value(11));
            f.employee = pool(q.value(12));
            f.model = pool(q.value(13));
            f.material = pool(q.value(14));
            f.sizeText = pool(q.value(15));
            f.heaterTemp = pool(q.value(16));
            f.samples = q.value(17).toInt();
            f.durationSeconds = q.value(18).toDouble();
            f.maxPressurePsi = q.value(19).toInt();
            f.pressUnit = pool(q.value(20));
            f.demo = q.value(21).toBool();
            f.notes = q.value(22).toString();
            f.cut = q.value(23).toBool();
            f.verdict = pool(q.value(24));
            f.procedureName = pool(q.value(25));
            f.procedureHash = pool(q.value(26));
            f.checkVersion = pool(q.value(27));
            row.keys.job = pool(q.value(28));
            row.keys.employee = pool(q.value(29));
            row.keys.model = pool(q.value(30));
            row.keys.material = pool(q.value(31));
            row.keys.size = pool(q.value(32));
            row.keys.heater = pool(q.value(33));
            row.keys.notes = q.value(34).toString();
            f.machineEntry = pool(q.value(35));
            rowOf.insert(row.id, rows.size());
            rows.push_back(std::move(row));
        }
    }
    {
        QVariantList values{m_host};
        const QString where =
            Conditions(m_dialect, filter, QStringLiteral("j"), QStringLiteral("v"), values);
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!::Run(q,
                   QStringLiteral(
                       "SELECT fv.joint_id, f.id, f.root_id, r.kind, h.path, f.relpath, "
                       "h.path_text, f.relpath_text, r.key, fv.sha256, fv.id = "
                       "j.current_version_id, h.reachable, f.missing, f.away FROM files f JOIN "
                       "versions fv ON fv.id = f.version_id JOIN joints j ON j.id = fv.joint_id "
                       "JOIN versions v ON v.id = j.current_version_id JOIN roots r ON r.id = "
                       "f.root_id LEFT JOIN root_hosts h ON h.root_id = f.root_id AND h.host = ? "
                       "WHERE %1")
                       .arg(where),
                   values)) {
            FailQuery(QStringLiteral("files"), q.lastError());
            return std::nullopt;
        }
        while (q.next()) {
            const auto at = rowOf.constFind(q.value(0).toLongLong());
            if (at == rowOf.cend())
                continue;
            JointFile file;
            file.id = q.value(1).toLongLong();
            place(q, 2, 3, 4, 6, 8, 11, 12, 13, file, q.value(5).toByteArray(),
                  q.value(7).toString());
            file.sha256 = q.value(9).toByteArray();
            file.current = q.value(10).toBool();
            if (file.sha256 == rows[*at].sha256)
                file.sha256 = rows[*at].sha256;
            rows[*at].copies.push_back(std::move(file));
        }
    }
    for (JointRow& row : rows) {
        // The current version's copies first, present ones before others,
        // each group by path.
        std::sort(row.copies.begin(), row.copies.end(), [](const JointFile& a, const JointFile& b) {
            const bool ap = a.status == QLatin1String("present");
            const bool bp = b.status == QLatin1String("present");
            if (a.current != b.current)
                return a.current;
            if (ap != bp)
                return ap;
            return a.display < b.display;
        });
        for (const JointFile& f : row.copies)
            row.files << f.display;
        row.files.sort();
    }
    // Files that are no report have no fields: a filter on any keeps none.
    if (filtered)
        return rows;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral(
                   "SELECT f.id, f.root_id, r.kind, h.path, f.relpath, h.path_text, "
                   "f.relpath_text, r.key, f.reason, h.reachable, f.missing, f.away, "
                   "f.gone_since FROM files f JOIN roots r ON r.id = f.root_id LEFT JOIN "
                   "root_hosts h ON h.root_id = f.root_id AND h.host = CASE WHEN r.kind = "
                   "'named' THEN '' ELSE ? END WHERE f.version_id IS NULL ORDER BY h.path_text, "
                   "f.relpath_text"),
               {m_host})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    while (q.next()) {
        JointRow row;
        row.id = -q.value(0).toLongLong();
        JointFile file;
        file.id = q.value(0).toLongLong();
        place(q, 1, 2, 3, 5, 7, 9, 10, 11, file, q.value(4).toByteArray(), q.value(6).toString());
        row.status =
            file.status == QLatin1String("present") ? QStringLiteral("unreadable") : file.status;
        row.reason = q.value(8).toString();
        row.missingSince = q.value(12).toLongLong();
        row.files << file.display;
        row.copies.push_back(std::move(file));
        row.versions = 0;
        if (filter.status == QLatin1String("all") || filter.status.isEmpty() ||
            filter.status == row.status)
            rows.push_back(std::move(row));
    }
    const auto reviews = CurrentReviews();
    if (!reviews)
        return std::nullopt;
    QHash<QString, const JointReview*> reviewOf;
    const auto key = [](const QString& machine, const QString& dateTime, int number) {
        return machine + QChar(0) + dateTime + QChar(0) + QString::number(number);
    };
    for (const JointReview& r : *reviews)
        reviewOf.insert(key(r.machineId, r.dateTime, r.jointNumber), &r);
    for (JointRow& row : rows)
        if (const JointReview* r = reviewOf.value(
                key(row.fields.machineId, row.fields.dateTime, row.fields.jointNumber));
            r && row.id > 0)
            row.SetReview(*r);
    return rows;
}

std::optional<QHash<qint64, RootJoints>> CLibraryStore::JointsPerRoot() {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!::Run(q,
               QStringLiteral("SELECT f.root_id, count(DISTINCT v.joint_id), count(DISTINCT CASE "
                              "WHEN f.missing = 0 AND f.away = 0 THEN v.joint_id END) FROM files "
                              "f JOIN versions v ON v.id = f.version_id GROUP BY f.root_id"),
               {})) {
        FailQuery(QStringLiteral("files"), q.lastError());
        return std::nullopt;
    }
    QHash<qint64, RootJoints> counts;
    while (q.next())
        counts.insert(q.value(0).toLongLong(), {q.value(1).toInt(), q.value(2).toInt()});
    return counts;
}
