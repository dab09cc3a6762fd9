// The office's library: a cold scan of 10,000 reports into PostgreSQL, and
// on 100,000 joints (made with SQL, not files) `list` filtered by job from
// the program's start to its end, and the window from its making to its
// first rows painted, on both stores. The PostgreSQL server is a
// throw-away one (scripts/pg-test-server) on its socket, in
// /tmp/vtq-library-bench/pg, with fsync on, stopped when the benchmarks end.

#include "ReportMaker.h"

#include "library/LibraryJob.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"
#include "library/PostgresIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTableView>
#include <QUrl>
#include <benchmark/benchmark.h>

namespace {
constexpr int kJoints = 100000;
const QString kBench = QStringLiteral("/tmp/vtq-library-bench");
const QString kTree = kBench + QStringLiteral("/tree"); // LibraryBench.cpp makes it

// The server, started at the first benchmark that needs it.
class Server {
public:
    ~Server() {
        if (!m_socket.isEmpty())
            QProcess::execute(QStringLiteral(VTQ_PG_TEST_SERVER),
                              {QStringLiteral("stop"), kBench + QStringLiteral("/pg")});
    }
    // A new, empty database's URL; empty when there is no server.
    QString Database(const QString& name) {
        if (m_socket.isEmpty()) {
            QProcess start;
            start.start(QStringLiteral(VTQ_PG_TEST_SERVER),
                        {QStringLiteral("start"), kBench + QStringLiteral("/pg")});
            start.waitForFinished(60000);
            m_socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
        }
        if (m_socket.isEmpty())
            return QString();
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
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

private:
    QString m_socket;
};
Server& TheServer() {
    static Server server;
    return server;
}

// A library of 100,000 joints of 1,000 jobs in one folder, made with SQL;
// its database, or empty when it cannot be made.
QString Library(bool server) {
    static QString made[2];
    QString& database = made[server ? 1 : 0];
    if (!database.isEmpty())
        return database;
    const QString target = server ? TheServer().Database(QStringLiteral("bench_100k"))
                                  : kBench + QStringLiteral("/100k.sqlite");
    if (target.isEmpty())
        return QString();
    if (!server)
        for (const char* side : {"", "-wal", "-shm"})
            QFile::remove(target + QLatin1String(side));
    CLibraryStore store(target);
    if (store.Init(false) != CLibraryStore::OpenResult::Ok)
        return QString();
    QSqlDatabase db;
    QString error;
    const LibraryLocation location = ParseLibraryLocation(target);
    if (server) {
        if (!ConnectServer(db, QStringLiteral("fill"), location, false, QStringLiteral("bench"),
                           error))
            return QString();
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(target);
        db.open();
    }
    const QString bytes =
        server ? QStringLiteral("convert_to(%1, 'UTF8')") : QStringLiteral("CAST(%1 AS BLOB)");
    const QString rows = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                        "FROM n WHERE i < %1) ")
                             .arg(kJoints);
    const QString job = QStringLiteral("'J-' || CAST(i % 1000 AS TEXT)");
    bool ok = db.transaction();
    QSqlQuery q(db);
    for (const QString& s : QStringList{
             QStringLiteral("INSERT INTO roots(id, kind, key, source, added_at) VALUES(1, 'path', "
                            "'/bench', '/bench', 0)"),
             QStringLiteral("INSERT INTO root_hosts(root_id, host, path, path_text, reachable) "
                            "VALUES(1, '%1', %2, '/bench', 1)")
                 .arg(QSysInfo::machineHostName(), bytes.arg(QStringLiteral("'/bench'"))),
             rows + QStringLiteral("INSERT INTO joints(id, machine_id, date_time, joint_number, "
                                   "machine_key, current_version_id) SELECT i, 'M-' || CAST(i % "
                                   "40 AS TEXT), '2024-03-02 14:30:05', i, '', i FROM n"),
             rows + QStringLiteral("INSERT INTO versions(id, sha256, joint_id, size, job, "
                                   "employee, model, material, size_text, heater_temp, samples, "
                                   "duration, max_pressure, press_unit, demo, notes, verdict, "
                                   "job_key, job_fold, search_fold, first_seen) SELECT i, %1, i, "
                                   "1000, %2, 'E-' || CAST(i % 37 AS TEXT), 'Rhino 412', 'PE "
                                   "4710', '8 in DR11', '450 F', 3000, 600, 300, 'psi', 0, '', "
                                   "'pass', lower(%2), lower(%2), lower(%2), 0 FROM n")
                        .arg(bytes.arg(QStringLiteral("'v' || CAST(i AS TEXT)")), job),
             rows + QStringLiteral("INSERT INTO files(root_id, relpath, relpath_key, "
                                   "relpath_text, size, mtime_ms, version_id) SELECT 1, %1, %1, "
                                   "'f' || CAST(i AS TEXT) || '.kjr', 1000, 0, i FROM n")
                        .arg(bytes.arg(QStringLiteral("'f' || CAST(i AS TEXT) || '.kjr'")))})
        ok = ok && q.exec(s);
    if (!ok)
        fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
    ok = ok && db.commit() && q.exec(QStringLiteral("ANALYZE"));
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    if (ok)
        database = target;
    return database;
}

void BM_ServerColdScan(benchmark::State& state) {
    if (!QFile::exists(kTree + QStringLiteral("/.complete"))) {
        state.SkipWithError("no tree of reports: run BM_ColdScan first");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = TheServer().Database(QStringLiteral("bench_scan"));
        CLibraryStore made(database);
        const bool ready = !database.isEmpty() && made.Init(false) == CLibraryStore::OpenResult::Ok;
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("no PostgreSQL server for the benchmark");
            return;
        }
        LibraryJob job;
        job.database = database;
        job.scan = true;
        job.named = {{QStringLiteral("bench"), kTree}};
        const LibraryJobResult done = RunLibraryJob(job);
        if (done.summary.added.size() != 10000)
            state.SkipWithError("not every report was added");
    }
}
BENCHMARK(BM_ServerColdScan)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// `vtq-library list --job J-123` (100 of the 100,000 joints), from the
// program's start to its end.
void BM_ListByJob(benchmark::State& state) {
    const QString database = Library(state.range(0) == 1);
    if (database.isEmpty()) {
        state.SkipWithError("the library of 100,000 joints could not be made");
        return;
    }
    state.SetLabel(state.range(0) == 1 ? "PostgreSQL" : "SQLite");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VTQ_LIBRARY_DB"), database);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), kBench + QStringLiteral("/config"));
    for (auto _ : state) {
        QProcess list;
        list.setProcessEnvironment(env);
        list.start(QStringLiteral(VTQ_LIBRARY_PATH),
                   {QStringLiteral("list"), QStringLiteral("--job"), QStringLiteral("J-123")});
        list.waitForFinished(60000);
        if (list.exitCode() != 0 || list.readAllStandardOutput().count('\n') != 101)
            state.SkipWithError("list did not list the job's 100 joints");
    }
}
BENCHMARK(BM_ListByJob)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window on 100,000 joints, from its making to its first rows painted.
void BM_WindowFirstRows(benchmark::State& state) {
    const QString database = Library(state.range(0) == 1);
    if (database.isEmpty()) {
        state.SkipWithError("the library of 100,000 joints could not be made");
        return;
    }
    state.SetLabel(state.range(0) == 1 ? "PostgreSQL" : "SQLite");
    for (auto _ : state) {
        CLibraryWindow window(database);
        window.OpenStore();
        window.show();
        while (window.Model().rowCount() == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        benchmark::DoNotOptimize(window.Table()->viewport()->grab());
        state.PauseTiming();
        window.close();
        WaitForLibraryWorkers(60000);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowFirstRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
