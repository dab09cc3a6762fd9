#pragma once
// The printed page of a report as a one-page A4 PDF file: exactly what Print
// puts on paper, for records and for printing elsewhere.

#include <QPageLayout>
#include <QStringList>

class CVtkDoc;
class QString;

// The PDF's resolution, in dots per inch: fine enough that the page's
// lines and texts keep their places.
constexpr int kPdfResolution = 1200;

// Where the printed page lies on a sheet of `size`: 10 mm in from each edge.
QPageLayout ReportPdfLayout(const QPageSize& size = QPageSize(QPageSize::A4));

// Writes the page of `doc` to `out`, naming `creator` as the program that
// made it; lines given in `check` (the procedure check) go on the pages that
// follow, the first being the same either way. Drawn beside `out` and renamed
// over it only when complete: false, and nothing of it left, when it cannot
// be written.
bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator,
                        const QStringList* check = nullptr);
