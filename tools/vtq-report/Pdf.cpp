#include "Pdf.h"

#include "framework/Strings.h"
#include "platform/WholeFile.h"
#include "report/PrinterCE.h"
#include "report/ReportPrint.h"
#include "report/VtkDoc.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPdfWriter>
#include <cstdio>

bool WriteReportPdf(const CVtkDoc& doc, const QString& out) {
    // Drawn into a file beside `out` and renamed over it only when the page
    // is complete: a failed write leaves no part of a page and whatever was
    // there before.
    const bool written = WriteWholeFileWith(out, [&doc](QIODevice& file) {
        QPdfWriter writer(&file);
        writer.setTitle(LoadString(IDS_PRINT_TITLE));
        writer.setCreator(QStringLiteral("vtq-report"));
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        CPrinterCE printer;
        printer.SetDevice(&writer);
        PrintReport(printer, doc);
        return !printer.Failed() && file.size() > 0;
    });
    if (!written) {
        std::fprintf(stderr, "vtq-report: cannot write %s\n", qUtf8Printable(out));
        return false;
    }
    return true;
}
