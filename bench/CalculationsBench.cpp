// The joint setup calculations: the pressure texts the Recommended Pressures
// page and the live display build, and the conversions beneath them.

#include "framework/Globals.h"
#include "setup/DimensionTables.h"
#include "setup/GaugePressure.h"
#include "setup/JointRecord.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <benchmark/benchmark.h>

namespace {
void SetBarJoint() {
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("19.314511"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("4.710"));
    WriteLogText(LogData::kDragPressure, QStringLiteral("2.1 bar"));
    WriteLogText(LogData::kHeatIfp, QStringLiteral("5.2"));
    WriteLogText(LogData::kSoakIfp, QStringLiteral("0"));
    WriteLogText(LogData::kFuseIfp, QStringLiteral("5.2"));
    WriteLogText(LogData::kCoolIfp, QStringLiteral("5.2"));
    g_strMachineModel = QStringLiteral("#Q5 HF");
    LoadUnitSettings();
}

void BM_TextToDouble(benchmark::State& state) {
    const QString text = QStringLiteral("  19.314511 in");
    for (auto _ : state)
        benchmark::DoNotOptimize(TextToDouble(text));
}
BENCHMARK(BM_TextToDouble);

void BM_FormatPressure(benchmark::State& state) {
    // Sweep the gauge's range so every digit count is formatted.
    double psi = 5.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatPressure(psi, 1));
        psi = psi < 7700 ? psi + 1.37 : 5.5;
    }
}
BENCHMARK(BM_FormatPressure);

void BM_PipeWallArea(benchmark::State& state) {
    const QString size = QStringLiteral("8");
    const QString wall = QStringLiteral("11");
    for (auto _ : state)
        benchmark::DoNotOptimize(PipeWallArea(size, 0, wall, 0));
}
BENCHMARK(BM_PipeWallArea);

void BM_CalcGaugePressure(benchmark::State& state) {
    SetBarJoint();
    const QString ifp = QStringLiteral("5.2");
    for (auto _ : state)
        benchmark::DoNotOptimize(CalcGaugePressure(ifp));
}
BENCHMARK(BM_CalcGaugePressure);

void BM_ComputeRecommendedPressures(benchmark::State& state) {
    SetBarJoint();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeRecommendedPressures());
}
BENCHMARK(BM_ComputeRecommendedPressures);
} // namespace
