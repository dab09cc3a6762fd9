#pragma once
// The three pressure plots under the report text: how the samples are
// prepared after loading (smoothing, maximum, front-end search), how each
// plot scales its axes, and how it is drawn.

#include <QFont>
#include <QString>
#include <vector>

class CVtkDoc;
class QPainter;

// The view's fonts, measured as the handheld measures them.
struct ReportFonts {
    QFont text;      // Tahoma, 11 pixels: the report text and the plots' texts
    QFont watermark; // Tahoma, 60 pixels, bold, not antialiased
    int lineHeight = 0;
    int charWidth = 0;
};
ReportFonts MakeReportFonts();

enum PlotKind : int { kFrontEndPlot = 0, kSummaryPlot = 1, kHeaterRemovalPlot = 2 };

// Smoothing, maximum pressure and front-end search with g_nSearchPercent.
void PrepareSamples(CVtkDoc& doc);

// The table of steps, and the largest entry index whose step is at most v / 8.
constexpr int kStepCount = 11;
extern const int kSteps[kStepCount];
int StepIndex(int v);

struct PlotRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The plot state, refilled for each plot before it is drawn.
struct PlotState {
    int kind = kFrontEndPlot;
    PlotRect area;
    bool minutes = false;
    int start = 0, end = 0; // time units, or minutes
    int timeStep = 1, pressStep = 1;
    int top = 0, topPsi = 0; // pressure top in display units and in psi
};

// Fills the time window, the steps and the pressure top of `state`, whose
// kind is set.
void ScalePlot(PlotState& state, const CVtkDoc& doc);
int TimeToX(const PlotState& state, int t);
int PressureToY(const PlotState& state, int psi);

// A tick of an axis: its value, where its line lies (x for time, y for
// pressure), its label and whether the label fits and is drawn.
struct AxisTick {
    int value = 0;
    int pos = 0;
    QString label;
    int labelLeft = 0; // time labels
    bool drawn = false;
};

// Everything one plot draws, in the view's coordinates.
struct PlotLayout {
    PlotState state;
    PlotRect frame;
    QString title;
    QString unitWord; // "Seconds" or "Minutes"
    int rowHeight = 0, charWidth = 0;
    int titleRowTop = 0, axisRowTop = 0, unitWordLeft = 0, unitWordRight = 0;
    std::vector<AxisTick> timeTicks;
    std::vector<AxisTick> pressureTicks;
    bool curve = false;
};

QString PlotTitle(int kind, const CVtkDoc& doc);
// "Seconds" or "Minutes", the label of time tick `v` of a scaled plot, and
// whether the plot draws its curve; shared by the view and the printed page.
QString TimeUnitWord(const PlotState& state);
QString TimeTickLabel(const PlotState& state, int v);
bool HasCurve(const PlotState& state);
// `left` is the left edge of the drawing: the scroll position's x shifted.
PlotLayout LayoutPlot(int kind, const PlotRect& frame, int left, const CVtkDoc& doc,
                      const ReportFonts& fonts);
void DrawPlot(QPainter& painter, const PlotLayout& layout, const CVtkDoc& doc);
