#include "report/PrinterCE.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>

namespace {
// Texts are shaped at this pixel size and scaled down to their em, so that
// what members 40 and 41 measure is what the page draws, at any resolution.
constexpr int kShapePixels = 1000;

QString Number(float v) {
    return QString::number(static_cast<double>(v), 'g', 9);
}
} // namespace

QString PrinterCall::ToString() const {
    QString s = QString::number(id);
    if (id == 10 || id == 20 || id == 40 || id == 41 || id == 59)
        s += QStringLiteral(" \"") + text + QLatin1Char('"');
    for (float v : args)
        s += QLatin1Char(' ') + Number(v);
    if (id == 40 || id == 41)
        s += QStringLiteral(" -> ") + Number(result);
    return s;
}

CPrinterCE::CPrinterCE() = default;

void CPrinterCE::Record(int id, const QString& text, std::vector<float> args, float result) {
    m_calls.push_back({id, text, std::move(args), result});
}

QFont CPrinterCE::CurrentFont() const {
    QFont font(m_strFont);
    font.setPixelSize(kShapePixels);
    font.setWeight(m_bBold ? QFont::Bold : QFont::Normal);
    font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: a PDF reader extracts and searches "fi" as the report
    // has it, not as one "\uFB01" glyph.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void CPrinterCE::Extend(float x, float y) {
    m_fRight = std::max(m_fRight, x);
    m_fBottom = std::max(m_fBottom, y);
}

void CPrinterCE::DrawLine(float x1, float y1, float x2, float y2) {
    Record(1, QString(), {x1, y1, x2, y2});
    m_ops.push_back({Op::Line, x1, y1, x2, y2, m_fLineWidth, QString(), QFont(), 0, Qt::black});
    Extend(std::max(x1, x2), std::max(y1, y2));
}

void CPrinterCE::EndPage() {
    Record(2, QString(), {});
}

void CPrinterCE::BeginSetup() {
    Record(5, QString(), {});
    // A new page in the default state.
    m_ops.clear();
    m_fRight = m_fBottom = 0;
    m_strFont = QStringLiteral("Tahoma");
    m_nSize = 8;
    m_bBold = false;
    m_fLineWidth = 0.1f;
    m_textColor = Qt::black;
}

void CPrinterCE::DrawRectangle(float x1, float y1, float x2, float y2) {
    Record(7, QString(), {x1, y1, x2, y2});
    m_ops.push_back({Op::Rect, x1, y1, x2, y2, m_fLineWidth, QString(), QFont(), 0, Qt::black});
    Extend(std::max(x1, x2), std::max(y1, y2));
}

void CPrinterCE::DrawText(const QString& text, float x, float y) {
    Record(10, text, {x, y});
    const float em = m_nSize * kEmPerSize;
    m_ops.push_back({Op::Text, x, y, 0, 0, 0, text, CurrentFont(), em, m_textColor});
    Extend(x + TextWidthNoRecord(text), y + TextHeightNoRecord(text));
}

float CPrinterCE::TextWidthNoRecord(const QString& text) const {
    const QFontMetricsF metrics(CurrentFont());
    return static_cast<float>(metrics.horizontalAdvance(text) / kShapePixels) * m_nSize *
           kEmPerSize;
}

float CPrinterCE::TextHeightNoRecord(const QString&) const {
    const QFontMetricsF metrics(CurrentFont());
    return static_cast<float>(metrics.height() / kShapePixels) * m_nSize * kEmPerSize;
}

