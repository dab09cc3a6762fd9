// Writes the program's icon, the gauge of its window icon, as PNG files for
// the desktop's icon theme: DIR/SIZE/vtq-ppc.png for each size.

#include "framework/Resources.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: make-icon DIR\n", stderr);
        return 2;
    }
    for (int size : {48, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            // As the window icon draws it, a pixel in from each side per 32.
            const double inset = size / 32.0;
            DrawGauge(p, QRectF(inset, inset, size - 2 * inset, size - 2 * inset), 60);
        }
        const QString dir = QStringLiteral("%1/%2").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/vtq-ppc.png"), "PNG")) {
            std::fprintf(stderr, "make-icon: cannot write %s\n", qUtf8Printable(dir));
            return 1;
        }
    }
    return 0;
}
