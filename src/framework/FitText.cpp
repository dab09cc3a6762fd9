#include "framework/FitText.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>

namespace {
// Below this a reading is no longer legible on the handheld's screen.
constexpr int kSmallestPixels = 6;

// Chooses the label's size just before each drawing, so that whoever set
// the text, it is never drawn cut off.
class TextFitter : public QObject {
public:
    TextFitter(QLabel* label, const QFont& largest)
        : QObject(label), m_label(label), m_largest(largest) {
        label->setFont(largest);
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_label && event->type() == QEvent::Paint) {
            const QFont font =
                FittingFont(m_largest, m_label->text(), m_label->contentsRect().size());
            if (font != m_label->font())
                m_label->setFont(font);
        }
        return false;
    }

private:
    QLabel* m_label;
    QFont m_largest;
};

bool Fits(const QFont& font, const QStringList& lines, const QSize& size) {
    const QFontMetrics metrics(font);
    if ((lines.size() - 1) * metrics.lineSpacing() + metrics.ascent() > size.height())
        return false;
    return std::all_of(lines.begin(), lines.end(), [&](const QString& line) {
        return std::max(metrics.horizontalAdvance(line), metrics.boundingRect(line).width()) <=
               size.width();
    });
}
} // namespace

QFont FittingFont(const QFont& largest, const QString& text, const QSize& size) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (Fits(largest, lines, size))
        return largest;
    QFont font = largest;
    int pixels = largest.pixelSize() > 0 ? largest.pixelSize() : QFontInfo(largest).pixelSize();
    while (pixels > kSmallestPixels) {
        font.setPixelSize(--pixels);
        if (Fits(font, lines, size))
            break;
    }
    return font;
}

void FitLabelText(QLabel* label, const QFont& largest) {
    if (label)
        new TextFitter(label, largest);
}
