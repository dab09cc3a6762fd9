// The report reader, the report text, the plot preparation and the
// procedure check on any bytes: nothing may be read past the file image, and
// no arithmetic may overflow.

#include "check/ProcedureCheck.h"
#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "report/ReportDrawing.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

namespace {
// Made once and kept to the end of the process: libFuzzer leaves through
// exit(), after which Qt cannot be taken down in order.
QGuiApplication* g_app = nullptr;
CVtkDoc* g_doc = nullptr;
ReportFonts* g_fonts = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QGuiApplication(*argc, *argv);
    LoadProgramFonts();
    g_fonts = new ReportFonts(MakeReportFonts());
    g_doc = new CVtkDoc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Every search range the dialog offers, and none.
    g_nSearchPercent = static_cast<int>(size % 21) * 5;
    CVtkDoc& doc = *g_doc;
    if (!doc.LoadReportImage(image))
        return 0;
    PrepareReport(doc);
    for (const ReportRow& row : ReportRows(doc.ReportText()))
        (void)WithoutMnemonics(row.first + row.second);
    const int h = ReportTextHeight(doc, g_fonts->lineHeight);
    const auto frames = PlotFrames(h, g_fonts->lineHeight);
    long long sum = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const PlotLayout l = LayoutPlot(kFramePlots[i], frames[i], 0, doc, *g_fonts);
        // The curve's points, as drawing maps them.
        const int divisor = l.state.minutes ? 60 : 1;
        for (int s = 0; s < doc.SampleCount(); ++s)
            sum +=
                TimeToX(l.state, doc.TimeAt(s) / divisor) + PressureToY(l.state, doc.PressureAt(s));
    }
    // The check reads the same fields and samples, no-reading ones included.
    const CheckResult check =
        CheckReport(doc, size % 2 ? QStringLiteral("j.kjr") : QStringLiteral("j (incomplete).kjr"),
                    DefaultProcedure());
    sum += CheckResultLines(check).size() + CheckResultJson(check, QString()).size();
    return sum == -1 ? 1 : 0;
}
