#include "LibraryMaker.h"

#include "check/Procedure.h"
#include "check/ProcedureCheck.h"
#include "library/LibraryStore.h"
#include "library/PostgresIndex.h"
#include "library/SortKey.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUrl>
#include <cstdio>

const QString& BenchFolder() {
    static const QString folder = QStringLiteral("/tmp/vtq-library-bench");
    return folder;
}

CBenchServer::~CBenchServer() {
    if (!m_socket.isEmpty())
        QProcess::execute(QStringLiteral(VTQ_PG_TEST_SERVER),
                          {QStringLiteral("stop"), BenchFolder() + QStringLiteral("/pg")});
}

QString CBenchServer::Database(const QString& name) {
    if (m_socket.isEmpty()) {
        QProcess start;
        start.start(QStringLiteral(VTQ_PG_TEST_SERVER),
                    {QStringLiteral("start"), BenchFolder() + QStringLiteral("/pg")});
        start.waitForFinished(60000);
        m_socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
    }
    if (m_socket.isEmpty())
        return QString();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
    db.setHostName(m_socket);
    db.setUserName(QStringLiteral("vtq"));
    db.setDatabaseName(QStringLiteral("postgres"));
    bool ok = db.open();
    QSqlQuery q(db);
    // The test server runs without fsync; an office's server does not.
    ok = ok && q.exec(QStringLiteral("ALTER SYSTEM SET fsync = on")) &&
         q.exec(QStringLiteral("SELECT pg_reload_conf()")) &&
         q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)) &&
         q.exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    return ok ? QStringLiteral("postgresql://vtq@%1/%2")
                    .arg(QString::fromLatin1(QUrl::toPercentEncoding(m_socket)), name)
              : QString();
}

CBenchServer& BenchServer() {
    static CBenchServer server;
    return server;
}

namespace {
// A job is a hundred joints made one after another.
constexpr int kJointsPerJob = 100;

QString Literal(QString text) {
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString KeyLiteral(const QString& text) {
    return Literal(TextSortKey(text));
}

// A text chosen by i modulo the number of texts, with its sort key, as an
// SQL CASE over `i`.
QString Pick(const QStringList& texts, bool key) {
    QString sql = QStringLiteral("CASE i % %1").arg(texts.size());
    for (qsizetype k = 0; k < texts.size(); ++k)
        sql += QStringLiteral(" WHEN %1 THEN %2")
                   .arg(k)
                   .arg(key ? KeyLiteral(texts[k]) : Literal(texts[k]));
    return sql + QStringLiteral(" END");
}

bool FillRows(QSqlDatabase& db, bool server, int joints, QString& error) {
    QSqlQuery q(db);
    const auto run = [&](const QString& sql) {
        if (q.exec(sql))
            return true;
        error = sql.left(60) + QStringLiteral(": ") + q.lastError().text();
        return false;
    };
    // Lookup tables of the jobs, employees and machines with their sort
    // keys as the program makes them.
    const struct {
        const char* table;
        const char* prefix;
        int count;
    } lookups[] = {{"bench_jobs", "J-", joints / kJointsPerJob + 1},
                   {"bench_people", "E-", 37},
                   {"bench_machines", "M-", 40}};
    for (const auto& l : lookups) {
        if (!run(QStringLiteral("CREATE TEMPORARY TABLE %1(n INTEGER PRIMARY KEY, name TEXT NOT "
                                "NULL, name_key TEXT NOT NULL)")
                     .arg(QLatin1String(l.table))))
            return false;
        QString values;
        for (int k = 0; k < l.count; ++k) {
            const QString name = QLatin1String(l.prefix) + QString::number(k);
            values += QStringLiteral("%1(%2, %3, %4)")
                          .arg(k == 0 ? QString() : QStringLiteral(", "))
                          .arg(k)
                          .arg(Literal(name), KeyLiteral(name));
        }
        if (!run(QStringLiteral("INSERT INTO %1 VALUES %2").arg(QLatin1String(l.table), values)))
            return false;
    }
    const QString bytes =
        server ? QStringLiteral("convert_to(%1, 'UTF8')") : QStringLiteral("CAST(%1 AS BLOB)");
    const QString time = server ? QStringLiteral("to_char(to_timestamp(1577836800 + i * 180) AT "
                                                 "TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')")
                                : QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', 1577836800 + i * "
                                                 "180, 'unixepoch')");
    const QString rows = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                        "FROM n WHERE i < %1) ")
                             .arg(joints);
    const QString join = QStringLiteral(" FROM n JOIN bench_jobs jb ON jb.n = i / %1 JOIN "
                                        "bench_people pe ON pe.n = i % 37 JOIN bench_machines ma "
                                        "ON ma.n = i % 40")
                             .arg(kJointsPerJob);
    // One sidewall joint in 200 (not judged), then fails and incompletes.
    const QStringList models{QStringLiteral("Tarvex 28")};
    const QString model = QStringLiteral("CASE WHEN i % 200 = 0 THEN %1 ELSE %2 END");
    const QString verdict =
        QStringLiteral("CASE WHEN i % 200 = 0 THEN 'unknown' WHEN i % 23 = 0 THEN 'fail' WHEN i "
                       "% 41 = 0 THEN 'incomplete' ELSE 'pass' END");
    const QStringList notes{QStringLiteral("bead rolled unevenly, faced again"),
                            QString(),
                            QString(),
                            QString(),
                            QString(),
                            QStringLiteral("cold wind, heater shielded"),
                            QString(),
                            QString(),
                            QString(),
                            QString()};
    const Procedure& procedure = DefaultProcedure();
    const QString relpath = QStringLiteral("jb.name || '/joint ' || CAST(i AS TEXT) || '.kjr'");
    return run(QStringLiteral("INSERT INTO roots(id, kind, key, source, added_at) VALUES(1, "
                              "'path', '/bench', '/bench', 0)")) &&
           run(QStringLiteral("INSERT INTO root_hosts(root_id, host, path, path_text, reachable) "
                              "VALUES(1, %1, %2, '/bench', 1)")
                   .arg(Literal(QSysInfo::machineHostName()),
                        bytes.arg(QStringLiteral("'/bench'")))) &&
           run(rows +
               QStringLiteral("INSERT INTO joints(id, machine_id, date_time, "
                              "joint_number, machine_key, current_version_id) SELECT i, "
                              "ma.name, %1, i / 40 + 1, ma.name_key, i")
                   .arg(time) +
               join) &&
           run(rows +
               QStringLiteral(
                   "INSERT INTO versions(id, sha256, joint_id, size, job, employee, model, "
                   "material, size_text, heater_temp, samples, duration, max_pressure, "
                   "press_unit, demo, notes, verdict, procedure_name, procedure_hash, "
                   "check_version, job_key, employee_key, model_key, material_key, size_key, "
                   "heater_key, notes_key, job_fold, search_fold, first_seen) SELECT i, %1, i, "
                   "1000, jb.name, pe.name, %2, 'PE 4710', '8 in DR11', '450 F', 3000, 600, 300, "
                   "'psi', 0, %3, %4, %5, %6, %7, jb.name_key, pe.name_key, %8, %9, %10, %11, "
                   "%12, lower(jb.name), lower(jb.name || ' ' || pe.name || ' ' || ma.name || ' ' "
                   "|| %3), 0")
                   .arg(bytes.arg(QStringLiteral("'v' || CAST(i AS TEXT)")),
                        model.arg(Literal(models[0]), Literal(QStringLiteral("Rhino 412"))),
                        Pick(notes, false), verdict, Literal(procedure.name),
                        Literal(QString::fromLatin1(procedure.sha256)),
                        Literal(QString::number(kCheckVersion)),
                        model.arg(KeyLiteral(models[0]), KeyLiteral(QStringLiteral("Rhino 412"))),
                        KeyLiteral(QStringLiteral("PE 4710")))
                   .arg(KeyLiteral(QStringLiteral("8 in DR11")),
                        KeyLiteral(QStringLiteral("450 F")), Pick(notes, true)) +
               join) &&
           run(rows +
               QStringLiteral("INSERT INTO files(root_id, relpath, relpath_key, "
                              "relpath_text, size, mtime_ms, version_id) SELECT 1, %1, %1, "
                              "%2, 1000, 0, i")
                   .arg(bytes.arg(relpath), relpath) +
               join);
}
} // namespace

