#pragma once
// The report as the view draws it: the demonstration watermark, the report
// text in rows (labels at x = 10, values at x = 88) and the three plot frames
// below it. Shared by the view and by vtq-report's pictures.

#include "report/ReportPlot.h"

#include <QSize>
#include <array>

class CVtkDoc;
class QPainter;

constexpr int kLabelX = 10;
constexpr int kValueX = 88;
constexpr int kRowRight = 240;
constexpr int kScrollWidth = 280;
constexpr int kPlotHeight = 120;
constexpr int kPlotLeft = 5;
constexpr int kPlotRight = 225;

// What the view shows of a report just read: builds its text and prepares
// its samples for the plots (smoothing, maximum, front-end search).
void PrepareReport(CVtkDoc& doc);

// The bottom of the row that would follow the last entry of the report text.
int ReportTextHeight(const CVtkDoc& doc, int lineHeight);
// The scroll sizes for a report whose text ends at `textHeight`.
QSize ReportScrollSize(int textHeight, int lineHeight);
// The three plot frames, front-end first, for text ending at `textHeight`.
std::array<PlotRect, 3> PlotFrames(int textHeight, int lineHeight);
// The kinds drawn in those frames, in order.
inline constexpr std::array<int, 3> kFramePlots = {kFrontEndPlot, kHeaterRemovalPlot, kSummaryPlot};

// Draws the report with everything shifted by -scroll.
void DrawReport(QPainter& painter, const CVtkDoc& doc, const ReportFonts& fonts, QPoint scroll);
