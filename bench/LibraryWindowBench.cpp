// The library's window at scale. On 100,000 joints: the opening (first rows
// painted, the whole table read, the longest the window's thread was held,
// the memory it took), what a search, the verdict filter and a re-sort take
// from the end of the pause for typing to the painted table, and the steps
// of a reading apart. On a million joints (made with SQL once and kept in
// the build tree): the opening with no filter restored, the memory, a
// search and a re-sort; a run that passes 4 GB or three minutes is stopped
// and says so.

#include "LibraryMaker.h"

#include "framework/SettingsStore.h"
#include "library/BrowseTree.h"
#include "library/JointTable.h"
#include "library/JointTableModel.h"
#include "library/LibraryLayout.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {
double Ms(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// Time on a core, of the window's thread (CLOCK_THREAD_CPUTIME_ID) or of
// every thread (CLOCK_PROCESS_CPUTIME_ID): on a machine shared with other
// work, what a step costs apart from waiting for a core.
double CpuMs(clockid_t which) {
    timespec t{};
    clock_gettime(which, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// How late the window's thread serves a timer: the longest it was held.
class LatencyProbe {
public:
    LatencyProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kEveryMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() {
            m_longestMs = std::max(m_longestMs, Ms(m_since) - kEveryMs);
            m_since.start();
        });
        m_since.start();
        m_timer.start();
    }
    double LongestMs() const { return std::max(m_longestMs, Ms(m_since) - kEveryMs); }

private:
    static constexpr int kEveryMs = 10;
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longestMs = 0;
};

// Ends the whole program, saying why, when it passes the memory or the time
// it is allowed: the window's thread cannot be stopped from outside while
// it is held.
class Watchdog {
public:
    Watchdog(long limitKb, int limitSeconds)
        : m_thread([this, limitKb, limitSeconds]() {
              const auto start = std::chrono::steady_clock::now();
              while (!m_stop) {
                  const long rss = RssKb();
                  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count();
                  if (rss > limitKb || seconds > limitSeconds) {
                      fprintf(stderr,
                              "stopped: the window held %ld MB after %lld s (limits %ld MB, %d "
                              "s)\n",
                              rss / 1024, static_cast<long long>(seconds), limitKb / 1024,
                              limitSeconds);
                      _exit(3);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~Watchdog() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Opening {
    double firstRowsMs = 0;   // from the window's making to its first rows painted
    double wholeMs = 0;       // to the whole table read and painted
    double longestHeldMs = 0; // the longest the window's thread did not answer
    double cpuMs = 0;         // the process's time on a core until the whole was read
    double openStoreMs = 0;   // the look at the index before the window shows
    long beforeKb = 0, wholeKb = 0;
    bool ok = false;
};

// The filters and the order a window before left in the settings file, set
// back to a first start's: every opening here starts with every joint.
void ForgetFilters() {
    for (const char* name : {"Search", "Verdict", "Browse", "Dates"})
        WriteSettingText(kKeyLibraryWindow, QString::fromLatin1(name), QString());
    WriteSettingText(kKeyLibraryWindow, QStringLiteral("Status"), QStringLiteral("present"));
    WriteSettingText(kKeyLibraryWindow, QStringLiteral("Sort"),
                     JointColumnKey(JC_DATE_TIME) + QStringLiteral(" descending"));
}

// Makes, opens and shows the window and waits, within `boundMs`, until it
// has read the whole table.
Opening Open(std::unique_ptr<CLibraryWindow>& window, const QString& database, qint64 boundMs) {
    Opening o;
    ForgetFilters();
    malloc_trim(0);
    o.beforeKb = RssKb();
    LatencyProbe probe;
    const double cpu = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer clock;
    clock.start();
    window = std::make_unique<CLibraryWindow>(database);
    if (!window->OpenStore())
        return o;
    o.openStoreMs = Ms(clock);
    window->show();
    while (window->Model().rowCount() == 0 && clock.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    benchmark::DoNotOptimize(window->Table()->grab());
    o.firstRowsMs = Ms(clock);
    while (window->Loading() && clock.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    benchmark::DoNotOptimize(window->Table()->grab());
    o.wholeMs = Ms(clock);
    o.wholeKb = RssKb();
    o.cpuMs = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu;
    o.longestHeldMs = probe.LongestMs();
    o.ok = !window->Loading() && window->Model().rowCount() > 0;
    return o;
}

void Close(std::unique_ptr<CLibraryWindow>& window) {
    window->close();
    window.reset();
    WaitForLibraryWorkers(60000);
    QCoreApplication::processEvents();
}

// A change to the window's filter or order, as the window's thread makes it
// at the end of the pause for typing, then the table painted: the two parts
// timed apart.
struct Change {
    double applyMs = 0, paintMs = 0, cpuMs = 0;
};
template <typename F> Change Time(CLibraryWindow& window, F&& change) {
    Change c;
    const double cpu = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer clock;
    clock.start();
    change();
    c.applyMs = Ms(clock);
    clock.start();
    benchmark::DoNotOptimize(window.Table()->grab());
    c.paintMs = Ms(clock);
    c.cpuMs = CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu;
    return c;
}

void Report(benchmark::State& state, const std::vector<Change>& changes, int shown) {
    double apply = 0, paint = 0, cpu = 0;
    for (const Change& c : changes) {
        apply += c.applyMs;
        paint += c.paintMs;
        cpu += c.cpuMs;
    }
    const double n = double(std::max<size_t>(1, changes.size()));
    state.counters["filter_ms"] = apply / n;
    state.counters["paint_ms"] = paint / n;
    state.counters["cpu_ms"] = cpu / n;
    state.counters["rows_shown"] = shown;
}

// The whole 100,000 read once per benchmark; a benchmark that cannot have
// them says so.
bool OpenWhole100k(benchmark::State& state, std::unique_ptr<CLibraryWindow>& window) {
    const QString database = Library100k(false);
    if (database.isEmpty() || !Open(window, database, 60000).ok) {
        state.SkipWithError("the window could not read the library of 100,000 joints");
        return false;
    }
    return true;
}

// Opening on 100,000 joints, SQLite (0) and PostgreSQL (1).
void BM_Window100kOpen(benchmark::State& state) {
    const QString database = Library100k(state.range(0) == 1);
    if (database.isEmpty()) {
        state.SkipWithError("the library of 100,000 joints could not be made");
        return;
    }
    state.SetLabel(state.range(0) == 1 ? "PostgreSQL" : "SQLite");
    Opening sum;
    long peak = 0, reloadPeak = 0;
    double reloadMs = 0;
    for (auto _ : state) {
        std::unique_ptr<CLibraryWindow> window;
        ResetPeakRss();
        const Opening o = Open(window, database, 60000);
        if (!o.ok) {
            state.SkipWithError("the window did not read the whole table");
            return;
        }
        state.SetIterationTime(o.wholeMs / 1000);
        sum.firstRowsMs += o.firstRowsMs;
        sum.wholeMs += o.wholeMs;
        sum.cpuMs += o.cpuMs;
        sum.longestHeldMs = std::max(sum.longestHeldMs, o.longestHeldMs);
        sum.wholeKb += o.wholeKb - o.beforeKb;
        peak = std::max(peak, PeakRssKb());
        state.counters["rows"] = window->Model().Total();
        // A reading again (another program's commit, a scan's): the table
        // shown stays while the new one is read.
        ResetPeakRss();
        window->Reload();
        QElapsedTimer clock;
        clock.start();
        while (window->Loading() && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        reloadMs += Ms(clock);
        reloadPeak = std::max(reloadPeak, PeakRssKb());
        Close(window);
    }
    const double n = double(state.iterations());
    state.counters["reload_ms"] = reloadMs / n;
    state.counters["reload_peak_MB"] = double(reloadPeak) / 1024;
    state.counters["first_rows_ms"] = sum.firstRowsMs / n;
    state.counters["whole_ms"] = sum.wholeMs / n;
    state.counters["whole_cpu_ms"] = sum.cpuMs / n;
    state.counters["longest_held_ms"] = sum.longestHeldMs;
    state.counters["whole_MB"] = double(sum.wholeKb) / n / 1024;
    state.counters["process_peak_MB"] = double(peak) / 1024;
}
BENCHMARK(BM_Window100kOpen)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Searches typed into the box with every joint shown: a job (100 joints),
// an employee (one joint in 37), a text in no joint, and clearing a job's
// search. The timer's pause is not counted; the figure runs from its end
// (ApplyFilter, what the timer calls) to the painted table.
void BM_Window100kSearch(benchmark::State& state) {
    std::unique_ptr<CLibraryWindow> window;
    if (!OpenWhole100k(state, window))
        return;
    const QString job = QStringLiteral("J-123");
    const QString typed[] = {job, QStringLiteral("e-7"), QStringLiteral("xq-nowhere"), QString()};
    const QString from[] = {QString(), QString(), QString(), job};
    const int k = int(state.range(0));
    const char* labels[] = {"a job", "an employee", "nothing matches", "clearing a job's search"};
    state.SetLabel(labels[k]);
    const auto type = [&](const QString& text) {
        window->SearchBox()->setText(text);
        window->ApplyFilter();
    };
    std::vector<Change> changes;
    for (auto _ : state) {
        type(from[k]);
        benchmark::DoNotOptimize(window->Table()->grab());
        const Change c = Time(*window, [&]() { type(typed[k]); });
        state.SetIterationTime((c.applyMs + c.paintMs) / 1000);
        changes.push_back(c);
    }
    Report(state, changes, window->Model().rowCount());
    state.counters["pause_for_typing_ms"] = 150;
    Close(window);
}
BENCHMARK(BM_Window100kSearch)
    ->DenseRange(0, 3)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The verdict filter: "fail" chosen with every joint shown, and back.
void BM_Window100kVerdict(benchmark::State& state) {
    std::unique_ptr<CLibraryWindow> window;
    if (!OpenWhole100k(state, window))
        return;
    const int fail = window->VerdictBox()->findData(QStringLiteral("fail"));
    const bool back = state.range(0) == 1;
    state.SetLabel(back ? "fail to any verdict" : "any verdict to fail");
    std::vector<Change> changes;
    for (auto _ : state) {
        window->VerdictBox()->setCurrentIndex(back ? fail : 0);
        benchmark::DoNotOptimize(window->Table()->grab());
        const Change c =
            Time(*window, [&]() { window->VerdictBox()->setCurrentIndex(back ? 0 : fail); });
        state.SetIterationTime((c.applyMs + c.paintMs) / 1000);
        changes.push_back(c);
    }
    Report(state, changes, window->Model().rowCount());
    Close(window);
}
BENCHMARK(BM_Window100kVerdict)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A click on a text column's header with every joint shown (the window
// opens sorted by date): job, employee, notes.
void BM_Window100kSort(benchmark::State& state) {
    std::unique_ptr<CLibraryWindow> window;
    if (!OpenWhole100k(state, window))
        return;
    const int column = int(state.range(0));
    state.SetLabel(JointColumnTitle(column).toStdString());
    std::vector<Change> changes;
    bool up = true;
    for (auto _ : state) {
        window->Table()->sortByColumn(JC_DATE_TIME, Qt::DescendingOrder);
        benchmark::DoNotOptimize(window->Table()->grab());
        const Change c = Time(*window, [&]() {
            window->Table()->sortByColumn(column, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        });
        up = !up;
        state.SetIterationTime((c.applyMs + c.paintMs) / 1000);
        changes.push_back(c);
    }
    Report(state, changes, window->Model().rowCount());
    Close(window);
}
BENCHMARK(BM_Window100kSort)
    ->Arg(JC_JOB)
    ->Arg(JC_EMPLOYEE)
    ->Arg(JC_NOTES)
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The window's first reading alone, on a worker's connection: the newest
// 500 joints of 100,000 (0) and of a million (1).
void BM_NewestJointsQuery(benchmark::State& state) {
    const bool million = state.range(0) == 1;
    const QString database =
        million ? KeptLibrary(QStringLiteral(VTQ_BENCH_KEEP "/library-1m.sqlite"), 1000000)
                : Library100k(false);
    if (database.isEmpty()) {
        state.SkipWithError("the library could not be made");
        return;
    }
    state.SetLabel(million ? "1,000,000 joints" : "100,000 joints");
    CLibraryStore store(database);
    if (store.Open(CLibraryStore::Mode::Read) != CLibraryStore::OpenResult::Ok) {
        state.SkipWithError("the library could not be opened");
        return;
    }
    JointFilter newest = CLibraryStore::AllJoints();
    newest.newest = 500;
    double rootsMs = 0, missingMs = 0;
    for (auto _ : state) {
        const auto rows = store.Joints(newest);
        if (!rows || rows->size() != 500)
            state.SkipWithError("the newest joints were not read");
        // What the window reads with them: the joints of each folder, and
        // the missing ones.
        state.PauseTiming();
        QElapsedTimer clock;
        clock.start();
        benchmark::DoNotOptimize(store.JointsPerRoot());
        rootsMs += Ms(clock);
        clock.start();
        benchmark::DoNotOptimize(store.MissingOlderThan(0));
        missingMs += Ms(clock);
        state.ResumeTiming();
    }
    state.counters["per_root_ms"] = rootsMs / double(state.iterations());
    state.counters["missing_ms"] = missingMs / double(state.iterations());
}
BENCHMARK(BM_NewestJointsQuery)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A reading of the whole table of 100,000 joints step by step: on the
// worker the reading itself, the verdicts marked against the procedure, the
// rows made ready (search texts, order) and the browse tree's facts; then
// on the window's thread the model's filter and the tree.
void BM_WholeTableSteps(benchmark::State& state) {
    const QString database = Library100k(false);
    CLibraryStore store(database);
    if (database.isEmpty() ||
        store.Open(CLibraryStore::Mode::Read) != CLibraryStore::OpenResult::Ok) {
        state.SkipWithError("the library of 100,000 joints could not be opened");
        return;
    }
    std::map<std::string, double> ms;
    for (auto _ : state) {
        QElapsedTimer clock;
        const auto step = [&](const char* name, auto&& work) {
            clock.start();
            work();
            ms[name] += Ms(clock);
        };
        std::optional<std::vector<JointRow>> rows;
        step("read_ms", [&]() { rows = store.Joints(CLibraryStore::AllJoints()); });
        step("verdicts_ms",
             [&]() { MarkVerdicts(*rows, CVerdictBook(CSettingsProcedureSource().Read(), {})); });
        JointTableRows ready;
        step("prepare_ms", [&]() {
            ready = PrepareJointRows(std::move(*rows), JC_DATE_TIME, Qt::DescendingOrder);
        });
        BrowseFacts facts;
        step("facts_ms", [&]() { facts = BrowseFactsOf(ready.rows); });
        CJointTableModel model;
        step("window_model_ms", [&]() { model.SetRows(std::move(ready)); });
        CBrowseTree tree;
        step("window_tree_ms", [&]() { tree.SetFacts(facts); });
    }
    for (const auto& [name, total] : ms)
        state.counters[name] = total / double(state.iterations());
}
BENCHMARK(BM_WholeTableSteps)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A million joints: the index is made once (a few minutes) and kept.
void BM_Window1M(benchmark::State& state) {
    const QString database =
        KeptLibrary(QStringLiteral(VTQ_BENCH_KEEP "/library-1m.sqlite"), 1000000);
    if (database.isEmpty()) {
        state.SkipWithError("the library of a million joints could not be made");
        return;
    }
    for (auto _ : state) {
        const Watchdog watchdog(4L * 1024 * 1024, 180);
        std::unique_ptr<CLibraryWindow> window;
        ResetPeakRss();
        const Opening o = Open(window, database, 170000);
        if (!o.ok) {
            state.SkipWithError("the window did not read the whole table");
            return;
        }
        state.SetIterationTime(o.firstRowsMs / 1000);
        state.counters["first_rows_ms"] = o.firstRowsMs;
        state.counters["open_store_ms"] = o.openStoreMs;
        state.counters["whole_ms"] = o.wholeMs;
        state.counters["whole_cpu_ms"] = o.cpuMs;
        state.counters["longest_held_ms"] = o.longestHeldMs;
        state.counters["whole_MB"] = double(o.wholeKb - o.beforeKb) / 1024;
        state.counters["process_peak_MB"] = double(PeakRssKb()) / 1024;
        state.counters["rows"] = window->Model().Total();
        const auto type = [&](const QString& text) {
            window->SearchBox()->setText(text);
            window->ApplyFilter();
        };
        const Change job = Time(*window, [&]() { type(QStringLiteral("J-123")); });
        state.counters["search_job_ms"] = job.applyMs + job.paintMs;
        state.counters["search_job_cpu_ms"] = job.cpuMs;
        const Change clear = Time(*window, [&]() { type(QString()); });
        state.counters["clear_search_ms"] = clear.applyMs + clear.paintMs;
        state.counters["clear_search_cpu_ms"] = clear.cpuMs;
        const Change sort =
            Time(*window, [&]() { window->Table()->sortByColumn(JC_JOB, Qt::AscendingOrder); });
        state.counters["sort_job_ms"] = sort.applyMs + sort.paintMs;
        state.counters["sort_job_cpu_ms"] = sort.cpuMs;
        Close(window);
    }
}
BENCHMARK(BM_Window1M)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
} // namespace
