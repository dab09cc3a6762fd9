#include "report/ReportPrint.h"

#include "framework/Format.h"
#include "framework/Strings.h"
#include "report/PrinterCE.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QPainter>
#include <algorithm>

namespace {
// The plot state as printing scales it: the view's integer rules, with the
// area in page units for the mappings below.
struct PrintPlotState {
    PlotState scale;
    PrintRect area;
};

float TimeToPrintX(const PrintPlotState& s, int t) {
    const PrintRect& a = s.area;
    const int span = s.scale.end - s.scale.start;
    // A window of no width (only a damaged report makes one) maps to its left.
    float x = a.left;
    if (span > 0)
        x = a.left + static_cast<float>(std::max(t, s.scale.start) - s.scale.start) *
                         (a.right - a.left) / static_cast<float>(span);
    return std::max(std::min(x, a.right), a.left);
}

float PressureToPrintY(const PrintPlotState& s, int psi) {
    const PrintRect& a = s.area;
    float y = a.bottom;
    if (s.scale.topPsi > 0)
        y = a.bottom -
            static_cast<float>(psi) * (a.bottom - a.top) / static_cast<float>(s.scale.topPsi);
    return std::max(std::min(y, a.bottom), a.top);
}
} // namespace

void SetupPrinter(CPrinterCE& printer) {
    if (!printer.IsCreated()) {
        printer.Create();
        printer.SelectPrinter(QStringLiteral("EXTECH"));
    }
    printer.BeginSetup();
    printer.SetProp11(5);
    printer.Method63(5, 1, 2.5f, 12.0f, 0, 0, 0, 0);
    printer.SetProp11(6);
    printer.SetFontName(QStringLiteral("Tahoma"));
    printer.SetProp13(0);
    printer.Method54(0);
    printer.SetProp28(0);
    printer.SetProp29(0);
    printer.SetProp50(1);
    printer.SetProp26(0);
    printer.Method64(0, 0.0f, 2, 0, 0, 1, 0, 0);
}

void PrintText(CPrinterCE& printer, const QString& text, float x, float y) {
    printer.DrawText(text, x, y);
}

PrintRect PrintPlotBox(CPrinterCE& printer, const PrintRect& box) {
    printer.SetLineWidth(0.1f);
    printer.DrawRectangle(box.left, box.top, box.right, box.bottom);
    printer.SetFontSize(8);
    const QString widest = QStringLiteral("Kg/cm²");
    const float u = printer.TextWidth(widest);
    const float v = printer.TextHeight(widest);
    return {box.left + u, box.top + 1.25f * v, box.right - 1, box.bottom - 1.25f * v};
}

