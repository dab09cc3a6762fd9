#pragma once
// The printing control: a page drawn with lines, rectangles and texts at
// coordinates in page units, driven through numbered members as the
// handheld's printer control was. The page is kept until the next setup
// starts another, and drawn into a painter's rectangle (a printer's page, a
// PDF page, a page of the library's job dossier), scaled to fit it. Every
// member call is recorded with its arguments, so that tests can read back
// the sequence.

#include <QColor>
#include <QFont>
#include <QString>
#include <vector>

class QPainter;
class QRectF;

// One member call: its number, its text argument (if any), its number
// arguments in order (I4 and R4 both as float) and its result.
struct PrinterCall {
    int id = 0;
    QString text;
    std::vector<float> args;
    float result = 0;
    // "10 "Demo" 8 15", "40 "Average" -> 2.4"; numbers as exact as a float.
    QString ToString() const;
};

class CPrinterCE {
public:
    // Page units per font size point: a size-8 font has an em of 2 units,
    // so that the 16.5-unit label column of the 46-unit page holds the
    // longest label.
    static constexpr float kEmPerSize = 0.25f;
    // Gap kept free around the page on the paper, in page units.
    static constexpr float kMargin = 1.0f;

    CPrinterCE();

    // The control's creation: once per program.
    void Create() { m_bCreated = true; }
    bool IsCreated() const { return m_bCreated; }

    // Draws the page into `rect` of `painter`: at least its 46 units of
    // width, scaled alike in both directions to fit, centred across the
    // rectangle and from its top. A plot's curve is one polyline.
    void DrawPage(QPainter& painter, const QRectF& rect) const;

    const std::vector<PrinterCall>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

    // The numbered members.
    void DrawLine(float x1, float y1, float x2, float y2);      // 1
    void EndPage();                                             // 2
    void BeginSetup();                                          // 5
    void DrawRectangle(float x1, float y1, float x2, float y2); // 7
    void DrawText(const QString& text, float x, float y);       // 10
    void SetProp11(int value);                                  // 11
    void SetProp13(int value);                                  // 13
    void SetLineWidth(float width);                             // 15
    void SetBold(int bold);                                     // 17
    void SetFontName(const QString& name);                      // 20
    void SetFontSize(int size);                                 // 21
    void SetProp26(int value);                                  // 26
    void SetProp28(int value);                                  // 28
    void SetProp29(int value);                                  // 29
    void SetTextColor(int rgb);                                 // 32: red in the low byte
    float TextWidth(const QString& text);                       // 40
    float TextHeight(const QString& text);                      // 41
    void SetProp50(int value);                                  // 50
    int Method54(int value);                                    // 54
    int SelectPrinter(const QString& name);                     // 59
    int Method63(int a, int b, float c, float d, float e, float f, float g, float h); // 63
    int Method64(int a, float b, int c, int d, int e, int f, int g, int h);           // 64

    // The page's extent so far, in page units: right and bottom edges.
    float PageRight() const { return m_fRight; }
    float PageBottom() const { return m_fBottom; }

private:
    struct Op {
        enum Kind { Line, Rect, Text } kind;
        float x1, y1, x2, y2;
        float lineWidth;
        QString text;
        QFont font;
        float em;
        QColor color;
    };

    void Record(int id, const QString& text, std::vector<float> args, float result = 0);
    QFont CurrentFont() const;
    float TextWidthNoRecord(const QString& text) const;
    float TextHeightNoRecord(const QString& text) const;
    void Extend(float x, float y);

    bool m_bCreated = false;
    std::vector<PrinterCall> m_calls;

    QString m_strFont = QStringLiteral("Tahoma");
    int m_nSize = 8;
    bool m_bBold = false;
    float m_fLineWidth = 0.1f;
    QColor m_textColor = Qt::black;
    std::vector<Op> m_ops;
    float m_fRight = 0, m_fBottom = 0;
};
