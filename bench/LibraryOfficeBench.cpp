// The office's library: a cold scan of 10,000 reports into PostgreSQL, and
// on 100,000 joints (made with SQL, not files) `list` filtered by job from
// the program's start to its end, and the window from its making to its
// first rows painted, on both stores. The PostgreSQL server is a
// throw-away one (scripts/pg-test-server) on its socket, in
// /tmp/vtq-library-bench/pg, with fsync on, stopped when the benchmarks end.

#include "LibraryMaker.h"
#include "ReportMaker.h"

#include "library/LibraryJob.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <benchmark/benchmark.h>

namespace {
// LibraryBench.cpp makes it.
QString ReportTree() {
    return BenchFolder() + QStringLiteral("/tree");
}

void BM_ServerColdScan(benchmark::State& state) {
    if (!QFile::exists(ReportTree() + QStringLiteral("/.complete"))) {
        state.SkipWithError("no tree of reports: run BM_ColdScan first");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = BenchServer().Database(QStringLiteral("bench_scan"));
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
        job.named = {{QStringLiteral("bench"), ReportTree()}};
        const LibraryJobResult done = RunLibraryJob(job);
        if (done.summary.added.size() != 10000)
            state.SkipWithError("not every report was added");
    }
}
BENCHMARK(BM_ServerColdScan)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// `vtq-library list --job J-123` (100 of the 100,000 joints), from the
// program's start to its end.
void BM_ListByJob(benchmark::State& state) {
    const QString database = Library100k(state.range(0) == 1);
    if (database.isEmpty()) {
        state.SkipWithError("the library of 100,000 joints could not be made");
        return;
    }
    state.SetLabel(state.range(0) == 1 ? "PostgreSQL" : "SQLite");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VTQ_LIBRARY_DB"), database);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), BenchFolder() + QStringLiteral("/config"));
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
    const QString database = Library100k(state.range(0) == 1);
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
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        benchmark::DoNotOptimize(window.Table()->viewport()->grab());
        state.PauseTiming();
        window.close();
        WaitForLibraryWorkers(60000);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowFirstRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