void PrintPlot(CPrinterCE& printer, int kind, const PrintRect& area, const CVtkDoc& doc) {
    const PrintRect& a = area;
    printer.SetLineWidth(0.1f);
    printer.DrawRectangle(a.left, a.top, a.right, a.bottom);

    const QString unit = doc.PressUnit();
    float w = printer.TextWidth(unit);
    float h = printer.TextHeight(unit);
    PrintText(printer, unit, a.left - w, a.top - h - 0.5f);
    const QString title = PlotTitle(kind, doc);
    w = printer.TextWidth(title);
    h = printer.TextHeight(title);
    PrintText(printer, title, a.left + ((a.right - a.left) - w) * 0.5f, a.top - h - 0.5f);

    PrintPlotState s;
    s.scale.kind = kind;
    s.area = area;
    ScalePlot(s.scale, doc);
    const PlotState& p = s.scale;

    printer.SetLineWidth(0.1f);
    const QString word = TimeUnitWord(p);
    PrintText(printer, word, 0.7f, a.bottom + 0.1f);
    const float e = printer.TextWidth(word) + 0.7f;
    for (int v = p.timeStep; v < p.end - p.start; v += p.timeStep) {
        const float x = TimeToPrintX(s, p.start + v);
        printer.DrawLine(x, a.top, x, a.bottom);
        const QString label = TimeTickLabel(p, v);
        const float lw = printer.TextWidth(label);
        const float lx = x - lw * 0.5f;
        if (lx >= e && lx + lw < a.right)
            PrintText(printer, label, lx, a.bottom + 0.1f);
    }
    for (int v = p.pressStep; v < p.top; v += p.pressStep) {
        const float y = PressureToPrintY(s, static_cast<int>(v * doc.PsiPerUnit()));
        printer.DrawLine(a.left, y, a.right, y);
        const QString label = Format(QStringLiteral("%d"), {v});
        const float lw = printer.TextWidth(label);
        const float lh = printer.TextHeight(label);
        if (y > a.top + lh * 0.5f && y < a.bottom - lh * 0.5f)
            PrintText(printer, label, a.left - lw - 0.5f, y - lh * 0.5f);
    }

    if (!HasCurve(p))
        return;
    printer.SetLineWidth(0.4f);
    const int divisor = p.minutes ? 60 : 1;
    for (int i = 0; i + 1 < doc.SampleCount(); ++i) {
        const float x1 = TimeToPrintX(s, doc.TimeAt(i) / divisor);
        const float y1 = PressureToPrintY(s, doc.PressureAt(i));
        const float x2 = TimeToPrintX(s, doc.TimeAt(i + 1) / divisor);
        const float y2 = PressureToPrintY(s, doc.PressureAt(i + 1));
        if (!(kind == kHeaterRemovalPlot && x2 <= a.left))
            printer.DrawLine(x1, y1, x2, y2);
        if (x2 >= a.right)
            break;
    }
}

void PrintReport(CPrinterCE& printer, const CVtkDoc& doc) {
    SetupPrinter(printer);
    printer.SetLineWidth(0.3f);
    printer.DrawLine(0, 0, kPageWidth, 0);

    if (doc.DemoFlag() != 0) {
        printer.SetFontSize(40);
        printer.SetBold(1);
        printer.SetTextColor(0x787878);
        for (float y : {15.0f, 50.0f, 85.0f, 120.0f, 155.0f})
            PrintText(printer, QStringLiteral("Demo"), 8, y);
        printer.SetTextColor(0);
    }

    printer.SetFontSize(12);
    printer.SetBold(1);
    const QString title = LoadString(IDS_PRINT_TITLE);
    const float w = printer.TextWidth(title);
    const float h = printer.TextHeight(title);
    PrintText(printer, title, (kPageWidth - w) * 0.5f, 4);
    float y = h * 2 + 4;
    float x = 0;
    printer.SetFontSize(8);
    printer.SetBold(0);
    const float lineHeight = printer.TextHeight(QStringLiteral("Average"));
    const QString recorded = LoadString(IDS_HDR_RECORDED_DATA);
    bool oneARow = false;
    const QStringList& entries = doc.ReportText();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        // The view's first label doubles its "&" for the view's mnemonics;
        // the page prints it once.
        PrintText(printer, i == 0 ? LoadString(IDS_PRINT_DATE_TIME) : entries[i], x, y);
        oneARow = oneARow || entries[i] == recorded;
        if (x == kValueColumn || oneARow) {
            x = 0;
            y += lineHeight;
        } else {
            x = kValueColumn;
        }
    }
    const float top = y + lineHeight;

    const int kinds[3] = {kFrontEndPlot, kHeaterRemovalPlot, kSummaryPlot};
    for (int i = 0; i < 3; ++i) {
        const float boxTop = top + 35.0f * static_cast<float>(i);
        const PrintRect area = PrintPlotBox(printer, {0, boxTop, kPageWidth, boxTop + 30});
        PrintPlot(printer, kinds[i], area, doc);
    }
    printer.EndPage();
}

void DrawReportPage(QPainter& painter, const QRectF& rect, CPrinterCE& printer,
                    const CVtkDoc& doc) {
    PrintReport(printer, doc);
    if (painter.isActive())
        printer.DrawPage(painter, rect);
}
