// What the procedure check costs on the longest report the view draws: 10000
// samples of a butt-fusion joint, read once, checked against the shipped
// procedure (the report library checks every report it indexes).

#include "ReportMaker.h"

#include "check/ProcedureCheck.h"
#include "framework/Globals.h"
#include "report/VtkDoc.h"

#include <benchmark/benchmark.h>

namespace {
void BM_CheckReport(benchmark::State& state) {
    g_strReportPath = WriteReport(ButtFusionReport(10000), QStringLiteral("check-bench.kjr"));
    CVtkDoc doc;
    if (!doc.LoadReport() || doc.SampleCount() != 10000) {
        state.SkipWithError("the report did not load");
        return;
    }
    const Procedure& procedure = DefaultProcedure();
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckReport(doc, procedure));
}
BENCHMARK(BM_CheckReport)->Unit(benchmark::kMicrosecond);
} // namespace
