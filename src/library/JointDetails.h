#pragma once
// What the details pane shows of a joint beyond its row: the report text,
// its three plots and the procedure check's criteria, read from a copy
// whose bytes are still those the library indexed. Reads a file: never on
// the window's thread.

#include "check/ProcedureCheck.h"
#include "library/LibraryStore.h"
#include "report/ReportText.h"

#include <QImage>
#include <QStringList>
#include <array>
#include <vector>

class CVerdictBook;

// The size each plot is drawn at, in pixels of the screen.
constexpr int kDetailsPlotWidth = 330;
constexpr int kDetailsPlotHeight = 150;

struct JointDetails {
    qint64 jointId = 0;
    QString file;                           // the copy read
    std::vector<ReportRow> text;            // the report text, as the viewer lays it out
    std::array<QImage, 3> plots;            // front end, heater removal, summary
    std::optional<CheckResult> check;       // by the joint's procedure (VerdictBook.h)
    QString failure;                        // "what: why" when no copy could be read
    QString notJudged;                      // why there is no check (its procedure cannot be had)
    std::vector<JointReview> reviewHistory; // every change of the joint's review, oldest first
};

// Reads the joint's details, judged by `verdicts`; the plots are drawn at
// `pixelRatio` times the viewer's size, for the screen they are shown on.
JointDetails ReadJointDetails(const JointRow& row, qreal pixelRatio, const CVerdictBook& verdicts);
