// What the procedure check costs on a long report: 10000 samples of a
// butt-fusion joint as a field logs it (5 a second, gauge noise, a thermal
// bump, a slippage check), read once, checked against the shipped procedure
// (the report library checks every report it indexes).

#include "TraceCorpus.h"

#include "check/ProcedureCheck.h"
#include "framework/Globals.h"
#include "report/VtkDoc.h"

#include <benchmark/benchmark.h>

namespace {
void BM_CheckReport(benchmark::State& state) {
    ReportPlan plan = FieldJointPlan({.sampleSeconds = 0.2, .slippageCheck = true,
                                      .fuseSeconds = 1800, .idleAfter = 0});
    plan.samples.resize(10000);
    g_strReportPath = WriteReport(plan, QStringLiteral("check-bench.kjr"));
    CVtkDoc doc;
    if (!doc.LoadReport() || doc.SampleCount() != 10000) {
        state.SkipWithError("the report did not load");
        return;
    }
    const Procedure& procedure = DefaultProcedure();
    if (CheckReport(doc, g_strReportPath, procedure).verdict != ReportVerdict::Pass) {
        state.SkipWithError("the joint does not pass");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckReport(doc, g_strReportPath, procedure));
}
BENCHMARK(BM_CheckReport)->Unit(benchmark::kMicrosecond);
} // namespace
