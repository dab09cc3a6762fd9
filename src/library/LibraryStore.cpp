#include "library/LibraryStore.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {
QAtomicInteger<int> g_connections;

// Schema steps in order: step i brings version i to i + 1. A step is never
// changed once released; a new one is added instead.
const char* const kMigrations[] = {
    "CREATE TABLE roots("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL UNIQUE,"
    " reachable INTEGER NOT NULL DEFAULT 1,"
    " mounted INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE reports("
    " id INTEGER PRIMARY KEY,"
    " sha256 BLOB NOT NULL UNIQUE,"
    " size INTEGER NOT NULL,"
    " date_time TEXT NOT NULL, joint_number INTEGER NOT NULL, job TEXT NOT NULL,"
    " employee TEXT NOT NULL, machine_id TEXT NOT NULL, model TEXT NOT NULL,"
    " material TEXT NOT NULL, size_text TEXT NOT NULL, heater_temp TEXT NOT NULL,"
    " samples INTEGER NOT NULL, duration REAL NOT NULL, max_pressure INTEGER NOT NULL,"
    " press_unit TEXT NOT NULL, demo INTEGER NOT NULL, notes TEXT NOT NULL,"
    " verdict TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE files("
    " id INTEGER PRIMARY KEY,"
    " root_id INTEGER NOT NULL REFERENCES roots(id) ON DELETE CASCADE,"
    " relpath TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " mtime_ms INTEGER NOT NULL,"
    " report_id INTEGER REFERENCES reports(id),"
    " missing INTEGER NOT NULL DEFAULT 0,"
    " reason TEXT NOT NULL DEFAULT '',"
    " UNIQUE(root_id, relpath));"
    "CREATE INDEX files_report ON files(report_id);",
    // Version 2 judges every joint by the procedure check. Unchanged files
    // are not read again, so every report's file is made to look changed
    // once; files that could not be read stay as they were.
    "UPDATE files SET size = -1 WHERE report_id IS NOT NULL;",
};
constexpr int kSteps = int(std::size(kMigrations));
static_assert(kSteps == CLibraryStore::kSchemaVersion);

// Text columns are NOT NULL; Qt binds a null QString as NULL.
QString Text(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

int IntOf(QSqlQuery& q, const QString& sql, bool* ok) {
    *ok = q.exec(sql) && q.next();
    const int v = *ok ? q.value(0).toInt() : 0;
    q.finish();
    return v;
}
} // namespace

QString DefaultLibraryDatabase() {
    const QByteArray env = qgetenv("VTQ_LIBRARY_DB");
    if (!env.isEmpty())
        return QFile::decodeName(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kelvorn/Kelvorn Joint Reports/library.sqlite");
}

CLibraryStore::CLibraryStore(QString path, int busyMs)
    : m_path(std::move(path)),
      m_name(QStringLiteral("vtq-library-%1").arg(g_connections.fetchAndAddRelaxed(1))),
      m_nBusyMs(busyMs) {}

CLibraryStore::~CLibraryStore() {
    CloseConnection();
}

bool CLibraryStore::OpenConnection() {
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_nBusyMs));
    return m_db.open();
}

void CLibraryStore::CloseConnection() {
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool CLibraryStore::Exec(const QString& sql) {
    QSqlQuery q(m_db);
    return q.exec(sql);
}

// The file is renamed, never deleted: it may be all someone has of an index
// they care about, and the reports can always be scanned again.
bool CLibraryStore::SetAside(const QString& why) {
    CloseConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".damaged-") + stamp + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(m_path, aside)) {
        m_message =
            QStringLiteral("The library index %1 is %2 and cannot be set aside.").arg(m_path, why);
        return false;
    }
    for (const char* side : {"-wal", "-shm"})
        if (QFileInfo::exists(m_path + QLatin1String(side)))
            QFile::rename(m_path + QLatin1String(side), aside + QLatin1String(side));
    m_message = QStringLiteral("The library index was %1; it was set aside as %2 and is built "
                               "again from the reports.")
                    .arg(why, aside);
    return true;
}

bool CLibraryStore::Migrate(int from) {
    for (int v = from; v < kSteps; ++v) {
        if (!Begin())
            return false;
        bool ok = true;
        for (const QString& stmt :
             QString::fromLatin1(kMigrations[v]).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            ok = ok && Exec(stmt);
        ok = ok && Exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)) &&
             Exec(QStringLiteral("PRAGMA user_version = %1").arg(v + 1));
        if (!ok || !Commit()) {
            Rollback();
            return false;
        }
    }
    return true;
}

