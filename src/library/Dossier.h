#pragma once
// The job dossier: what the office hands to a pipeline's owner at the end of
// a job. One PDF, or several when split by week or by a number of joints,
// each with a cover (job, dates, procedures, machines and operators, counts
// by verdict and by review state, what was left out and why), a table of its
// joints, then each joint's printed report page and procedure check in
// order, and the history of the reviews; a header and "Page N of M" on every
// page. The same table as CSV and JSON.
//
// The library fills a DossierJob from its index. The writer reads the report
// files itself, twice. The first pass (PlanDossier) reads and hashes every
// file, judges each joint and counts the pages, so the cover, the table and
// the page numbers come from what the files hold. The second
// (WriteDossierPdf) reads each file again, draws its pages and lets it go,
// so memory does not grow with the job; a file that changed or went away in
// between ends the write with no dossier left behind.

#include "check/MachineRegistry.h"
#include "check/Procedure.h"
#include "library/Csv.h"
#include "library/Reviews.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

struct DossierProcedure {
    QString name;      // as the procedure file names itself
    QByteArray sha256; // of the procedure file's bytes
    Procedure procedure;
};

// Reads the procedure file at `path` once: its rules and the hash of exactly
// those bytes. False, with `error` saying why, when it is refused.
bool ReadDossierProcedure(const QString& path, DossierProcedure& procedure, QString& error);

// What a reviewer recorded beyond the data log; each is optional.
using DossierInspections = ReviewInspections;

// The review a joint carries now.
struct DossierReview {
    QString state;    // "accepted", "rejected", "re-test"; empty: not reviewed
    QString reviewer; // as the review store keeps it (typed name, user, host)
    QDateTime time;   // UTC, from the store's clock
    QString comment;
    QByteArray sha256; // the report's bytes the reviewer saw
    DossierInspections inspections;
};

struct DossierJoint {
    QString dateTime; // "yyyy-MM-dd hh:mm:ss" as the report gives it
    int jointNumber = 0;
    QString machineId;
    QString model; // the machine model's text
    QString employee;
    QString size;
    QString state = QStringLiteral("present"); // the index's: "present", "missing", "offline"
    QStringList files;                         // the joint's copies, the one to read first first
    QByteArray sha256; // the copy the index knows; empty: any copy that reads
    QString verdict;   // the index's verdict, shown when no copy can be read
    bool cut = false;  // its bytes were once read from a cut download, whatever the file's name
    int procedure = 0; // into DossierJob::procedures
    DossierReview review;
};

// One change of a joint's review, as the append-only history keeps it.
struct DossierReviewChange {
    int joint = -1; // into DossierJob::joints
    QDateTime time; // UTC
    QString reviewer;
    QString from, to; // review states; empty: not reviewed
    QString comment;
    DossierInspections inspections;
};

// A job number like the one asked for that the dossier left out.
struct DossierNearMatch {
    QString job;
    int joints = 0;
};

struct DossierJob {
    QString job;
    QDate since, until; // the dates asked for; null: open
    // The procedures the joints are judged by; none: the shipped one.
    std::vector<DossierProcedure> procedures;
    // The office's machine list the joints are judged with (VerdictBook.h).
    MachineRegistry machines;
    std::vector<DossierJoint> joints; // in any order
    std::vector<DossierReviewChange> history;
    std::vector<DossierNearMatch> nearMatches;
    // Joints of the job whose dates fall outside the range, most likely
    // because of a wrong clock: counted and listed on the cover, no pages.
    std::vector<DossierJoint> outsideRange;
    QDateTime written = QDateTime::currentDateTimeUtc(); // the store's clock
    QString creator = QStringLiteral("vtq-library");
};

struct DossierOptions {
    enum class Split { None, Week, Joints };
    Split split = Split::None;
    int jointsPerFile = 0; // for Split::Joints
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    bool force = false; // write over files already there
    // What is being done ("Reading reports", "Writing pages"), and how far.
    std::function<void(const QString& step, int done, int total)> progress;
    // Asked between joints and pages; true ends the work with nothing written.
    std::function<bool()> cancelled;
};

// A joint as the dossier shows it, after the first pass.
struct DossierRow {
    int joint = 0; // into DossierJob::joints
    // "present": its pages are in the dossier; "missing", "offline": as the
    // index says; "unreadable": no copy with the known bytes could be read.
    QString state;
    QString reason;                  // why an unreadable joint has no pages
    QString file;                    // the copy read
    QByteArray sha256;               // of its bytes
    QString verdict;                 // of that copy's check, else the index's; empty: not judged
    bool changedSinceReview = false; // the copy read is not the one reviewed
    int checkPages = 0;
    int part = 0;      // the file it is in
    int firstPage = 0; // its report page in that file; 0 without pages
};

struct DossierPart {
    QString path;             // where it is written
    QString label;            // "Week 2024-W10", "Part 2 of 5"; empty when the dossier is one file
    std::vector<int> rows;    // into DossierPlan::rows, in order
    std::vector<int> history; // into DossierJob::history, in time order
    int coverPages = 0, tablePages = 0, historyPages = 0;
    int pages = 0; // all of them
};

struct DossierPlan {
    bool ok = false;
    bool cancelled = false;
    QString error;
    std::vector<DossierRow> rows; // by date and time, then joint number
    std::vector<DossierPart> parts;
};

// The first pass: every file read, hashed and judged, the pages counted, for
// the dossier written to `pdfPath` (several files beside it when split).
// Files already at those paths are refused unless `options.force`.
DossierPlan PlanDossier(const DossierJob& job, const QString& pdfPath,
                        const DossierOptions& options);

struct DossierResult {
    bool ok = false;
    bool cancelled = false;
    QString error;
    QStringList files; // written, all or none
};

// The second pass: the PDF files of `plan`, each written beside its path and
// renamed into place only when every file is whole.
DossierResult WriteDossierPdf(const DossierJob& job, const DossierPlan& plan,
                              const DossierOptions& options);

// Both passes.
DossierResult WriteDossier(const DossierJob& job, const QString& pdfPath,
                           const DossierOptions& options);

// The table of the whole job, as CSV (a head line, then one line per joint;
// Csv.h, for a file unless told otherwise) and as a JSON array of objects.
QByteArray DossierCsv(const DossierJob& job, const DossierPlan& plan,
                      const CsvOptions& options = {false, true});
QByteArray DossierJson(const DossierJob& job, const DossierPlan& plan);
