#pragma once
// vtq-report pdf: the printed page of a report as a one-page PDF file.

class CVtkDoc;
class QString;

// Writes the page of `doc` to `out` on A4 paper; false (with a message on
// standard error) when the file cannot be written.
bool WriteReportPdf(const CVtkDoc& doc, const QString& out);