CLibraryStore::OpenResult CLibraryStore::Open() {
    m_message.clear();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    bool rebuilt = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!OpenConnection()) {
            m_message = QStringLiteral("The library index %1 cannot be opened: %2")
                            .arg(m_path, m_db.lastError().text());
            CloseConnection();
            return OpenResult::Failed;
        }
        QSqlQuery q(m_db);
        // A file that is not a database fails its first statement.
        const bool checked = q.exec(QStringLiteral("PRAGMA quick_check")) && q.next();
        const bool sound = checked && q.value(0).toString() == QLatin1String("ok");
        q.finish();
        bool ok = false;
        const int version = sound ? IntOf(q, QStringLiteral("PRAGMA user_version"), &ok) : 0;
        const int appId = ok ? IntOf(q, QStringLiteral("PRAGMA application_id"), &ok) : 0;
        const int tables =
            ok ? IntOf(q, QStringLiteral("SELECT count(*) FROM sqlite_master"), &ok) : 0;
        QString why;
        if (!sound || !ok)
            why = QStringLiteral("damaged");
        else if (appId != kApplicationId && (version != 0 || tables != 0))
            why = QStringLiteral("not a library index");
        if (!why.isEmpty()) {
            if (attempt > 0 || !SetAside(why))
                return OpenResult::Failed;
            rebuilt = true;
            continue;
        }
        if (version > kSchemaVersion) {
            m_message = QStringLiteral("The library index %1 was made by a newer program "
                                       "(version %2; this one reads up to %3) and is left as "
                                       "it is.")
                            .arg(m_path)
                            .arg(version)
                            .arg(kSchemaVersion);
            CloseConnection();
            return OpenResult::TooNew;
        }
        // WAL lets the window read while the scanner writes; NORMAL is safe
        // with WAL and loses at most the last commit on power loss.
        if (!Exec(QStringLiteral("PRAGMA journal_mode = WAL")) ||
            !Exec(QStringLiteral("PRAGMA synchronous = NORMAL")) ||
            !Exec(QStringLiteral("PRAGMA foreign_keys = ON")) || !Migrate(version)) {
            m_message = QStringLiteral("The library index %1 cannot be prepared: %2")
                            .arg(m_path, m_db.lastError().text());
            CloseConnection();
            return OpenResult::Failed;
        }
        return rebuilt ? OpenResult::Rebuilt : OpenResult::Ok;
    }
    return OpenResult::Failed;
}

bool CLibraryStore::Begin() {
    return m_db.transaction();
}
bool CLibraryStore::Commit() {
    return m_db.commit();
}
void CLibraryStore::Rollback() {
    m_db.rollback();
}

qint64 CLibraryStore::AddRoot(const QString& path) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO roots(path) VALUES(?) ON CONFLICT(path) DO UPDATE SET "
                             "path = excluded.path RETURNING id"));
    q.addBindValue(path);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

std::vector<LibraryRoot> CLibraryStore::Roots() {
    std::vector<LibraryRoot> roots;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT id, path, reachable, mounted FROM roots ORDER BY id")))
        return roots;
    while (q.next())
        roots.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toBool(),
                         q.value(3).toBool()});
    return roots;
}

bool CLibraryStore::SetRootState(qint64 rootId, bool reachable, bool mounted) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE roots SET reachable = ?, mounted = ? WHERE id = ?"));
    q.addBindValue(reachable ? 1 : 0);
    q.addBindValue(mounted ? 1 : 0);
    q.addBindValue(rootId);
    return q.exec();
}

bool CLibraryStore::RemoveRoot(const QString& path) {
    if (!Begin())
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM roots WHERE path = ?"));
    q.addBindValue(path);
    if (!q.exec() || !DropOrphanReports() || !Commit()) {
        Rollback();
        return false;
    }
    return true;
}

QHash<QString, IndexedFile> CLibraryStore::FilesOfRoot(qint64 rootId) {
    QHash<QString, IndexedFile> files;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT relpath, id, size, mtime_ms, report_id, missing FROM files "
                             "WHERE root_id = ?"));
    q.addBindValue(rootId);
    if (!q.exec())
        return files;
    while (q.next())
        files.insert(q.value(0).toString(),
                     {q.value(1).toLongLong(), q.value(2).toLongLong(), q.value(3).toLongLong(),
                      q.value(4).isNull() ? 0 : q.value(4).toLongLong(), q.value(5).toBool()});
    return files;
}

bool CLibraryStore::PutFile(qint64 rootId, const QString& relPath, qint64 size, qint64 mtimeMs,
                            qint64 reportId, const QString& reason) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "INSERT INTO files(root_id, relpath, size, mtime_ms, report_id, missing, reason) "
        "VALUES(?, ?, ?, ?, ?, 0, ?) ON CONFLICT(root_id, relpath) DO UPDATE SET "
        "size = excluded.size, mtime_ms = excluded.mtime_ms, report_id = excluded.report_id, "
        "missing = 0, reason = excluded.reason"));
    q.addBindValue(rootId);
    q.addBindValue(relPath);
    q.addBindValue(size);
    q.addBindValue(mtimeMs);
    q.addBindValue(reportId > 0 ? QVariant(reportId) : QVariant(QMetaType(QMetaType::LongLong)));
    q.addBindValue(Text(reason));
    return q.exec();
}

bool CLibraryStore::SetFileMissing(qint64 fileId, bool missing) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE files SET missing = ? WHERE id = ?"));
    q.addBindValue(missing ? 1 : 0);
    q.addBindValue(fileId);
    return q.exec();
}

