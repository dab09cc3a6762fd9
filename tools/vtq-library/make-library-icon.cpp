// Writes the library's icon, a stack of joint reports under a magnifier, as
// PNG files for the desktop's icon theme: DIR/SIZE/vtq-library.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {
void DrawSheet(QPainter& p, const QRectF& r, bool front) {
    p.setPen(QPen(QColor(0x37, 0x47, 0x4f), r.width() / 40));
    p.setBrush(front ? QColor(0xfa, 0xfa, 0xf5) : QColor(0xdd, 0xe3, 0xe6));
    p.drawRoundedRect(r, r.width() / 24, r.width() / 24);
    if (!front)
        return;
    // Text rows, then a pressure trace: bead, soak, fuse and cool.
    p.setPen(QPen(QColor(0x90, 0xa4, 0xae), r.height() / 40));
    for (int i = 0; i < 3; ++i) {
        const double y = r.top() + r.height() * (0.16 + 0.1 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.14, y),
                   QPointF(r.left() + r.width() * (i == 2 ? 0.6 : 0.86), y));
    }
    QPainterPath trace;
    const auto at = [&](double x, double y) {
        return QPointF(r.left() + r.width() * x, r.top() + r.height() * y);
    };
    trace.moveTo(at(0.12, 0.86));
    for (const auto& [x, y] :
         {std::pair{0.2, 0.56}, {0.38, 0.56}, {0.42, 0.8}, {0.54, 0.8}, {0.6, 0.52}, {0.88, 0.52}})
        trace.lineTo(at(x, y));
    p.setPen(QPen(QColor(0xd8, 0x43, 0x15), r.height() / 24, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: make-library-icon DIR\n", stderr);
        return 2;
    }
    for (int size : {48, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            const double s = size;
            DrawSheet(p, QRectF(s * 0.30, s * 0.04, s * 0.56, s * 0.70), false);
            DrawSheet(p, QRectF(s * 0.20, s * 0.12, s * 0.56, s * 0.70), false);
            DrawSheet(p, QRectF(s * 0.08, s * 0.22, s * 0.56, s * 0.72), true);
            // The magnifier over the lower right corner.
            p.setPen(QPen(QColor(0x26, 0x32, 0x38), s * 0.07, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.80, s * 0.80), QPointF(s * 0.94, s * 0.94));
            p.setPen(QPen(QColor(0x26, 0x32, 0x38), s * 0.05));
            p.setBrush(QColor(0xb3, 0xe5, 0xfc, 0xa0));
            p.drawEllipse(QPointF(s * 0.68, s * 0.68), s * 0.17, s * 0.17);
        }
        const QString dir = QStringLiteral("%1/%2").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/vtq-library.png"), "PNG")) {
            std::fprintf(stderr, "make-library-icon: cannot write %s\n", qUtf8Printable(dir));
            return 1;
        }
    }
    return 0;
}
