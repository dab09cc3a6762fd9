#include "report/VtkView.h"

#include "framework/Globals.h"
#include "framework/Resources.h"
#include "session/ReportStorage.h"

#include <QPainter>
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
    EnsureReportFolder();
}

void CVtkView::OnUpdate() {
    viewport()->update();
}

void CVtkView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    OnDraw(painter);
}

void CVtkView::OnDraw(QPainter& painter) {
    if (g_strReportPath.isEmpty()) {
        if (m_bLayout) {
            horizontalScrollBar()->setRange(0, 0);
            verticalScrollBar()->setRange(0, 0);
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
}
