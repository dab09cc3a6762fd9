#pragma once
// The shown report on paper, drawn through the printing control: the rule,
// the title, the report text in two columns, and the three pressure plots
// with the view's axis scaling, on a page 46 units wide.

class CPrinterCE;
class CVtkDoc;
class QPainter;
class QRectF;
class QString;

constexpr float kPageWidth = 46.0f;
constexpr float kValueColumn = 16.5f;

struct PrintRect {
    float left = 0, top = 0, right = 0, bottom = 0;
};

// Creates the control on its first use, then sets it up for a page.
void SetupPrinter(CPrinterCE& printer);
void PrintText(CPrinterCE& printer, const QString& text, float x, float y);
// Frames a plot's box and returns its plot area.
PrintRect PrintPlotBox(CPrinterCE& printer, const PrintRect& box);
// One plot of `kind` in the plot area `area`.
void PrintPlot(CPrinterCE& printer, int kind, const PrintRect& area, const CVtkDoc& doc);
// The whole page, from the setup to its end.
void PrintReport(CPrinterCE& printer, const CVtkDoc& doc);
// The printed page of `doc` into `rect` of `painter`: the whole page through
// `printer` (PrintReport), then drawn as the control draws it. Print, the
// report's PDF and the library's job dossier all draw it so. The members are
// called also when the painter is not active (no printer could be opened),
// as the handheld's control took them without one.
void DrawReportPage(QPainter& painter, const QRectF& rect, CPrinterCE& printer, const CVtkDoc& doc);
