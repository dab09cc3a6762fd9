#pragma once
// What a reviewer decided about a joint: accepted, rejected or re-test (cut
// out and made again), with the inspections a data log cannot show. A
// review belongs to the joint (machine ID, date and time, joint number), so
// it outlives rescans, moved files and forget-missing, and records the
// report's bytes, verdict and procedure it was made on.
//
// Nothing of a review is ever edited in place: every change is a new row of
// an append-only history, numbered per joint, and the joint's review is its
// latest row. A change names the revision it was made on; when another desk
// changed the review meanwhile, it is refused.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

struct ReviewInspections {
    std::optional<bool> visualPass;
    std::optional<double> beadWidthMm;
    std::optional<bool> bendTestPass;
};

// One change of a joint's review, and the review it leaves.
struct JointReview {
    QString machineId;
    QString dateTime;
    int jointNumber = 0;
    int revision = 0; // 1 for the joint's first review; 0: never reviewed
    QString from;     // the state it changed; empty: not reviewed before
    QString state;    // "accepted", "rejected", "re-test"; empty: not reviewed
    QString reviewer; // the name typed
    QString user;     // the system user and host that made it
    QString host;
    qint64 timeMs = 0; // from the store's clock, UTC
    QString comment;
    ReviewInspections inspections;
    // What the reviewer saw: the report's bytes, its verdict and the hash of
    // the procedure file that made the verdict.
    QByteArray sha256;
    QString verdict;
    QString procedureHash;
};

// The states a review can take.
QStringList ReviewStates();
// "A. Inspector (ana@office-pc)"; "ana@office-pc" when no name was typed.
QString ReviewerText(const JointReview& review);
// "visual inspection pass; bead width 12.5 mm; bend test fail"; empty when
// none was recorded.
QString InspectionsText(const ReviewInspections& inspections);