void CPrinterCE::SetProp11(int value) {
    Record(11, QString(), {static_cast<float>(value)});
}
void CPrinterCE::SetProp13(int value) {
    Record(13, QString(), {static_cast<float>(value)});
}
void CPrinterCE::SetLineWidth(float width) {
    Record(15, QString(), {width});
    m_fLineWidth = width;
}
void CPrinterCE::SetBold(int bold) {
    Record(17, QString(), {static_cast<float>(bold)});
    m_bBold = bold != 0;
}
void CPrinterCE::SetFontName(const QString& name) {
    Record(20, name, {});
    m_strFont = name;
}
void CPrinterCE::SetFontSize(int size) {
    Record(21, QString(), {static_cast<float>(size)});
    m_nSize = std::max(0, size);
}
void CPrinterCE::SetProp26(int value) {
    Record(26, QString(), {static_cast<float>(value)});
}
void CPrinterCE::SetProp28(int value) {
    Record(28, QString(), {static_cast<float>(value)});
}
void CPrinterCE::SetProp29(int value) {
    Record(29, QString(), {static_cast<float>(value)});
}
void CPrinterCE::SetTextColor(int rgb) {
    Record(32, QString(), {static_cast<float>(rgb)});
    m_textColor = QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}
float CPrinterCE::TextWidth(const QString& text) {
    const float w = TextWidthNoRecord(text);
    Record(40, text, {}, w);
    return w;
}
float CPrinterCE::TextHeight(const QString& text) {
    const float h = TextHeightNoRecord(text);
    Record(41, text, {}, h);
    return h;
}
void CPrinterCE::SetProp50(int value) {
    Record(50, QString(), {static_cast<float>(value)});
}
int CPrinterCE::Method54(int value) {
    Record(54, QString(), {static_cast<float>(value)});
    return 0;
}
int CPrinterCE::SelectPrinter(const QString& name) {
    Record(59, name, {});
    return 0;
}
int CPrinterCE::Method63(int a, int b, float c, float d, float e, float f, float g, float h) {
    Record(63, QString(), {static_cast<float>(a), static_cast<float>(b), c, d, e, f, g, h});
    return 0;
}
int CPrinterCE::Method64(int a, float b, int c, int d, int e, int f, int g, int h) {
    Record(64, QString(),
           {static_cast<float>(a), b, static_cast<float>(c), static_cast<float>(d),
            static_cast<float>(e), static_cast<float>(f), static_cast<float>(g),
            static_cast<float>(h)});
    return 0;
}

void CPrinterCE::DrawPage(QPainter& painter, const QRectF& rect) const {
    const float width = std::max(46.0f, m_fRight) + 2 * kMargin;
    const float height = m_fBottom + 2 * kMargin;
    const double scale = std::min(rect.width() / static_cast<double>(width),
                                  rect.height() / static_cast<double>(height));
    painter.save();
    painter.translate(rect.left() + (rect.width() - width * scale) / 2 + kMargin * scale,
                      rect.top() + kMargin * scale);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < m_ops.size(); ++i) {
        const Op& op = m_ops[i];
        switch (op.kind) {
        case Op::Line: {
            // Lines that each start where the one before ended, in the same
            // width, are one curve: drawn as one polyline, joined at its
            // corners, and one path in a PDF rather than a path a sample.
            QPolygonF line{QPointF(op.x1, op.y1), QPointF(op.x2, op.y2)};
            for (; i + 1 < m_ops.size(); ++i) {
                const Op& next = m_ops[i + 1];
                if (next.kind != Op::Line || next.lineWidth != op.lineWidth ||
                    next.x1 != m_ops[i].x2 || next.y1 != m_ops[i].y2)
                    break;
                line << QPointF(next.x2, next.y2);
            }
            painter.setPen(QPen(Qt::black, op.lineWidth, Qt::SolidLine, Qt::FlatCap));
            painter.drawPolyline(line);
            break;
        }
        case Op::Rect:
            painter.setPen(
                QPen(Qt::black, op.lineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            painter.drawRect(QRectF(QPointF(op.x1, op.y1), QPointF(op.x2, op.y2)).normalized());
            break;
        case Op::Text: {
            painter.save();
            painter.translate(op.x1, op.y1);
            painter.scale(op.em / kShapePixels, op.em / kShapePixels);
            painter.setFont(op.font);
            painter.setPen(op.color);
            painter.drawText(QPointF(0, QFontMetricsF(op.font).ascent()), op.text);
            painter.restore();
            break;
        }
        }
    }
    painter.restore();
}
