#pragma once
// The procedure check's lines as pages of their own after a report's printed
// page: a title, the joint they belong to, then the lines in a fixed-width
// font, each wrapped to the page. Lines that do not fit continue on further
// pages under the same heading. `vtq-report pdf --check` and the library's
// job dossier draw them alike.

#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

class CVtkDoc;
class QPainter;

class CCheckPages {
public:
    // Lays `lines` out for the joint of `doc` on pages of `size` pixels at
    // `dpi`, the resolution of the device they will be drawn on.
    CCheckPages(const CVtkDoc& doc, const QStringList& lines, QSize size, int dpi);

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // Draws page `page` (0 first) with its top left corner at `topLeft`.
    void DrawPage(QPainter& painter, QPoint topLeft, int page) const;

private:
    struct Block {
        QRect rect;
        QString text;
    };
    struct Page {
        QString title;
        QRect titleRect;
        std::vector<Block> blocks;
    };
    std::vector<Page> m_pages;
};
