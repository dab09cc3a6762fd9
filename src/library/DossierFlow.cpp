#include "library/DossierFlow.h"

#include "library/JointTable.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {
struct StyleInfo {
    double points;
    bool bold;
};
const StyleInfo kStyles[CDossierFlow::StyleCount] = {
    {16, true},   // Title
    {10.5, true}, // Bold
    {8.5, false}, // Body
    {7, true},    // TableHead
    {7, false},   // TableBody
};
// Room between a cell's text and its neighbours, in points.
constexpr double kCellPadding = 2.5;

// `text` in lines no wider than `width`: at spaces where it can, anywhere in
// a word too long for a line, so that a long name is shown whole.
QStringList Wrap(const QString& text, const QFont& font, double width) {
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString part = text.mid(line.textStart(), line.textLength());
        while (part.endsWith(QLatin1Char(' ')))
            part.chop(1);
        lines << part;
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines << QString();
    return lines;
}
} // namespace

CDossierFlow::CDossierFlow(double width, double height, int dpi)
    : m_fWidth(width), m_fHeight(height), m_fPoint(dpi / 72.0) {
    for (int s = 0; s < StyleCount; ++s) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(static_cast<int>(std::lround(kStyles[s].points * m_fPoint)));
        font.setWeight(kStyles[s].bold ? QFont::Bold : QFont::Normal);
        font.setHintingPreference(QFont::PreferNoHinting);
        // No ligatures: a reader searches the PDF for "fi" as typed.
        font.setStyleStrategy(QFont::PreferNoShaping);
        m_fonts[s] = font;
        m_pitch[s] = QFontMetricsF(font).lineSpacing();
    }
}

void CDossierFlow::AddRow(Block row, const QStringList& texts,
                          const std::vector<FlowColumn>& columns) {
    const double pad = kCellPadding * m_fPoint;
    double x = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        const double width = columns[c].width * m_fWidth;
        Cell cell;
        cell.x = x + (columns.size() > 1 ? pad : 0);
        cell.width = std::max(1.0, width - (columns.size() > 1 ? 2 * pad : 0));
        cell.align = columns[c].align;
        cell.lines =
            Wrap(SafeLine(texts.value(static_cast<qsizetype>(c))), m_fonts[row.style], cell.width);
        row.lines = std::max(row.lines, static_cast<int>(cell.lines.size()));
        row.cells.push_back(std::move(cell));
        x += width;
    }
    row.width = x;
    m_rows.push_back(std::move(row));
    m_bLaidOut = false;
}

void CDossierFlow::Text(const QString& text, Style style) {
    Block row;
    row.style = style;
    row.after = 0.3 * Pitch(style);
    AddRow(std::move(row), {text}, {{1.0, Qt::AlignLeft}});
}

void CDossierFlow::Heading(const QString& text, Style style) {
    Block row;
    row.style = style;
    row.before = 0.8 * Pitch(style);
    row.after = 0.35 * Pitch(style);
    row.keepWithNext = true;
    AddRow(std::move(row), {text}, {{1.0, Qt::AlignLeft}});
}

void CDossierFlow::Space(double points) {
    if (!m_rows.empty())
        m_rows.back().after += points * m_fPoint;
}

void CDossierFlow::BeginTable(const std::vector<FlowColumn>& columns, const QStringList& titles) {
    m_columns = columns;
    Block head;
    head.style = TableHead;
    head.after = 0.35 * Pitch(TableHead);
    head.ruleBelow = true;
    head.keepWithNext = true;
    m_nHead = static_cast<int>(m_rows.size());
    head.head = m_nHead;
    AddRow(std::move(head), titles, m_columns);
}

void CDossierFlow::Row(const QStringList& cells) {
    CDossierFlow::Block row;
    row.style = TableBody;
    row.after = 0.35 * Pitch(TableBody);
    row.ruleBelow = true;
    row.head = m_nHead;
    AddRow(std::move(row), cells, m_columns);
}

