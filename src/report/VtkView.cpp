#include "report/VtkView.h"

#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/Resources.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "platform/PrintDialog.h"
#include "report/PrinterCE.h"
#include "report/ReportPrint.h"
#include "report/SearchRangeDlg.h"
#include "report/VtkDoc.h"
#include "session/ReportStorage.h"

#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>

CVtkView::CVtkView(CVtkDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), m_doc(doc) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(palette);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_fonts = MakeReportFonts();
    m_bLayout = true;
    EnsureReportFolder();
}

void CVtkView::OnUpdate() {
    viewport()->update();
}

CVtkView::~CVtkView() = default;

bool CVtkView::CanPrint() {
    return !g_strReportPath.isEmpty();
}

void CVtkView::OnFilePrint() {
    if (MessageBox(LoadString(IDS_PRINTER_ON_Q), LoadString(IDS_REMINDER),
                   MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    if (!m_doc.IsLoaded())
        return;
    QPrinter device(QPrinter::HighResolution);
    device.setDocName(LoadString(IDS_PRINT_TITLE));
    if (!PromptPrinter(device))
        return;
    // The control is made once and kept, like the handheld's.
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<CPrinterCE>();
    QPainter painter;
    const bool opened = painter.begin(&device);
    DrawReportPage(painter, QRectF(0, 0, device.width(), device.height()), *m_pPrinter, m_doc);
    QString error;
    if (!opened)
        error = QStringLiteral("the printer could not be opened");
    else if (!painter.end() || device.printerState() == QPrinter::Error)
        error = QStringLiteral("the page could not be sent to the printer");
    if (!error.isEmpty()) {
        const QString target =
            device.outputFileName().isEmpty() ? device.printerName() : device.outputFileName();
        MessageBox(QStringLiteral("The report was not printed on %1: %2.").arg(target, error),
                   QString(), MB_OK | MB_ICONERROR);
    }
}

bool CVtkView::CanSearchRange() {
    return !g_strReportPath.isEmpty();
}

void CVtkView::OnSearchRange() {
    CSearchRangeDlg dialog(this);
    if (RunModal(dialog) != IDOK)
        return;
    g_nSearchPercent = dialog.m_nPercent;
    viewport()->update();
    g_bReportChanged = true;
}

void CVtkView::SetScrollSizes(QSize total) {
    m_scrollSize = total;
    const QSize page = viewport()->size();
    // The framework's defaults: a page is a tenth of the whole, a line a
    // tenth of a page.
    horizontalScrollBar()->setRange(0, std::max(0, total.width() - page.width()));
    verticalScrollBar()->setRange(0, std::max(0, total.height() - page.height()));
    horizontalScrollBar()->setPageStep(std::max(1, total.width() / 10));
    verticalScrollBar()->setPageStep(std::max(1, total.height() / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, total.width() / 100));
    verticalScrollBar()->setSingleStep(std::max(1, total.height() / 100));
}

QPoint CVtkView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CVtkView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    SetScrollSizes(m_scrollSize);
}

void CVtkView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    OnDraw(painter);
}

void CVtkView::OnDraw(QPainter& painter) {
    if (g_strReportPath.isEmpty()) {
        if (m_bLayout) {
            SetScrollSizes(QSize(0, 0));
            m_bLayout = false;
        }
        painter.drawPixmap(0, 0, LoadBitmapResource(144));
        if (!m_bFirstEmptyDrawn) {
            m_bFirstEmptyDrawn = true;
            // Asked after the picture is up, so the message does not stand
            // over an empty window.
            QTimer::singleShot(0, this, [] { EnsureBackupFolder(); });
        }
        return;
    }
    m_bLayout = true;
    if (g_bReportChanged) {
        if (m_doc.LoadReport())
            PrepareReport(m_doc);
        if (g_strReportPath.isEmpty()) {
            // Not a readable report: the view shows none, and the report
            // commands go out with it.
            g_bReportChanged = false;
            m_doc.UpdateAllViews();
            return;
        }
        SetScrollSizes(
            ReportScrollSize(ReportTextHeight(m_doc, m_fonts.lineHeight), m_fonts.lineHeight));
        viewport()->update();
        g_bReportChanged = false;
    }
    if (!m_doc.IsLoaded())
        return;
    DrawReport(painter, m_doc, m_fonts, ScrollPosition());
}
