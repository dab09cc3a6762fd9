#pragma once
// The printed page of a report as a one-page A4 PDF file: exactly what Print
// puts on paper, for records and for printing elsewhere.

class CVtkDoc;
class QString;

// Writes the page of `doc` to `out`, naming `creator` as the program that
// made it; false when the file cannot be written.
bool WriteReportPdfFile(const CVtkDoc& doc, const QString& out, const QString& creator);