void CDossierFlow::EndTable() {
    m_nHead = -1;
    m_columns.clear();
    if (!m_rows.empty())
        m_rows.back().after += 0.5 * Pitch(Body);
}

void CDossierFlow::Layout() {
    m_pages.assign(1, {});
    double y = 0;
    const auto place = [&](int index, int first, int count) {
        const Block& row = m_rows[index];
        m_pages.back().push_back({index, first, count, y, first + count == row.lines});
        y += count * Pitch(row.style);
    };
    // A new page, with the head of the table `row` continues.
    const auto newPage = [&](const Block& row, int index) {
        m_pages.emplace_back();
        y = 0;
        if (row.head >= 0 && row.head != index) {
            place(row.head, 0, m_rows[row.head].lines);
            y += m_rows[row.head].after;
        }
    };
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        const Block& row = m_rows[i];
        const double pitch = Pitch(row.style);
        const double head = row.head >= 0 && row.head != i ? Height(m_rows[row.head]) : 0;
        // What must stand together: the row, and when it is kept with what
        // follows, the rows it is kept with and the next one's first line.
        double need = Height(row);
        for (int j = i; m_rows[j].keepWithNext && j + 1 < static_cast<int>(m_rows.size()); ++j) {
            const Block& next = m_rows[j + 1];
            need += next.before + (next.keepWithNext ? Height(next) : Pitch(next.style));
        }
        const bool fresh = m_pages.back().empty() || y <= head + 1e-6;
        double before = fresh ? 0 : row.before;
        if (!fresh && y + before + need > m_fHeight && need <= m_fHeight - head) {
            newPage(row, i);
            before = 0;
        }
        y += before;
        // A row taller than what is left continues on the next page, line by
        // line; a page always takes at least one line, so the flow ends.
        for (int first = 0; first < row.lines;) {
            int fit = static_cast<int>(std::floor((m_fHeight - y) / pitch + 1e-9));
            if (fit <= 0) {
                if (m_pages.back().empty() || y <= head + 1e-6) {
                    fit = 1;
                } else {
                    newPage(row, i);
                    continue;
                }
            }
            const int count = std::min(fit, row.lines - first);
            place(i, first, count);
            first += count;
        }
        y += row.after;
    }
    m_bLaidOut = true;
}

int CDossierFlow::PageCount() {
    if (!m_bLaidOut)
        Layout();
    return static_cast<int>(m_pages.size());
}

void CDossierFlow::DrawPage(QPainter& painter, const QPointF& topLeft, int page) const {
    if (!m_bLaidOut || page < 0 || page >= static_cast<int>(m_pages.size()))
        return;
    painter.save();
    const QPen text(Qt::black);
    const QPen rule(QColor(150, 150, 150), 0.4 * m_fPoint);
    for (const Piece& piece : m_pages[page]) {
        const Block& row = m_rows[piece.row];
        const double pitch = Pitch(row.style);
        painter.setFont(m_fonts[row.style]);
        painter.setPen(text);
        // Cell by cell, so a wrapped cell's lines follow each other in the
        // file as they do on the page.
        for (const Cell& cell : row.cells)
            for (int k = 0; k < piece.count; ++k) {
                const QString& line = cell.lines.value(piece.first + k);
                if (!line.isEmpty())
                    painter.drawText(QRectF(topLeft.x() + cell.x, topLeft.y() + piece.y + k * pitch,
                                            cell.width, pitch),
                                     static_cast<int>(cell.align) | Qt::AlignTop |
                                         Qt::TextSingleLine | Qt::TextDontClip,
                                     line);
            }
        if (row.ruleBelow && piece.last) {
            const double y = topLeft.y() + piece.y + piece.count * pitch + row.after / 2;
            painter.setPen(rule);
            painter.drawLine(QPointF(topLeft.x(), y), QPointF(topLeft.x() + row.width, y));
        }
    }
    painter.restore();
}
