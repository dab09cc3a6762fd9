#include "report/ReportPdf.h"

#include "framework/Strings.h"
#include "platform/WholeFile.h"
#include "report/PrinterCE.h"
#include "report/ReportPrint.h"
#include "report/VtkDoc.h"

#include <QFontDatabase>
#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace {
// The check as plain lines in a fixed-width font, each wrapped to the page.
void DrawCheckPage(QPainter& painter, QPdfWriter& writer, const CVtkDoc& doc, QStringList lines) {
    writer.newPage();
    // Which joint this is, as the first page names it.
    const auto field = [&](ReportField f) { return doc.Field(f).text; };
    lines.prepend(QString());
    lines.prepend(QStringLiteral("Job Number %1, Joint Number %2, %3/%4/%5  %6:%7:%8")
                      .arg(field(RF_JOB_NUMBER))
                      .arg(doc.Field(RF_JOINT_NUMBER).number)
                      .arg(doc.Field(RF_YEAR).number, 4, 10, QLatin1Char('0'))
                      .arg(doc.Field(RF_MONTH).number, 2, 10, QLatin1Char('0'))
                      .arg(doc.Field(RF_DAY).number, 2, 10, QLatin1Char('0'))
                      .arg(doc.Field(RF_HOUR).number, 2, 10, QLatin1Char('0'))
                      .arg(doc.Field(RF_MINUTE).number, 2, 10, QLatin1Char('0'))
                      .arg(doc.Field(RF_SECOND).number, 2, 10, QLatin1Char('0')));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9);
    QFont title = font;
    title.setBold(true);
    title.setPointSizeF(13);
    const int width = writer.width();
    painter.setPen(Qt::black);
    painter.setFont(title);
    QRect used = painter.boundingRect(QRect(0, 0, width, writer.height()), Qt::TextWordWrap,
                                      QStringLiteral("Procedure check"));
    painter.drawText(used, Qt::TextWordWrap, QStringLiteral("Procedure check"));
    int y = used.bottom() + used.height() / 2;
    painter.setFont(font);
    for (const QString& line : lines) {
        const QString text = line.isEmpty() ? QStringLiteral(" ") : line;
        used =
            painter.boundingRect(QRect(0, y, width, writer.height() - y), Qt::TextWordWrap, text);
        painter.drawText(used, Qt::TextWordWrap, text);
        y = used.bottom() + 1;
    }
}
} // namespace

bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator,
                        const QStringList* check) {
    // Drawn into a file beside `out` and renamed over it only when the pages
    // are complete: a failed write leaves no part of a page and whatever was
    // there before.
    return WriteWholeFileWith(out, [&doc, &creator, check](QIODevice& file) {
        QPdfWriter writer(&file);
        writer.setTitle(LoadString(IDS_PRINT_TITLE));
        writer.setCreator(creator);
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        CPrinterCE printer;
        printer.SetDevice(&writer);
        if (check)
            printer.SetFollowingPages(
                [&](QPainter& painter) { DrawCheckPage(painter, writer, doc, *check); });
        PrintReport(printer, doc);
        return !printer.Failed() && file.size() > 0;
    });
}
