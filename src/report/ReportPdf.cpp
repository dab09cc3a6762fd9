#include "report/ReportPdf.h"

#include "framework/Strings.h"
#include "platform/WholeFile.h"
#include "report/CheckPages.h"
#include "report/PrinterCE.h"
#include "report/ReportPrint.h"

#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>

QPageLayout ReportPdfLayout(const QPageSize& size) {
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator,
                        const QStringList* check) {
    // Drawn into a file beside `out` and renamed over it only when the pages
    // are complete: a failed write leaves no part of a page and whatever was
    // there before.
    return WriteWholeFileWith(out, [&doc, &creator, check](QIODevice& file) {
        QPdfWriter writer(&file);
        writer.setTitle(LoadString(IDS_PRINT_TITLE));
        writer.setCreator(creator);
        writer.setResolution(kPdfResolution);
        writer.setPageLayout(ReportPdfLayout());
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        CPrinterCE printer;
        DrawReportPage(painter, QRectF(0, 0, writer.width(), writer.height()), printer, doc);
        if (check) {
            const CCheckPages pages(doc, *check, QSize(writer.width(), writer.height()),
                                    writer.resolution());
            for (int i = 0; i < pages.PageCount(); ++i) {
                if (!writer.newPage())
                    return false;
                pages.DrawPage(painter, QPoint(), i);
            }
        }
        return painter.end() && file.size() > 0;
    });
}
