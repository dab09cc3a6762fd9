// What an operator waits on when a joint report opens: reading a report of
// 10000 samples with its report text and plot preparation, and one paint of
// the report view.

#include "ReportMaker.h"

#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "report/ReportDrawing.h"
#include "report/VtkDoc.h"
#include "report/VtkView.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {
QString TenThousandSamples() {
    static const QString path = WriteReport(ButtFusionReport(10000), QStringLiteral("bench.kjr"));
    return path;
}

void BM_LoadReportTextAndPlots(benchmark::State& state) {
    LoadProgramFonts();
    const ReportFonts fonts = MakeReportFonts();
    CVtkDoc doc;
    const QString path = TenThousandSamples();
    for (auto _ : state) {
        g_strReportPath = path;
        // The file, then the report text, smoothing, maximum, front-end search.
        if (doc.LoadReport())
            PrepareReport(doc);
        const auto frames = PlotFrames(ReportTextHeight(doc, fonts.lineHeight), fonts.lineHeight);
        for (size_t i = 0; i < frames.size(); ++i)
            benchmark::DoNotOptimize(LayoutPlot(kFramePlots[i], frames[i], 0, doc, fonts));
    }
    if (doc.SampleCount() != 10000)
        state.SkipWithError("the report did not load");
}
BENCHMARK(BM_LoadReportTextAndPlots)->Unit(benchmark::kMillisecond);

// One paint of the view as the handheld's screen shows it (240 x 268), and
// of the whole report at once (as vtq-report's picture).
void PaintView(benchmark::State& state, bool whole) {
    LoadProgramFonts();
    CVtkDoc doc;
    CVtkView view(doc, nullptr);
    view.resize(240, 268);
    g_strReportPath = TenThousandSamples();
    g_bReportChanged = true;
    QImage first(240, 268, QImage::Format_RGB32);
    {
        QPainter painter(&first);
        view.OnDraw(painter); // loads and lays out the report
    }
    const QSize size = whole ? QSize(240, view.ScrollSize().height()) : QSize(240, 268);
    QImage image(size, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        view.OnDraw(painter);
    }
    if (!doc.IsLoaded())
        state.SkipWithError("the report did not load");
}
void BM_PaintView(benchmark::State& state) {
    PaintView(state, false);
}
void BM_PaintWholeReport(benchmark::State& state) {
    PaintView(state, true);
}
BENCHMARK(BM_PaintView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintWholeReport)->Unit(benchmark::kMillisecond);
} // namespace
