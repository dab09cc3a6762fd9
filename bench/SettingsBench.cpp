// Opening a wizard page over a large settings store: about fifty values of
// 100,000 characters (a 5 MB file), as a store edited by hand may hold.
// Every value a page shows is read from the store when it opens.

#include "framework/SettingsStore.h"
#include "platform/MessageBox.h"
#include "setup/PipePage.h"
#include "setup/RecPressuresPage.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {
// Opens `Page` over the large store; the Pipe page only reads the store, the
// Recommended Pressures page also stores the four pressures it computes.
template <class Page> void BM_PageOverLargeStore(benchmark::State& state) {
    ScriptedPrompter prompter; // no box may wait for a person
    const QString large(100000, QLatin1Char('x'));
    for (int i = 0; i < 50; ++i)
        WriteSettingText(kKeyLogData, QStringLiteral("Filler %1").arg(i), large);
    for (auto _ : state) {
        Page page(nullptr);
        page.Create();
        benchmark::DoNotOptimize(page.GetDlgItemText(0));
        QCoreApplication::processEvents(); // what it stored reaches the file
    }
    for (int i = 0; i < 50; ++i)
        WriteSettingText(kKeyLogData, QStringLiteral("Filler %1").arg(i), QString());
}
BENCHMARK(BM_PageOverLargeStore<CPipePage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageOverLargeStore<CRecPressuresPage>)->Unit(benchmark::kMillisecond);
} // namespace
