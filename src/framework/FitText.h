#pragma once
// Labels that show readings. A number cut off at its control's edge reads as
// another number (10.345 shown as 0.345), so such a label draws its text in
// the largest pixel size, up to its own font, at which every line fits whole.

class QFont;
class QLabel;
class QSize;
class QString;

// From now on `label` shows whatever text it is given in `largest`, or in a
// smaller size of it where that text would not fit.
void FitLabelText(QLabel* label, const QFont& largest);

// `largest`, or a smaller pixel size of it, at which every line of `text`
// fits a box of `size`: each line's width, and the lines' height down to the
// last line's baseline (readings have no descenders).
QFont FittingFont(const QFont& largest, const QString& text, const QSize& size);
