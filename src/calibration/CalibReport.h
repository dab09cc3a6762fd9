#pragma once
// The calibration report: the record's identities and parameters, and the
// values the Vantrek measured, picked out of its own verdict lines in the
// session log. The report judges nothing itself.

#include "calibration/CalibRecord.h"

#include <QString>

// The eight measured values ("---" where the log has none) and the
// cold-junction text, as the report shows them.
struct CalibResults {
    QString temp[4];  // 400, 440, 500, 540 °F
    QString press[4]; // 50, 250, 750, 1500 psi
    QString cjc;
};

CalibResults ExtractCalibResults(const QString& log);

QString BuildCalibReport(const CCalibRecord& record);
