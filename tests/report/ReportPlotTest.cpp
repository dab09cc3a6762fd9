// Sample preparation and axis scaling of the three plots, on downloaded
// reports with chosen samples.
#include "ReportMaker.h"

#include "framework/Globals.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <gtest/gtest.h>

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
