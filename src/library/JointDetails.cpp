#include "library/JointDetails.h"

#include "check/ProcedureCheck.h"
#include "library/JointExport.h"
#include "library/VerdictBook.h"
#include "report/ReportDrawing.h"
#include "report/VtkDoc.h"

#include <QPainter>

JointDetails ReadJointDetails(const JointRow& row, qreal pixelRatio, const CVerdictBook& verdicts) {
    JointDetails d;
    d.jointId = row.id;
    if (row.id <= 0) {
        d.failure = row.files.value(0) + QStringLiteral(": not a joint report (") + row.reason +
                    QLatin1Char(')');
        return d;
    }
    CVtkDoc doc{CVtkDoc::Detached{}};
    bool cut = false;
    d.file = LoadIndexedCopy(doc, row, d.failure, cut);
    if (d.file.isEmpty())
        return d;
    // The check reads the samples as recorded; the view's text and plots
    // are prepared after it.
    CheckResult checked;
    QString why;
    if (verdicts.Judge(doc, d.file, cut, checked, why))
        d.check = std::move(checked);
    else
        d.notJudged = why;
    PrepareReport(doc);
    d.text = ReportRows(doc.ReportText());
    const ReportFonts fonts = MakeReportFonts();
    // Wider than the handheld's 220 pixels, so that a title in a desktop's
    // font stays clear of the unit beside it; the plot scales to its frame.
    const PlotRect frame{0, 0, kDetailsPlotWidth, kDetailsPlotHeight};
    for (size_t i = 0; i < d.plots.size(); ++i) {
        QImage image(qRound(kDetailsPlotWidth * pixelRatio),
                     qRound(kDetailsPlotHeight * pixelRatio), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(pixelRatio);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(QColor(192, 192, 192));
        painter.drawRect(frame.left, frame.top, frame.right - frame.left - 1,
                         frame.bottom - frame.top - 1);
        DrawPlot(painter, LayoutPlot(kFramePlots[i], frame, 0, doc, fonts), doc);
        painter.end();
        d.plots[i] = image;
    }
    doc.Unload();
    return d;
}
