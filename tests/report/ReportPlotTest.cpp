// Sample preparation and axis scaling of the three plots, on downloaded
// reports with chosen samples.
#include "ReportMaker.h"

#include "framework/Globals.h"
#include "report/ReportDrawing.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <tuple>

namespace {
struct Plots : ::testing::Test {
    CVtkDoc doc;
    // Loads a report of samples (time, psi).
    void Load(std::vector<std::pair<int, int>> samples, int span = -1) {
        ReportPlan plan = ButtFusionReport(0);
        plan.samples = std::move(samples);
        plan.timeSpan = span;
        g_strReportPath = WriteReport(plan, QStringLiteral("p.kjr"));
        ASSERT_TRUE(doc.LoadReport());
        PrepareReport(doc);
    }
    // A log sampled every `every` units up to `last`, at 0 psi before `jump`
    // and at `psi` from it on.
    void Step(int last, int every, int jump, int psi, int span = -1) {
        std::vector<std::pair<int, int>> s;
        for (int t = 0; t <= last; t += every)
            s.emplace_back(t, t < jump ? 0 : psi);
        Load(s, span);
    }
    PlotState Scale(int kind) {
        PlotState state;
        state.kind = kind;
        state.area = {35, 20, 222, 100};
        ScalePlot(state, doc);
        return state;
    }
    QStringList TimeLabels(int kind) {
        const PlotLayout l = LayoutPlot(kind, {5, 0, 225, 120}, 0, doc, MakeReportFonts());
        QStringList labels;
        for (const AxisTick& t : l.timeTicks)
            labels << t.label;
        return labels;
    }
};
} // namespace

TEST_F(Plots, SmoothingMaximumAndTheFourThousandOneRule) {
    Load({{0, 100}, {5, 103}, {10, 99}, {15, 101}, {20, 200}, {25, 201}, {30, 202}, {35, 4001}});
    std::vector<int> p;
    for (int i = 0; i < doc.SampleCount(); ++i)
        p.push_back(doc.PressureAt(i));
    EXPECT_EQ(p, (std::vector<int>{100, 100, 100, 101, 200, 201, 202, 0}));
    EXPECT_EQ(doc.m_nMaxPressure, 202);

    // Four samples are not smoothed; samples far apart in time are not either.
    Load({{0, 100}, {5, 103}, {10, 99}, {15, 101}});
    EXPECT_EQ(doc.PressureAt(1), 103);
    Load({{0, 100}, {5, 103}, {13, 99}, {15, 101}, {20, 101}});
    EXPECT_EQ(doc.PressureAt(1), 103);
}

// The smoothing takes out a wobble, never a steady rise or fall, and the
// front-end search looks backward for the last rise.
TEST_F(Plots, SmoothingLeavesMonotoneRunsAndTheSearchTakesTheLastRise) {
    for (const std::vector<int>& run :
         {std::vector<int>{100, 101, 102, 103, 103}, std::vector<int>{103, 102, 101, 100, 100}}) {
        std::vector<std::pair<int, int>> samples;
        for (size_t i = 0; i < run.size(); ++i)
            samples.emplace_back(5 * int(i), run[i]);
        Load(samples);
        std::vector<int> p;
        for (int i = 0; i < doc.SampleCount(); ++i)
            p.push_back(doc.PressureAt(i));
        EXPECT_EQ(p, run);
    }

    // Two rises, at 100 and at 500 units: the front end is the second's.
    std::vector<std::pair<int, int>> s;
    for (int t = 0; t <= 1000; t += 10)
        s.emplace_back(t, t < 100 ? 0 : t < 300 ? 200 : t < 500 ? 0 : 300);
    Load(s);
    EXPECT_EQ(doc.m_nFrontEndEnd, 550);
}

