#pragma once
// What both passes of the job dossier share, so that the pages the first
// counts are the pages the second draws: the sheet, the joint's copy and its
// check, and the dossier's own pages (cover, table, history) as flows.

#include "library/Dossier.h"
#include "library/DossierFlow.h"

#include <QRect>
#include <memory>

class CVtkDoc;

// A sheet of paper at the PDF's resolution: the whole page, and the part
// 10 mm in from each edge that holds a report's printed page exactly as
// `vtq-report pdf` places it; header and footer lie in the margins.
struct DossierSheet {
    QPageSize size;
    QRect page;
    QRect content;
};
DossierSheet MakeDossierSheet(QPageSize::PageSizeId id);

// Loads into `doc` the copy at `path` when its bytes hash to `sha256` (any
// bytes when that is empty); the bytes' hash in `got`. False with `reason`.
bool LoadDossierCopy(CVtkDoc& doc, const QString& path, const QByteArray& sha256, QByteArray& got,
                     QString& reason);

// The procedure check of a loaded report read from `path` (its name tells a
// cut download): its lines and its verdict.
struct DossierCheck {
    QStringList lines;
    QString verdict;
};
DossierCheck CheckDossierJoint(const CVtkDoc& doc, const QString& path, const DossierJob& job,
                               const DossierJoint& joint);

// The table's columns, and a row's cells as the PDF, the CSV and the JSON
// show them.
QStringList DossierTableTitles();
QStringList DossierTableCells(const DossierJob& job, const DossierRow& row);
QString DossierVerdictText(const DossierRow& row);
QString DossierReviewText(const DossierJob& job, const DossierRow& row);
QString DossierPagesText(const DossierRow& row);

// The dossier's own pages of `part`, laid out on `sheet`.
std::unique_ptr<CDossierFlow> DossierCover(const DossierJob& job, const DossierPlan& plan,
                                           const DossierPart& part, const DossierSheet& sheet);
std::unique_ptr<CDossierFlow> DossierTable(const DossierJob& job, const DossierPlan& plan,
                                           const DossierPart& part, const DossierSheet& sheet);
std::unique_ptr<CDossierFlow> DossierHistory(const DossierJob& job, const DossierPart& part,
                                             const DossierSheet& sheet);