qint64 CLibraryStore::PutReport(const QByteArray& sha256, qint64 size, const JointFields& f) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "INSERT INTO reports(sha256, size, date_time, joint_number, job, employee, machine_id, "
        "model, material, size_text, heater_temp, samples, duration, max_pressure, press_unit, "
        "demo, notes, verdict) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        // A report read again replaces what the index kept of it: a newer
        // program may know more of the same bytes (the check's verdict).
        "ON CONFLICT(sha256) DO UPDATE SET date_time = excluded.date_time, "
        "joint_number = excluded.joint_number, job = excluded.job, "
        "employee = excluded.employee, machine_id = excluded.machine_id, "
        "model = excluded.model, material = excluded.material, "
        "size_text = excluded.size_text, heater_temp = excluded.heater_temp, "
        "samples = excluded.samples, duration = excluded.duration, "
        "max_pressure = excluded.max_pressure, press_unit = excluded.press_unit, "
        "demo = excluded.demo, notes = excluded.notes, verdict = excluded.verdict "
        "RETURNING id"));
    for (const QVariant& v :
         {QVariant(sha256), QVariant(size), QVariant(Text(f.dateTime)), QVariant(f.jointNumber),
          QVariant(Text(f.job)), QVariant(Text(f.employee)), QVariant(Text(f.machineId)),
          QVariant(Text(f.model)), QVariant(Text(f.material)), QVariant(Text(f.sizeText)),
          QVariant(Text(f.heaterTemp)), QVariant(f.samples), QVariant(f.durationSeconds),
          QVariant(f.maxPressurePsi), QVariant(Text(f.pressUnit)), QVariant(f.demo ? 1 : 0),
          QVariant(Text(f.notes)), QVariant(Text(f.verdict))})
        q.addBindValue(v);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

bool CLibraryStore::DropOrphanReports() {
    return Exec(QStringLiteral("DELETE FROM reports WHERE id NOT IN "
                               "(SELECT report_id FROM files WHERE report_id IS NOT NULL)"));
}

int CLibraryStore::ForgetMissing() {
    if (!Begin())
        return -1;
    QSqlQuery q(m_db);
    const bool ok = q.exec(QStringLiteral("DELETE FROM files WHERE missing = 1 AND root_id IN "
                                          "(SELECT id FROM roots WHERE reachable = 1)"));
    const int files = ok ? q.numRowsAffected() : 0;
    if (!ok || !DropOrphanReports() || !Commit()) {
        Rollback();
        return -1;
    }
    return files;
}

std::vector<JointRow> CLibraryStore::Joints() {
    std::vector<JointRow> rows;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // A joint is present when one of its files is; offline when none is but
    // one lies in a root that is away; missing otherwise.
    if (!q.exec(QStringLiteral(
            "SELECT r.id, CASE WHEN sum(f.missing = 0 AND ro.reachable = 1) > 0 THEN 'present' "
            "WHEN sum(ro.reachable = 0) > 0 THEN 'offline' ELSE 'missing' END, "
            "group_concat(ro.path || '/' || f.relpath, char(10)), '', "
            "r.date_time, r.joint_number, r.job, r.employee, r.machine_id, r.model, r.material, "
            "r.size_text, r.heater_temp, r.samples, r.duration, r.max_pressure, r.press_unit, "
            "r.demo, r.notes, r.verdict "
            "FROM reports r JOIN files f ON f.report_id = r.id JOIN roots ro ON ro.id = f.root_id "
            "GROUP BY r.id "
            "UNION ALL "
            "SELECT -f.id, CASE WHEN ro.reachable = 0 THEN 'offline' WHEN f.missing = 1 THEN "
            "'missing' ELSE 'unreadable' END, ro.path || '/' || f.relpath, f.reason, "
            "'', 0, '', '', '', '', '', '', '', 0, 0, 0, '', 0, '', '' "
            "FROM files f JOIN roots ro ON ro.id = f.root_id WHERE f.report_id IS NULL")))
        return rows;
    while (q.next()) {
        JointRow row;
        row.id = q.value(0).toLongLong();
        row.status = q.value(1).toString();
        row.files = q.value(2).toString().split(QLatin1Char('\n'));
        row.files.sort();
        row.reason = q.value(3).toString();
        JointFields& f = row.fields;
        f.dateTime = q.value(4).toString();
        f.jointNumber = q.value(5).toInt();
        f.job = q.value(6).toString();
        f.employee = q.value(7).toString();
        f.machineId = q.value(8).toString();
        f.model = q.value(9).toString();
        f.material = q.value(10).toString();
        f.sizeText = q.value(11).toString();
        f.heaterTemp = q.value(12).toString();
        f.samples = q.value(13).toInt();
        f.durationSeconds = q.value(14).toDouble();
        f.maxPressurePsi = q.value(15).toInt();
        f.pressUnit = q.value(16).toString();
        f.demo = q.value(17).toBool();
        f.notes = q.value(18).toString();
        f.verdict = q.value(19).toString();
        rows.push_back(std::move(row));
    }
    return rows;
}
