#include "app/ToolbarIcons.h"

#include "app/Commands.h"
#include "framework/Resources.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {
QPixmap ToolbarPixmap(int commandId) {
    QPixmap pixmap = BlankPixmap(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (commandId) {
    case ID_LOG_STATUS:
        DrawGauge(p, QRectF(1, 1, 14, 14), 50);
        break;
    case ID_FILE_OPEN_REPORT: {
        p.setPen(QPen(QColor(0x8a, 0x6d, 0x1c), 1));
        p.setBrush(QColor(0xf2, 0xd0, 0x6b));
        p.drawRect(QRectF(1.5, 4.5, 12, 9));
        p.setBrush(QColor(0xfa, 0xe3, 0x9c));
        QPainterPath lid;
        lid.moveTo(3.5, 7.5);
        lid.lineTo(15.5, 7.5);
        lid.lineTo(13.5, 13.5);
        lid.lineTo(1.5, 13.5);
        lid.closeSubpath();
        p.drawPath(lid);
        break;
    }
    case ID_FILE_PRINT_REPORT:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 6));
        p.setBrush(QColor(0x9a, 0x9a, 0x9a));
        p.drawRect(QRectF(1.5, 7.5, 13, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 11.5, 7, 3));
        break;
    case ID_APPEND_NOTES:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 1.5, 9, 13));
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        for (int y = 5; y <= 11; y += 3)
            p.drawLine(QPointF(4.5, y + 0.5), QPointF(9.5, y + 0.5));
        p.setPen(QPen(kOrange, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 13), QPointF(14.5, 6.5));
        break;
    case ID_APP_ABOUT:
        p.setPen(Qt::NoPen);
        p.setBrush(kNavy);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::white);
        {
            QFont f(QStringLiteral("DejaVu Serif"));
            f.setPixelSize(12);
            f.setBold(true);
            p.setFont(f);
        }
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
        break;
    default:
        break;
    }
    return pixmap;
}
} // namespace

QIcon ToolbarIcon(int commandId) {
    return QIcon(ToolbarPixmap(commandId));
}