bool FillLibrary(const QString& target, int joints, QString& error) {
    const LibraryLocation location = ParseLibraryLocation(target);
    if (!location.server)
        for (const char* side : {"", "-wal", "-shm"})
            QFile::remove(target + QLatin1String(side));
    {
        CLibraryStore store(target);
        if (store.Init(false) != CLibraryStore::OpenResult::Ok) {
            error = store.Message();
            return false;
        }
    }
    QSqlDatabase db;
    if (location.server) {
        if (!ConnectServer(db, QStringLiteral("fill"), location, false, QStringLiteral("bench"),
                           error))
            return false;
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(target);
        db.open();
    }
    bool ok = db.transaction() && FillRows(db, location.server, joints, error) && db.commit();
    if (ok) {
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("ANALYZE"));
        if (!ok)
            error = q.lastError().text();
    } else if (error.isEmpty()) {
        error = db.lastError().text();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

QString KeptLibrary(const QString& path, int joints) {
    const QString marker = path + QStringLiteral(".complete");
    QFile made(marker);
    // The joints, and the version of what FillLibrary makes.
    const QByteArray stamp = QByteArray::number(joints) + " 2";
    if (made.open(QIODevice::ReadOnly) && made.readAll().trimmed() == stamp) {
        // One made by an older program is brought up to date as a writer
        // would, not made again.
        CLibraryStore::OpenResult opened = CLibraryStore(path).Open(CLibraryStore::Mode::Read);
        if (opened == CLibraryStore::OpenResult::Older) {
            QElapsedTimer clock;
            clock.start();
            CLibraryStore writer(path, 5000);
            if (writer.Open(CLibraryStore::Mode::Write) == CLibraryStore::OpenResult::Ok)
                opened = CLibraryStore::OpenResult::Ok;
            fprintf(stderr, "%s: brought up to date in %.1f s\n", qPrintable(path),
                    double(clock.elapsed()) / 1000.0);
        }
        if (opened == CLibraryStore::OpenResult::Ok)
            return path;
    }
    made.close();
    QFile::remove(marker);
    QString error;
    if (!FillLibrary(path, joints, error)) {
        fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
        return QString();
    }
    if (!made.open(QIODevice::WriteOnly) || made.write(stamp) < 0)
        return QString();
    return path;
}

QString Library100k(bool server) {
    constexpr int kJoints = 100000;
    if (!server)
        return KeptLibrary(QStringLiteral(VTQ_BENCH_KEEP "/library-100k.sqlite"), kJoints);
    static QString made;
    if (made.isEmpty()) {
        const QString target = BenchServer().Database(QStringLiteral("bench_100k"));
        QString error;
        if (!target.isEmpty() && FillLibrary(target, kJoints, error))
            made = target;
        else if (!error.isEmpty())
            fprintf(stderr, "%s\n", qPrintable(error));
    }
    return made;
}

namespace {
long StatusKb(const char* name) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').value(0).toLong();
    return 0;
}
} // namespace

long RssKb() {
    return StatusKb("VmRSS:");
}

long PeakRssKb() {
    return StatusKb("VmHWM:");
}

void ResetPeakRss() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}
