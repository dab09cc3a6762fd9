// The report library at the size of a busy office: a cold scan of 10,000
// reports of 3,000 samples, a rescan with nothing changed, a filter over
// 10,000 joints with the table's redraw, and the memory the window holds.
// The tree of reports is made once in /tmp/vtq-library-bench and kept.

#include "ReportMaker.h"

#include "library/LibraryScanner.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
constexpr int kReports = 10000;
constexpr int kSamples = 3000;
const QString kTree = QStringLiteral("/tmp/vtq-library-bench/tree");
const QString kDb = QStringLiteral("/tmp/vtq-library-bench/library.sqlite");

// The tree: 100 folders of 100 reports, each a joint of its own.
bool MakeTree() {
    const QString done = kTree + QStringLiteral("/.complete");
    if (QFile::exists(done))
        return true;
    ReportPlan plan = ButtFusionReport(kSamples);
    const char* jobs[] = {"J-2024-88", "J-2024-91", "NW-Main 12", "Creek X-ing", "Depot 4"};
    for (int i = 0; i < kReports; ++i) {
        plan.Set(RF_JOINT_NUMBER, i);
        plan.Set(RF_JOB_NUMBER, QString::fromLatin1(jobs[i % 5]));
        plan.Set(RF_EMPLOYEE_ID, QStringLiteral("E-%1").arg(100 + i % 37));
        plan.Set(RF_DAY, 1 + i % 28);
        plan.Set(RF_MONTH, 1 + (i / 28) % 12);
        const QString folder = kTree + QStringLiteral("/%1").arg(i / 100, 3, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        const QString made = WriteReport(plan, QStringLiteral("bench.kjr"));
        if (!QFile::rename(made, folder + QStringLiteral("/joint %1.kjr").arg(i)))
            return false;
    }
    QFile marker(done);
    return marker.open(QIODevice::WriteOnly);
}

void RemoveDb() {
    for (const char* side : {"", "-wal", "-shm"})
        QFile::remove(kDb + QLatin1String(side));
}

long RssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void BM_ColdScan(benchmark::State& state) {
    if (!MakeTree()) {
        state.SkipWithError("the tree of reports could not be made");
        return;
    }
    for (auto _ : state) {
        RemoveDb();
        CLibraryStore store(kDb, 5000);
        store.Open(CLibraryStore::Mode::Write);
        CLibraryScanner scanner(store);
        const ScanSummary s = scanner.Scan({kTree});
        if (s.added.size() != kReports)
            state.SkipWithError("not every report was added");
    }
}
BENCHMARK(BM_ColdScan)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_RescanUnchanged(benchmark::State& state) {
    if (!MakeTree()) {
        state.SkipWithError("the tree of reports could not be made");
        return;
    }
    CLibraryStore store(kDb, 5000);
    store.Open(CLibraryStore::Mode::Write);
    CLibraryScanner scanner(store);
    scanner.Scan({kTree});
    for (auto _ : state) {
        const ScanSummary s = scanner.Scan({kTree});
        if (s.unchanged != kReports)
            state.SkipWithError("the rescan read files again");
    }
}
BENCHMARK(BM_RescanUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

// Typing into the search box: the filter over every joint and one paint of
// the table as the window shows it.
void BM_FilterRedraw(benchmark::State& state) {
    if (!MakeTree()) {
        state.SkipWithError("the tree of reports could not be made");
        return;
    }
    {
        // An index this program cannot write (one left by another build in
        // /tmp) is made anew.
        CLibraryStore store(kDb, 5000);
        if (store.Open(CLibraryStore::Mode::Write) != CLibraryStore::OpenResult::Ok) {
            RemoveDb();
            store.Open(CLibraryStore::Mode::Write);
        }
        CLibraryScanner(store).Scan({kTree});
    }
    CLibraryWindow window(kDb);
    window.OpenStore();
    window.show();
    while (window.Loading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    window.grab();
    if (window.Model().Total() != kReports) {
        state.SkipWithError("the window did not read every joint");
        return;
    }
    state.counters["joints"] = window.Model().Total();
    // The whole process with the window over every joint: the scan before
    // leaves freed memory the window reuses, so a difference would say little.
    state.counters["process_MB"] = double(RssKb()) / 1024.0;
    const QString texts[] = {QStringLiteral("creek"), QStringLiteral("E-11"), QString()};
    int i = 0;
    for (auto _ : state) {
        // The filter runs at the end of the pause for typing; ApplyFilter
        // is what the pause's timer calls.
        window.SearchBox()->setText(texts[i++ % 3]);
        window.ApplyFilter();
        benchmark::DoNotOptimize(window.Table()->viewport()->grab());
    }
}
BENCHMARK(BM_FilterRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
