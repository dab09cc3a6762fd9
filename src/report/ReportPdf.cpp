#include "report/ReportPdf.h"

#include "framework/Strings.h"
#include "report/PrinterCE.h"
#include "report/ReportPrint.h"
#include "report/VtkDoc.h"

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>

bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator) {
    bool written = false;
    {
        QPdfWriter writer(out);
        writer.setTitle(LoadString(IDS_PRINT_TITLE));
        writer.setCreator(creator);
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        CPrinterCE printer;
        printer.SetDevice(&writer);
        PrintReport(printer, doc);
        written = !printer.Failed();
    }
    // The writer opens its file only to draw; a file that could not be made
    // is not there.
    return written && QFile::exists(out) && QFile(out).size() > 0;
}
