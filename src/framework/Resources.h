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

// Bitmap 168, the demonstration banner, and the same banner drawn for the
// width it is shown at, its text centred on that width.
constexpr int kDemoBannerWidth = 234;
constexpr int kDemoBannerHeight = 11;
QPixmap DemoBannerPixmap(int width);

// The program's colours and its mark, a round pressure gauge, for the
// pictures drawn elsewhere (the toolbar's buttons).
extern const QColor kNavy;
extern const QColor kOrange;
QPixmap BlankPixmap(int w, int h);
void DrawGauge(QPainter& p, QRectF r, double needleDegrees);
