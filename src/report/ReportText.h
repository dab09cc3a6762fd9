#pragma once
// The report text: a joint report as numbered entries (label, value, label,
// value ...; from "Recorded Data:" on one entry a row), and the rows the view
// lays them out in.

#include <QString>
#include <QStringList>
#include <vector>

class CVtkDoc;

QStringList BuildReportText(const CVtkDoc& doc);

// The machine family tests on a report's stored model text.
bool IsReportTarvex(const QString& model);
bool IsReportSidewall(const QString& model);

// The notes cut into the lines the view shows under "Notes:".
QStringList WrapNotes(const QString& notes);

// From the reserve data's version and identification field: the version text
// ("en0.2.5") and the Vantrek's identification text; both empty for a field
// of no known language.
struct VersionTexts {
    QString version;
    QString ident;
};
VersionTexts SplitVersionId(const QString& field);

// Entries placed in rows: two a row (label, value) until "Recorded Data:"
// has been met, one a row from then on.
struct ReportRow {
    QString first;
    QString second;
    bool pair = false;
};
std::vector<ReportRow> ReportRows(const QStringList& entries);

// A text as the view draws it: "&&" shows as "&", a lone "&" not at all.
QString WithoutMnemonics(const QString& text);