TEST_F(Plots, FrontEndSearchAndTimeWindows) {
    // A rise at 100 units: the front end ends 10 s (50 units) later.
    Step(1000, 10, 100, 300);
    EXPECT_EQ(doc.m_nFrontEndEnd, 150);
    EXPECT_EQ(doc.m_nHeaterRemovalEnd, 150);
    PlotState s = Scale(kHeaterRemovalPlot);
    EXPECT_EQ(std::make_pair(s.start, s.end), std::make_pair(50, 150));
    EXPECT_EQ(s.timeStep, 25);
    s = Scale(kFrontEndPlot);
    EXPECT_EQ(std::make_tuple(s.start, s.end, s.timeStep, s.minutes),
              std::make_tuple(0, 150, 20, false));
    s = Scale(kSummaryPlot);
    EXPECT_EQ(std::make_pair(s.start, s.end), std::make_pair(0, 1000));

    Step(1000, 10, 350, 300);
    s = Scale(kHeaterRemovalPlot);
    EXPECT_EQ(std::make_pair(s.start, s.end), std::make_pair(225, 400));
    EXPECT_EQ(TimeLabels(kHeaterRemovalPlot), (QStringList{"5", "10", "15", "20", "25", "30"}));

    // The end is held to the time span; the search looks only at the
    // first g_nSearchPercent of the span.
    Step(1000, 10, 980, 300, 1000);
    EXPECT_EQ(doc.m_nFrontEndEnd, 1000);
    g_nSearchPercent = 5;
    Step(1000, 10, 350, 300);
    EXPECT_EQ(doc.m_nFrontEndEnd, 0);
    s = Scale(kFrontEndPlot);
    EXPECT_EQ(s.end, 1);
    const ReportFonts fonts = MakeReportFonts();
    EXPECT_FALSE(LayoutPlot(kFrontEndPlot, {5, 0, 225, 120}, 0, doc, fonts).curve);
    EXPECT_TRUE(LayoutPlot(kSummaryPlot, {5, 0, 225, 120}, 0, doc, fonts).curve);
    g_nSearchPercent = 100;

    // A fall is found only when no rise is, searching forward.
    Load({{0, 300}, {100, 300}, {200, 0}, {300, 0}});
    EXPECT_EQ(doc.m_nFrontEndEnd, 250);

    // A log shorter than 101 units shows whole in every plot; its heater
    // removal curve only at exactly 100.
    Step(100, 5, 50, 200);
    s = Scale(kHeaterRemovalPlot);
    EXPECT_EQ(std::make_pair(s.start, s.end), std::make_pair(0, 100));
    EXPECT_TRUE(LayoutPlot(kHeaterRemovalPlot, {5, 0, 225, 120}, 0, doc, fonts).curve);
    Step(95, 5, 50, 200);
    EXPECT_FALSE(LayoutPlot(kHeaterRemovalPlot, {5, 0, 225, 120}, 0, doc, fonts).curve);
}

TEST_F(Plots, StepsTopsAndLabels) {
    // 9000 units (30 minutes) switch to minutes: end 150, step 20, labels
    // every 4 minutes.
    Step(9000, 100, 100, 1000);
    PlotState s = Scale(kSummaryPlot);
    EXPECT_EQ(std::make_tuple(s.minutes, s.end, s.timeStep), std::make_tuple(true, 150, 20));
    EXPECT_EQ(TimeLabels(kSummaryPlot).mid(0, 3), (QStringList{"4", "8", "12"}));
    // 1000 psi: step 500, top 1500.
    EXPECT_EQ(std::make_tuple(s.pressStep, s.top, s.topPsi), std::make_tuple(500, 1500, 1500));
    EXPECT_EQ(StepIndex(150), 3);
    EXPECT_EQ(StepIndex(7), 0);

    // No pressure at all: top 2 psi, step 1.
    Step(1000, 100, 2000, 0);
    s = Scale(kSummaryPlot);
    EXPECT_EQ(std::make_tuple(s.pressStep, s.top), std::make_tuple(1, 2));

    // A very short log labels a tick every 2 units with one decimal, v x 0.1.
    Step(10, 1, 5, 50);
    s = Scale(kSummaryPlot);
    EXPECT_EQ(s.timeStep, 2);
    EXPECT_EQ(TimeLabels(kSummaryPlot), (QStringList{"0.2", "0.4", "0.6", "0.8"}));

    // Mapping: times before the window sit at its left; pressures are held
    // inside the area.
    Step(1000, 10, 100, 300);
    s = Scale(kHeaterRemovalPlot);
    EXPECT_EQ(TimeToX(s, 0), 35);
    EXPECT_EQ(TimeToX(s, 100), 35 + 50 * 187 / 100);
    EXPECT_EQ(PressureToY(s, 0), 99);
    EXPECT_EQ(PressureToY(s, 100000), 20);
}

