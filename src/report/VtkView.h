#pragma once
// The joint report view: the shown report's text and plots, scrolling, or
// bitmap 144 when there is none.

#include "report/ReportDrawing.h"

#include <QAbstractScrollArea>
#include <memory>

class CPrinterCE;
class CVtkDoc;

class CVtkView : public QAbstractScrollArea {
public:
    CVtkView(CVtkDoc& doc, QWidget* parent);
    ~CVtkView() override;

    CVtkDoc& GetDocument() { return m_doc; }

    // Redraws after the document changed.
    void OnUpdate();

    // Search Range (32796): the front-end search range, then a reload.
    void OnSearchRange();
    // Print (32792): the reminder, the print dialog, then the page; a page
    // the printer refuses is reported.
    void OnFilePrint();
    // The printing control, made on the first print and kept; null before.
    const CPrinterCE* Printer() const { return m_pPrinter.get(); }
    // Enable states of Print (32792) and Search Range.
    static bool CanPrint();
    static bool CanSearchRange();

    const ReportFonts& Fonts() const { return m_fonts; }
    // The scroll sizes last set: 280 by the report's height, or none.
    QSize ScrollSize() const { return m_scrollSize; }

    // What a paint does, on any painter (the view's own, or a picture's).
    void OnDraw(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetScrollSizes(QSize total);
    QPoint ScrollPosition() const;

    CVtkDoc& m_doc;
    ReportFonts m_fonts;
    QSize m_scrollSize;
    bool m_bLayout = false;
    bool m_bFirstEmptyDrawn = false;
    std::unique_ptr<CPrinterCE> m_pPrinter;
};
