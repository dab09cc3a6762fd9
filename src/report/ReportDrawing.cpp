#include "report/ReportDrawing.h"

#include "report/ReportText.h"
#include "report/VtkDoc.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>

namespace {
// The handheld measures a font by its Windows metrics: height from the
// font's Windows ascent and descent, external leading from the line gap the
// typographic extent leaves over, average width from the OS/2 table. Qt's
// own metrics for the same font may differ by pixels, so they are read
// from the font's tables here, where the font has them.
void MeasureFont(const QFont& font, int& lineHeight, int& charWidth) {
    const QFontMetrics metrics(font);
    lineHeight = metrics.height() + metrics.leading();
    charWidth = metrics.averageCharWidth();
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.fontTable("OS/2");
    const QByteArray hhea = raw.fontTable("hhea");
    const double upem = raw.unitsPerEm();
    if (os2.size() < 78 || hhea.size() < 10 || upem <= 0)
        return;
    auto u16 = [](const QByteArray& table, int at) {
        return static_cast<int>(qFromBigEndian<quint16>(table.constData() + at));
    };
    auto s16 = [](const QByteArray& table, int at) {
        return static_cast<int>(qFromBigEndian<qint16>(table.constData() + at));
    };
    const double scale = font.pixelSize() / upem;
    const int winAscent = u16(os2, 74), winDescent = u16(os2, 76);
    const int ascender = s16(hhea, 4), descender = s16(hhea, 6), lineGap = s16(hhea, 8);
    const int leading = std::max(0, lineGap - ((winAscent + winDescent) - (ascender - descender)));
    lineHeight = qRound((winAscent + winDescent) * scale) + qRound(leading * scale);
    charWidth = qRound(s16(os2, 2) * scale);
}

// The handheld asks for some fonts by cell height (ascent plus descent, the
// font's Windows extent) rather than by em: the pixel size whose cell is
// `cell` pixels high.
int PixelSizeForCell(QFont font, int cell) {
    font.setPixelSize(cell);
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.fontTable("OS/2");
    const double upem = raw.unitsPerEm();
    if (os2.size() >= 78 && upem > 0) {
        const int extent = qFromBigEndian<quint16>(os2.constData() + 74) +
                           qFromBigEndian<quint16>(os2.constData() + 76);
        if (extent > 0)
            return std::max(1, qRound(cell * upem / extent));
    }
    const QFontMetricsF metrics(font);
    const double height = metrics.ascent() + metrics.descent();
    return height > 0 ? std::max(1, qRound(cell * cell / height)) : cell;
}
} // namespace

ReportFonts MakeReportFonts() {
    ReportFonts f;
    f.text = QFont(QStringLiteral("Tahoma"));
    f.text.setPixelSize(11);
    f.text.setWeight(QFont::Normal);
    f.watermark = QFont(QStringLiteral("Tahoma"));
    f.watermark.setWeight(QFont::Bold);
    f.watermark.setPixelSize(PixelSizeForCell(f.watermark, 60));
    f.watermark.setStyleStrategy(QFont::NoAntialias);
    MeasureFont(f.text, f.lineHeight, f.charWidth);
    return f;
}

void PrepareReport(CVtkDoc& doc) {
    doc.SetReportText(BuildReportText(doc));
    PrepareSamples(doc);
}

int ReportTextHeight(const CVtkDoc& doc, int lineHeight) {
    // Every row but those of two entries takes one line; the last row is
    // followed by one more.
    return (static_cast<int>(ReportRows(doc.ReportText()).size()) + 2) * lineHeight;
}

QSize ReportScrollSize(int textHeight, int lineHeight) {
    return {kScrollWidth, textHeight + 2 * (lineHeight + 181)};
}

std::array<PlotRect, 3> PlotFrames(int textHeight, int lineHeight) {
    std::array<PlotRect, 3> frames;
    int top = textHeight;
    for (PlotRect& frame : frames) {
        frame = {kPlotLeft, top, kPlotRight, top + kPlotHeight};
        top += lineHeight + kPlotHeight;
    }
    return frames;
}

void DrawReport(QPainter& painter, const CVtkDoc& doc, const ReportFonts& fonts, QPoint scroll) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    if (doc.DemoFlag() != 0) {
        painter.setFont(fonts.watermark);
        painter.setPen(QColor(220, 220, 220));
        for (int i = 0; i < 6; ++i)
            painter.drawText(QRect(30, 10 + 120 * i, 270, 90),
                             Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignTop,
                             QStringLiteral("Demo"));
    }

    painter.setFont(fonts.text);
    painter.setPen(Qt::black);
    const int lh = fonts.lineHeight;
    int y = lh;
    for (const ReportRow& row : ReportRows(doc.ReportText())) {
        const int top = y - scroll.y();
        painter.drawText(QRect(kLabelX - scroll.x(), top, kRowRight - kLabelX, lh),
                         Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignLeft | Qt::AlignTop,
                         row.first);
        if (row.pair)
            painter.drawText(QRect(kValueX - scroll.x(), top, kRowRight - kValueX, lh),
                             Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignLeft |
                                 Qt::AlignTop,
                             row.second);
        y += lh;
    }
    const int h = y + lh;

    const std::array<PlotRect, 3> frames = PlotFrames(h, lh);
    for (size_t i = 0; i < frames.size(); ++i) {
        PlotRect frame = frames[i];
        frame.left -= scroll.x();
        frame.right -= scroll.x();
        frame.top -= scroll.y();
        frame.bottom -= scroll.y();
        painter.setPen(QColor(192, 192, 192));
        painter.drawRect(frame.left, frame.top, frame.right - frame.left - 1,
                         frame.bottom - frame.top - 1);
        const PlotLayout layout = LayoutPlot(kFramePlots[i], frame, -scroll.x(), doc, fonts);
        DrawPlot(painter, layout, doc);
    }
    painter.restore();
}
