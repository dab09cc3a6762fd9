#include "report/ReportPlot.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "report/VtkDoc.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>

const int kSteps[kStepCount] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};

namespace {
const QColor kGrid(192, 192, 192);

bool Monotone(int a, int b, int c, int d) {
    return (a >= b && b >= c && c >= d) || (a <= b && b <= c && c <= d);
}
} // namespace

void PrepareSamples(CVtkDoc& doc) {
    const int count = doc.SampleCount();
    // Smoothing: a two-sample wobble between near-equal neighbours is noise.
    if (count >= 5) {
        doc.SetPressure(count, doc.ReadPressure(count - 1));
        for (int i = 0; i + 5 <= count; ++i) {
            const int p0 = doc.ReadPressure(i), p1 = doc.ReadPressure(i + 1),
                      p2 = doc.ReadPressure(i + 2), p3 = doc.ReadPressure(i + 3);
            if (std::abs(doc.TimeAt(i + 1) - doc.TimeAt(i + 2)) <= 7 && std::abs(p1 - p2) < 5 &&
                std::abs(p0 - p3) < 5 && !Monotone(p0, p1, p2, p3)) {
                doc.SetPressure(i + 1, p0);
                doc.SetPressure(i + 2, p0);
            }
        }
    }
    doc.m_nRunningMax = 0;
    for (int i = 0; i < count; ++i)
        doc.ReadPressure(i);
    doc.m_nMaxPressure = doc.m_nRunningMax;

    // Front-end search: the last sharp rise within the search range, else the
    // first sharp change.
    doc.m_nFrontEndEnd = 0;
    if (count >= 2) {
        const int limit = doc.TimeSpan() * g_nSearchPercent / 100;
        int found = 0;
        for (int i = count - 2; i >= 1 && !found; --i)
            if (doc.ReadPressure(i) - doc.ReadPressure(i - 1) > 10 && doc.TimeAt(i) < limit)
                found = i;
        for (int i = 1; i <= count - 1 && !found; ++i)
            if (std::abs(doc.ReadPressure(i) - doc.ReadPressure(i - 1)) > 10 &&
                doc.TimeAt(i) < limit)
                found = i;
        if (found)
            doc.m_nFrontEndEnd = std::min(doc.TimeAt(found) + 50, doc.TimeSpan());
    }
    doc.m_nHeaterRemovalEnd = doc.m_nFrontEndEnd;
}

int StepIndex(int v) {
    int k = 0;
    for (int i = 0; i < kStepCount; ++i)
        if (kSteps[i] <= v / 8)
            k = i;
    return k;
}

void ScalePlot(PlotState& s, const CVtkDoc& doc) {
    const int count = doc.SampleCount();
    const int last = count > 0 ? doc.TimeAt(count - 1) : 0;
    s.minutes = false;
    s.start = 0;
    if (s.kind == kSummaryPlot || count < 2 || last < 101) {
        s.end = last;
    } else {
        s.end = doc.m_nFrontEndEnd;
        if (s.kind == kHeaterRemovalPlot) {
            if (doc.m_nFrontEndEnd > 100)
                s.start = doc.m_nFrontEndEnd - 100;
            if (doc.m_nHeaterRemovalEnd > 175)
                s.start = doc.m_nHeaterRemovalEnd - 175;
            s.end = doc.m_nHeaterRemovalEnd;
        }
    }
    if (s.end == 0) {
        s.end = 1;
    } else if (s.end > 1500 && s.kind != kHeaterRemovalPlot) {
        s.minutes = true;
        s.end /= 60;
    }

    int k = StepIndex(s.end);
    s.timeStep = k < 10 && s.end / kSteps[k] > 8 ? kSteps[k + 1] : kSteps[k];
    if (s.kind == kHeaterRemovalPlot)
        s.timeStep = 25;

    const int maximum = doc.m_nMaxPressure == 0 ? 1 : doc.m_nMaxPressure;
    s.top = static_cast<int>(maximum / doc.PsiPerUnit());
    k = StepIndex(s.top);
    while (k < 10 && s.top / kSteps[k] >= 5)
        ++k;
    s.pressStep = kSteps[k];
    s.top = (s.top / s.pressStep + 1) * s.pressStep;
    s.topPsi = static_cast<int>(s.top * doc.PsiPerUnit());
}

int TimeToX(const PlotState& s, int t) {
    const PlotRect& a = s.area;
    // A window of no width (only a damaged report makes one) maps to its left.
    const int span = s.end - s.start;
    const int x =
        span > 0 ? a.left + (std::max(t, s.start) - s.start) * (a.right - a.left) / span : a.left;
    return std::clamp(x, a.left, std::max(a.left, a.right));
}

int PressureToY(const PlotState& s, int psi) {
    const PlotRect& a = s.area;
    const int y = s.topPsi > 0 ? a.bottom - psi * (a.bottom - a.top) / s.topPsi : a.bottom;
    return std::max(std::min(y, a.bottom - 1), a.top);
}

QString TimeUnitWord(const PlotState& s) {
    return s.minutes ? QStringLiteral("Minutes") : QStringLiteral("Seconds");
}

QString TimeTickLabel(const PlotState& s, int v) {
    // Seconds (or minutes) as the 0.2-second time units divided by 5; for
    // the shortest logs v x 0.1, as the handheld labels them, so that a
    // report reads the same on both (those labels show half the seconds).
    return s.timeStep < 5 ? FormatDouble("%.1f", v * 0.1) : Format(QStringLiteral("%d"), {v / 5});
}

