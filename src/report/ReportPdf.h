#pragma once
// The printed page of a report as a one-page A4 PDF file: exactly what Print
// puts on paper, for records and for printing elsewhere.

#include <QStringList>

class CVtkDoc;
class QString;

// Writes the page of `doc` to `out`, naming `creator` as the program that
// made it; lines given in `check` (the procedure check) go on a second page,
// the first being the same either way. Drawn beside `out` and renamed over it
// only when complete: false, and nothing of it left, when it cannot be
// written.
bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator,
                        const QStringList* check = nullptr);
