#pragma once
// The job dossier of the library: its joints and reviews taken from the
// index, judged by the procedure for the job and the office's machine
// list, and written as PDF with the same table as CSV and JSON beside it.
// The command line and the window's worker both come here; everything
// reads files, so never on the window's thread.

#include "library/Dossier.h"
#include "library/LibraryStore.h"

class CVerdictBook;

struct DossierRequest {
    QString job;        // matched whole: trimmed, in any case
    QDate since, until; // null: open
};

// The request's joints from `rows` (the index's, marked by MarkVerdicts),
// each with its review, the history of those reviews, job numbers near
// the one asked for and joints dated outside the range. False, with
// `error`, when the job's joints cannot be judged now (their procedure
// cannot be had) or the job has no joint in the range.
bool FillDossierJob(const std::vector<JointRow>& rows, const std::vector<JointReview>& history,
                    const CVerdictBook& book, const DossierRequest& request, qint64 nowMs,
                    DossierJob& job, QString& error);

// Whether two job numbers are the same job: equal once trimmed, in any case.
bool SameJob(const QString& a, const QString& b);

struct DossierFiles {
    QString pdf;
    QString csv;  // empty: none
    QString json; // empty: none
};

// Plans and writes the PDF (its parts when split), then the CSV and the
// JSON. Unless `options.force`, nothing is written when any of those files
// is there already: `existing` names them.
struct JobDossierResult {
    DossierResult pdf;
    DossierPlan plan;
    QStringList existing;
    QStringList written; // every file written
};
JobDossierResult WriteJobDossier(const DossierJob& job, const DossierFiles& files,
                                 const DossierOptions& options);
