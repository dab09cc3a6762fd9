#pragma once
// The joint report view: the shown report, or bitmap 144 when there is none.

#include <QAbstractScrollArea>

class CVtkDoc;

class CVtkView : public QAbstractScrollArea {
public:
    CVtkView(CVtkDoc& doc, QWidget* parent);

    CVtkDoc& GetDocument() { return m_doc; }

    // Redraws after the document changed.
    void OnUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnDraw(QPainter& painter);

    CVtkDoc& m_doc;
    bool m_bLayout = false;
    bool m_bFirstEmptyDrawn = false;
};
