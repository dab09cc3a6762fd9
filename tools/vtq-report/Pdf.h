#pragma once
// vtq-report pdf: the printed page of a report as a one-page PDF file.

#include <QStringList>

class CVtkDoc;

// Writes the page of `doc` to `out` on A4 paper; false (with a message on
// standard error) when the file cannot be written. Lines given in `check`
// (the procedure check) go on the pages after it, as many as they need; the
// first is the same either way.
bool WriteReportPdf(const CVtkDoc& doc, const QString& out, const QStringList* check = nullptr);
