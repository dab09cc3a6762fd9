#include "report/CheckPages.h"

#include "report/VtkDoc.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace {
// Measures fonts as a device of `dpi` draws them, so that pages can be laid
// out (and counted) before the device they go on exists.
class CResolution : public QPaintDevice {
public:
    explicit CResolution(int dpi) : m_nDpi(dpi) {}
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return m_nDpi;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        case PdmDepth:
            return 32;
        default:
            return 1;
        }
    }

private:
    int m_nDpi;
};

QFont LineFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9);
    return font;
}

QFont TitleFont() {
    QFont font = LineFont();
    font.setBold(true);
    font.setPointSizeF(13);
    return font;
}

// Which joint the lines are about, as its printed page names it.
QString JointLine(const CVtkDoc& doc) {
    const auto number = [&](ReportField f, int width) {
        return QStringLiteral("%1").arg(doc.Field(f).number, width, 10, QLatin1Char('0'));
    };
    return QStringLiteral("Job Number %1, Joint Number %2, %3/%4/%5  %6:%7:%8")
        .arg(doc.Field(RF_JOB_NUMBER).text)
        .arg(doc.Field(RF_JOINT_NUMBER).number)
        .arg(number(RF_YEAR, 4), number(RF_MONTH, 2), number(RF_DAY, 2), number(RF_HOUR, 2),
             number(RF_MINUTE, 2), number(RF_SECOND, 2));
}

// `text` broken into the lines word wrapping gives it at `width`.
QStringList WrappedLines(const QString& text, const QFont& font, int width, QPaintDevice* device) {
    QStringList lines;
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}
} // namespace

CCheckPages::CCheckPages(const CVtkDoc& doc, const QStringList& lines, QSize size, int dpi) {
    CResolution device(dpi);
    const QFont font = LineFont();
    const QFontMetrics title(TitleFont(), &device);
    const QFontMetrics metrics(font, &device);
    const int width = size.width();
    const int height = size.height();
    const auto measure = [&](int y, const QString& text) {
        return metrics.boundingRect(QRect(0, y, width, height - y), Qt::TextWordWrap, text);
    };

    const QString heading = JointLine(doc);
    // A page with its title and the joint's line; y where its lines begin.
    int y = 0;
    const auto newPage = [&] {
        Page page;
        page.title = m_pages.empty() ? QStringLiteral("Procedure check")
                                     : QStringLiteral("Procedure check (continued)");
        page.titleRect =
            title.boundingRect(QRect(0, 0, width, height), Qt::TextWordWrap, page.title);
        y = page.titleRect.bottom() + page.titleRect.height() / 2;
        for (const QString& text : {heading, QStringLiteral(" ")}) {
            const QRect used = measure(y, text);
            page.blocks.push_back({used, text});
            y = used.bottom() + 1;
        }
        m_pages.push_back(std::move(page));
    };
    newPage();
    const size_t head = m_pages.back().blocks.size();
    const int top = y;

    for (const QString& line : lines) {
        const QString text = line.isEmpty() ? QStringLiteral(" ") : line;
        QStringList pieces{text};
        // A line taller than a whole page goes in its wrapped lines.
        if (measure(top, text).height() > height - top)
            pieces = WrappedLines(text, font, width, &device);
        for (const QString& piece : pieces) {
            QRect used = measure(y, piece);
            if (y + used.height() > height && m_pages.back().blocks.size() > head) {
                newPage();
                used = measure(y, piece);
            }
            m_pages.back().blocks.push_back({used, piece});
            y = used.bottom() + 1;
        }
    }
}

void CCheckPages::DrawPage(QPainter& painter, QPoint topLeft, int page) const {
    if (page < 0 || page >= PageCount())
        return;
    const Page& p = m_pages[static_cast<size_t>(page)];
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(TitleFont());
    painter.drawText(p.titleRect.translated(topLeft), Qt::TextWordWrap, p.title);
    painter.setFont(LineFont());
    for (const Block& block : p.blocks)
        painter.drawText(block.rect.translated(topLeft), Qt::TextWordWrap, block.text);
    painter.restore();
}
