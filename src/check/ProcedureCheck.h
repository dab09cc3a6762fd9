#pragma once
// Does a logged butt-fusion joint follow its fusion procedure? Each criterion
// is judged from the report as the reader holds it (fields and samples) and
// is pass, fail, or unknown when this report cannot tell, with the reason.
// The report itself, its view and its print are never changed.

#include "check/Procedure.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class CVtkDoc;

enum class Verdict { Pass, Fail, Unknown };
enum class ReportVerdict { Pass, Fail, Incomplete, Unknown };

struct Criterion {
    QString id; // "heaterTemperature", "beadPressure", ...
    Verdict verdict = Verdict::Unknown;
    std::optional<double> measured;
    std::optional<double> allowedMin, allowedMax;
    QString unit;                    // "°F", "psi" or "s"
    std::optional<double> atSeconds; // where in the log it was measured
    QString reason;                  // why unknown or failed; detail otherwise
};

struct CheckResult {
    QString procedure; // its name
    // Unknown only for a report that is not a butt-fusion pipe joint (reason).
    ReportVerdict verdict = ReportVerdict::Unknown;
    QString reason;
    std::vector<Criterion> criteria;
};

CheckResult CheckReport(const CVtkDoc& doc, const Procedure& procedure);

QString VerdictText(Verdict verdict);
QString VerdictText(ReportVerdict verdict);

// For a person: one line per criterion, the verdict last.
QStringList CheckResultLines(const CheckResult& result);
// For programs: file, procedure, verdict and the criteria.
QJsonObject CheckResultJson(const CheckResult& result, const QString& file);
