// The store's filtered reading as `vtq-library list --search` and `--job`
// ask it (CLibraryStore::Joints), on 100,000 and a million joints in SQLite
// and 100,000 on a throw-away PostgreSQL server: texts the index of
// trigrams answers, one no joint holds, and one too short for trigrams.
// Also the upgrade that makes that index, on a copy of the kept libraries.

#include "LibraryMaker.h"

#include "library/LibraryStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

namespace {
struct SearchCase {
    const char* label;
    bool job; // --job, else --search
    const char* text;
};
// The libraries' jobs are "J-0", "J-1"... of 100 joints each.
const SearchCase kCases[] = {
    {"job J-987", true, "J-987"},         // 100 joints of 100,000; 1,100 of a million
    {"job J-12", true, "J-12"},           // 1,100; 11,100
    {"search j-987", false, "j-987"},     // as --job J-987, in every searched field
    {"search nowhere", false, "nowhere"}, // none
    {"search zq", false, "zq"},           // none; two characters have no trigram
};

QString Library(int which) {
    switch (which) {
    case 0:
        return Library100k(false);
    case 1:
        return KeptLibrary(QStringLiteral(VTQ_BENCH_KEEP "/library-1m.sqlite"), 1000000);
    default:
        return Library100k(true);
    }
}

void BM_SearchQuery(benchmark::State& state) {
    const int which = int(state.range(0));
    const SearchCase& c = kCases[state.range(1)];
    const QString database = Library(which);
    CLibraryStore store(database);
    if (database.isEmpty() ||
        store.Open(CLibraryStore::Mode::Read) != CLibraryStore::OpenResult::Ok) {
        state.SkipWithError("the library could not be opened");
        return;
    }
    state.SetLabel(std::string(which == 0   ? "SQLite 100,000 "
                               : which == 1 ? "SQLite 1,000,000 "
                                            : "PostgreSQL 100,000 ") +
                   c.label);
    JointFilter filter;
    (c.job ? filter.job : filter.search) = QString::fromUtf8(c.text);
    size_t rows = 0;
    for (auto _ : state) {
        const auto read = store.Joints(filter);
        if (!read) {
            state.SkipWithError("the joints could not be read");
            return;
        }
        rows = read->size();
    }
    state.counters["joints"] = double(rows);
}
BENCHMARK(BM_SearchQuery)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3, 4}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A writer's opening of a copy of the kept SQLite library as the last
// version left it (no index of trigrams): the upgrade fills the index.
void BM_UpgradeToSearchIndex(benchmark::State& state) {
    const QString kept = Library(int(state.range(0)));
    const QString copy = BenchFolder() + QStringLiteral("/upgrade.sqlite");
    state.SetLabel(state.range(0) == 0 ? "100,000 joints" : "1,000,000 joints");
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* side : {"", "-wal", "-shm"})
            QFile::remove(copy + QLatin1String(side));
        bool ready = !kept.isEmpty() && QFile::copy(kept, copy);
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
            db.setDatabaseName(copy);
            QSqlQuery q(db);
            for (const char* s :
                 {"DROP TABLE IF EXISTS versions_text",
                  "DROP TRIGGER IF EXISTS versions_text_added",
                  "DROP TRIGGER IF EXISTS versions_text_removed",
                  "DROP TRIGGER IF EXISTS versions_text_changed", "PRAGMA user_version = 5"})
                ready = ready && db.open() && q.exec(QString::fromLatin1(s));
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("older"));
        if (!ready) {
            state.SkipWithError("no copy of the library to upgrade");
            return;
        }
        state.ResumeTiming();
        CLibraryStore store(copy, 5000);
        if (store.Open(CLibraryStore::Mode::Write) != CLibraryStore::OpenResult::Ok)
            state.SkipWithError("the copy was not upgraded");
    }
    for (const char* side : {"", "-wal", "-shm"})
        QFile::remove(copy + QLatin1String(side));
}
BENCHMARK(BM_UpgradeToSearchIndex)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
} // namespace
