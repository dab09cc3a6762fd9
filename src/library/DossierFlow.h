#pragma once
// The dossier's own pages (cover, table of joints, review history) as rows
// of cells that flow from page to page. Each cell's text is wrapped to its
// width once; the layout counts the pages, and the same layout draws them
// later, so a page count taken before the file is written holds.
//
// Texts are drawn as plain text, one wrapped line at a time: nothing in them
// is interpreted (no markup, no mnemonics), and a control or direction
// character shows as "?" rather than breaking or reordering a line.

#include <QFont>
#include <QString>
#include <QStringList>
#include <vector>

class QPainter;
class QPointF;

struct FlowColumn {
    double width = 0; // a share of the page's width; the shares add up to 1
    Qt::Alignment align = Qt::AlignLeft;
};

class CDossierFlow {
public:
    enum Style { Large, Bold, Body, TableHead, TableBody, StyleCount };

    // Pages `width` by `height` pixels at `dpi`.
    CDossierFlow(double width, double height, int dpi);

    // A paragraph across the page.
    void Text(const QString& text, Style style = Body);
    // A heading: kept on one page with what follows it.
    void Heading(const QString& text, Style style = Bold);
    // Empty space of `points`, dropped at the top of a page.
    void Space(double points);
    // A table; its head row is repeated on each page it continues on.
    void BeginTable(const std::vector<FlowColumn>& columns, const QStringList& titles);
    void Row(const QStringList& cells);
    void EndTable();

    // Lays out what was added; the number of pages (at least one).
    int PageCount();
    // Draws page `page` (0 first) with its top left corner at `topLeft`.
    void DrawPage(QPainter& painter, const QPointF& topLeft, int page) const;

    // The font of a style at this flow's resolution.
    QFont Font(Style style) const { return m_fonts[style]; }

private:
    struct Cell {
        double x = 0, width = 0;
        Qt::Alignment align = Qt::AlignLeft;
        QStringList lines;
    };
    struct Block {
        std::vector<Cell> cells;
        Style style = Body;
        int lines = 1;
        double before = 0; // space above, not at a page's top
        double after = 0;  // space below
        bool keepWithNext = false;
        bool ruleBelow = false;
        double width = 0; // of its columns
        int head = -1;    // the head row of its table, repeated on a new page
    };
    // The lines first..first+count-1 of a row, at y on its page.
    struct Piece {
        int row = 0;
        int first = 0, count = 0;
        double y = 0;
        bool last = false; // the row's last line is in it
    };

    void AddRow(Block row, const QStringList& texts, const std::vector<FlowColumn>& columns);
    double Pitch(Style style) const { return m_pitch[style]; }
    double Height(const Block& row) const { return row.lines * Pitch(row.style) + row.after; }
    void Layout();

    double m_fWidth, m_fHeight, m_fPoint;
    QFont m_fonts[StyleCount];
    double m_pitch[StyleCount] = {};
    std::vector<Block> m_rows;
    std::vector<FlowColumn> m_columns;
    int m_nHead = -1;
    std::vector<std::vector<Piece>> m_pages;
    bool m_bLaidOut = false;
};