bool HasCurve(const PlotState& s) {
    return s.end >= 2 && !(s.kind == kHeaterRemovalPlot && s.end - s.start < 100);
}

QString PlotTitle(int kind, const CVtkDoc& doc) {
    switch (kind) {
    case kFrontEndPlot:
        return Format(QStringLiteral("Front-end Plot (%d%% search)"), {g_nSearchPercent});
    case kSummaryPlot:
        return Format(QStringLiteral("Summary Plot (%d data points)"), {doc.SampleCount()});
    default:
        return QStringLiteral("Heater Removal (location estimated)");
    }
}

PlotLayout LayoutPlot(int kind, const PlotRect& frame, int left, const CVtkDoc& doc,
                      const ReportFonts& fonts) {
    PlotLayout l;
    const QFontMetrics metrics(fonts.text);
    const int lh = fonts.lineHeight;
    const int cw = fonts.charWidth;
    l.rowHeight = lh;
    l.charWidth = cw;
    l.frame = frame;
    PlotState& s = l.state;
    s.kind = kind;
    s.area = {frame.left + 6 * cw, frame.top + lh + lh / 4, frame.right - cw / 2,
              frame.bottom - (lh + lh / 4)};
    l.title = PlotTitle(kind, doc);
    l.titleRowTop = s.area.top - lh / 8 - lh;
    ScalePlot(s, doc);

    l.unitWord = TimeUnitWord(s);
    l.axisRowTop = s.area.bottom + lh / 8;
    l.unitWordLeft = left + cw / 2 + 5;
    l.unitWordRight = l.unitWordLeft + metrics.horizontalAdvance(l.unitWord);
    for (int v = s.timeStep; v < s.end - s.start; v += s.timeStep) {
        AxisTick t;
        t.value = v;
        t.pos = TimeToX(s, s.start + v);
        t.label = TimeTickLabel(s, v);
        const int width = static_cast<int>(t.label.size()) * cw;
        t.labelLeft = t.pos - width / 2 + 1;
        t.drawn = t.labelLeft >= l.unitWordRight && t.labelLeft + width < s.area.right;
        l.timeTicks.push_back(t);
    }
    for (int w = s.pressStep; w < s.top; w += s.pressStep) {
        AxisTick t;
        t.value = w;
        t.pos = PressureToY(s, static_cast<int>(w * doc.PsiPerUnit()));
        t.label = Format(QStringLiteral("%d"), {w});
        t.drawn = t.pos > s.area.top - lh / 2 && t.pos < s.area.bottom + lh / 2;
        l.pressureTicks.push_back(t);
    }
    l.curve = HasCurve(s);
    return l;
}

void DrawPlot(QPainter& painter, const PlotLayout& l, const CVtkDoc& doc) {
    const PlotState& s = l.state;
    const PlotRect& a = s.area;
    const int lh = l.rowHeight;
    const int cw = l.charWidth;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kGrid, 1));
    painter.drawRect(a.left, a.top, a.right - a.left - 1, a.bottom - a.top - 1);

    painter.setPen(Qt::black);
    const int flags = Qt::TextSingleLine | Qt::TextDontClip;
    const int rowBottom = l.titleRowTop + lh;
    painter.drawText(QRect(QPoint(l.frame.left, l.titleRowTop), QPoint(a.left - 1, rowBottom - 1)),
                     flags | Qt::AlignRight | Qt::AlignTop, doc.PressUnit());
    painter.drawText(QRect(QPoint(a.left, l.titleRowTop), QPoint(a.right - 1, rowBottom - 1)),
                     flags | Qt::AlignHCenter | Qt::AlignTop, l.title);

    painter.drawText(QRect(l.unitWordLeft, l.axisRowTop, l.unitWordRight - l.unitWordLeft, lh),
                     flags | Qt::AlignLeft | Qt::AlignTop, l.unitWord);
    for (const AxisTick& t : l.timeTicks) {
        painter.setPen(QPen(kGrid, 1));
        painter.drawLine(t.pos, a.top, t.pos, a.bottom - 1);
        if (t.drawn) {
            painter.setPen(Qt::black);
            const int width = static_cast<int>(t.label.size()) * cw;
            painter.drawText(QRect(t.labelLeft, l.axisRowTop, width, lh),
                             flags | Qt::AlignHCenter | Qt::AlignTop, t.label);
        }
    }
    for (const AxisTick& t : l.pressureTicks) {
        painter.setPen(QPen(kGrid, 1));
        painter.drawLine(a.left, t.pos, a.right - 1, t.pos);
        if (t.drawn) {
            painter.setPen(Qt::black);
            const int right = a.left - cw / 8;
            const int width = static_cast<int>(t.label.size()) * cw + cw / 2;
            painter.drawText(QRect(right - width, t.pos - lh / 2, width, lh),
                             flags | Qt::AlignRight | Qt::AlignTop, t.label);
        }
    }

    if (l.curve) {
        painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        const int divisor = s.minutes ? 60 : 1;
        for (int i = 0; i + 1 < doc.SampleCount(); ++i) {
            const int x1 = TimeToX(s, doc.TimeAt(i) / divisor);
            const int y1 = PressureToY(s, doc.PressureAt(i));
            const int x2 = TimeToX(s, doc.TimeAt(i + 1) / divisor);
            const int y2 = PressureToY(s, doc.PressureAt(i + 1));
            if (!(s.kind == kHeaterRemovalPlot && x2 <= a.left))
                painter.drawLine(x1, y1, x2, y2);
            if (x2 >= a.right)
                break;
        }
    }
    painter.restore();
}
