#include "framework/Resources.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

const QColor kNavy(0x1f, 0x3a, 0x5f);
const QColor kOrange(0xe8, 0x7a, 0x1e);

QPixmap BlankPixmap(int w, int h) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawGauge(QPainter& p, QRectF r, double needleDegrees) {
    p.setPen(QPen(kNavy, std::max(1.0, r.width() / 14)));
    p.setBrush(Qt::white);
    p.drawEllipse(r);
    const QPointF c = r.center();
    const double radius = r.width() / 2;
    p.setPen(QPen(kNavy, std::max(1.0, r.width() / 28)));
    for (int i = 0; i <= 8; ++i) {
        const double a = qDegreesToRadians(225.0 - i * 270.0 / 8);
        const QPointF outer(c.x() + std::cos(a) * radius * 0.80,
                            c.y() - std::sin(a) * radius * 0.80);
        const QPointF inner(c.x() + std::cos(a) * radius * 0.62,
                            c.y() - std::sin(a) * radius * 0.62);
        p.drawLine(inner, outer);
    }
    const double a = qDegreesToRadians(needleDegrees);
    p.setPen(QPen(kOrange, std::max(1.5, r.width() / 12), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, QPointF(c.x() + std::cos(a) * radius * 0.7, c.y() - std::sin(a) * radius * 0.7));
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawEllipse(c, radius / 7, radius / 7);
}

namespace {
const QColor kPipe(0x2b, 0x2b, 0x2b);

QPixmap AppIcon(int size) {
    QPixmap pixmap = BlankPixmap(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGauge(p, QRectF(1, 1, size - 2, size - 2), 60);
    return pixmap;
}

// Two pipe ends butted together, with the fusion bead at the joint.
void DrawPipeJoint(QPainter& p, QRectF r) {
    const double mid = r.center().x();
    const double h = r.height();
    QLinearGradient shade(0, r.top(), 0, r.bottom());
    shade.setColorAt(0, QColor(0x55, 0x55, 0x55));
    shade.setColorAt(0.35, QColor(0x8a, 0x8a, 0x8a));
    shade.setColorAt(1, QColor(0x1a, 0x1a, 0x1a));
    p.setPen(QPen(kPipe, 1));
    p.setBrush(shade);
    p.drawRect(QRectF(r.left(), r.top(), mid - r.left() - 3, h));
    p.drawRect(QRectF(mid + 3, r.top(), r.right() - mid - 3, h));
    // The bead rolls out on both sides of the joint.
    p.setBrush(QColor(0x3a, 0x3a, 0x3a));
    p.drawRoundedRect(QRectF(mid - 7, r.top() - 5, 14, h + 10), 6, 6);
    p.setPen(QPen(QColor(0x99, 0x99, 0x99), 1));
    p.drawLine(QPointF(mid, r.top() - 4), QPointF(mid, r.bottom() + 4));
    // A yellow stripe, as on gas pipe.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xc2, 0x1b));
    p.drawRect(QRectF(r.left(), r.top() + h * 0.18, mid - r.left() - 10, h * 0.1));
    p.drawRect(QRectF(mid + 10, r.top() + h * 0.18, r.right() - mid - 10, h * 0.1));
}

QPixmap StartupPicture() {
    QPixmap pixmap(kStartupWidth, kStartupHeight);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Title band.
    p.fillRect(QRect(0, 0, kStartupWidth, 56), kNavy);
    QFont title(QStringLiteral("Tahoma"));
    title.setPixelSize(24);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 4, kStartupWidth, 30), Qt::AlignCenter, QStringLiteral("Kelvorn"));
    QFont sub(QStringLiteral("Tahoma"));
    sub.setPixelSize(13);
    p.setFont(sub);
    p.setPen(QColor(0xf2, 0xc2, 0x1b));
    p.drawText(QRect(0, 32, kStartupWidth, 20), Qt::AlignCenter, QStringLiteral("VTQ-PPC"));
    // A gauge on the pipe joint.
    DrawPipeJoint(p, QRectF(18, 170, 204, 34));
    p.setPen(QPen(kNavy, 4));
    p.drawLine(QPointF(120, 152), QPointF(120, 160));
    DrawGauge(p, QRectF(78, 70, 84, 84), 35);
    p.fillRect(QRectF(112, 152, 16, 14), kNavy);
    // What the program is for.
    QFont text(QStringLiteral("Tahoma"));
    text.setPixelSize(11);
    p.setFont(text);
    p.setPen(kNavy);
    p.drawText(QRect(0, 218, kStartupWidth, 16), Qt::AlignCenter,
               QStringLiteral("Fusion pressure and temperature"));
    p.drawText(QRect(0, 233, kStartupWidth, 16), Qt::AlignCenter, QStringLiteral("data logging"));
    p.fillRect(QRect(0, kStartupHeight - 6, kStartupWidth, 6), kOrange);
    return pixmap;
}

// A battery with a red warning stripe: the Vantrek's battery is low.
QPixmap BatteryWarning() {
    QPixmap pixmap = BlankPixmap(10, 16);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 2.5, 9, 13));
    p.fillRect(QRectF(3, 0, 4, 3), Qt::black);
    p.fillRect(QRectF(2, 11, 6, 3), QColor(0xd0, 0x10, 0x10));
    return pixmap;
}

} // namespace

QPixmap DemoBannerPixmap(int width) {
    QPixmap pixmap(std::max(width, 1), kDemoBannerHeight);
    pixmap.fill(kOrange);
    // The full words where they fit, else smaller, else shorter; the last
    // choice is drawn whatever the width.
    struct Choice {
        const char* text;
        int pixels;
    };
    static const Choice choices[] = {{"DEMONSTRATION MODE", 9},
                                     {"DEMONSTRATION MODE", 8},
                                     {"DEMO MODE", 9},
                                     {"DEMO MODE", 8},
                                     {"DEMO", 8}};
    QFont font(QStringLiteral("Tahoma"));
    font.setBold(true);
    QString text;
    for (const Choice& choice : choices) {
        font.setPixelSize(choice.pixels);
        text = QString::fromLatin1(choice.text);
        if (QFontMetrics(font).horizontalAdvance(text) + 4 <= width)
            break;
    }
    QPainter p(&pixmap);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pixmap.rect(), Qt::AlignCenter, text);
    return pixmap;
}

QIcon LoadIconResource(int id) {
    QIcon icon;
    if (id == 128)
        for (int size : {16, 32, 48})
            icon.addPixmap(AppIcon(size));
    return icon;
}

QPixmap LoadBitmapResource(int id) {
    switch (id) {
    case 142:
        return BatteryWarning();
    case 144:
        return StartupPicture();
    case 168:
        return DemoBannerPixmap(kDemoBannerWidth);
    default:
        break;
    }
    return QPixmap();
}