// The pressure axis in bar and MPa, worked out by hand from the axis rule:
// 300 psi is 20 bar (20.69 truncated); the step index of 20 is step 2, and
// 20 / 2 >= 5 moves on to 5; the top is the multiple of 5 above 20, 25 bar,
// which is 362 psi (362.5 truncated).
TEST_F(Plots, PressureAxisInBarAndMPa) {
    struct Case {
        int unit, psi, step, top, topPsi, y300;
    };
    for (const Case& c : {Case{1, 300, 5, 25, 362, 100 - 300 * 80 / 362},
                          Case{1, 1000, 20, 80, 1160, 100 - 300 * 80 / 1160},
                          Case{3, 300, 1, 3, 435, 100 - 300 * 80 / 435},
                          Case{3, 1000, 2, 8, 1160, 100 - 300 * 80 / 1160}}) {
        ReportPlan plan = ButtFusionReport(0);
        plan.Set(RF_PRESS_UNIT, c.unit);
        plan.samples = {{0, 0}, {10, c.psi}, {20, c.psi}, {30, 0}};
        g_strReportPath = WriteReport(plan, QStringLiteral("unit.kjr"));
        ASSERT_TRUE(doc.LoadReport());
        PrepareReport(doc);
        const PlotState s = Scale(kSummaryPlot);
        EXPECT_EQ(std::make_tuple(s.pressStep, s.top, s.topPsi),
                  std::make_tuple(c.step, c.top, c.topPsi))
            << c.unit << " " << c.psi;
        EXPECT_EQ(PressureToY(s, 300), c.y300) << c.unit << " " << c.psi;
    }
}

// What the heater removal plot puts on the page: the curve inside its area
// and never left of it (the samples before the window are not drawn, not
// even squeezed onto its left edge), the title above and the labels below.
TEST_F(Plots, DrawPlotKeepsTheCurveInsideItsAreaAndTheLabelsInTheirRows) {
    // 300 psi until 150, nothing until 350, then 300 psi: the window is
    // 225 to 400, so the fall at 150 lies before it.
    std::vector<std::pair<int, int>> samples;
    for (int t = 0; t <= 1000; t += 10)
        samples.emplace_back(t, t < 150 || t >= 350 ? 300 : 0);
    Load(samples);
    const ReportFonts fonts = MakeReportFonts();
    const PlotLayout l = LayoutPlot(kHeaterRemovalPlot, {5, 0, 225, 120}, 0, doc, fonts);
    ASSERT_EQ(std::make_pair(l.state.start, l.state.end), std::make_pair(225, 400));
    QImage image(240, 140, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        DrawPlot(painter, l, doc);
    }
    const PlotRect& a = l.state.area;
    auto dark = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = std::max(0, y0); y < std::min(image.height(), y1); ++y)
            for (int x = std::max(0, x0); x < std::min(image.width(), x1); ++x)
                n += qGray(image.pixel(x, y)) < 128;
        return n;
    };
    // The rise at 350 inside the area, from the bottom up to 300 psi.
    EXPECT_GT(dark(TimeToX(l.state, 340) - 1, a.top, TimeToX(l.state, 350) + 2, a.bottom), 60);
    // Nothing of the curve on or left of the area's left edge above the
    // bottom row: the fall at 150 would stand there as a vertical line.
    EXPECT_EQ(dark(a.left - 1, a.top, a.left + 1, a.bottom - 3), 0);
    // The title and the unit word in their rows, nothing between the rows
    // and the area.
    EXPECT_GT(dark(a.left, l.titleRowTop, a.right, l.titleRowTop + l.rowHeight), 20);
    EXPECT_EQ(dark(0, 0, 240, l.titleRowTop), 0);
    EXPECT_GT(dark(l.unitWordLeft, l.axisRowTop, l.unitWordRight, l.axisRowTop + l.rowHeight), 20);
    EXPECT_EQ(dark(0, a.bottom, 240, l.axisRowTop), 0);
    EXPECT_EQ(dark(0, l.axisRowTop + l.rowHeight + 1, 240, 140), 0);
}
