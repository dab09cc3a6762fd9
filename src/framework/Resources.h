#pragma once
// The program's pictures, drawn by code: icon 128,
// bitmap 144 (the main view without a report) and the bitmaps of later windows.

#include <QIcon>
#include <QPainter>
#include <QPixmap>

QIcon LoadIconResource(int id);
QPixmap LoadBitmapResource(int id);

// Bitmap 144, the view without a report.
constexpr int kStartupWidth = 240;
constexpr int kStartupHeight = 268;

// The program's colours and its mark, a round pressure gauge, for the
// pictures drawn elsewhere (the toolbar's buttons).
extern const QColor kNavy;
extern const QColor kOrange;
QPixmap BlankPixmap(int w, int h);
void DrawGauge(QPainter& p, QRectF r, double needleDegrees);
