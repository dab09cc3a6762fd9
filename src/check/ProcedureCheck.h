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
struct MachineRegistry;

// Goes up whenever a change to the check may change a verdict, so that a
// stored verdict says which check made it.
constexpr int kCheckVersion = 2;

enum class Verdict { Pass, Fail, Unknown };
enum class ReportVerdict { Pass, Fail, Incomplete, Unknown };

struct Criterion {
    QString id; // "heaterTemperature", "beadPressure", ...
    Verdict verdict = Verdict::Unknown;
    std::optional<double> measured;
    std::optional<double> allowedMin, allowedMax;
    QString unit;                    // "°F", "psi" or "s"
    std::optional<double> atSeconds; // where in the log it was measured
    QString reason;                  // why unknown or failed; what was seen otherwise
};

struct CheckResult {
    // What made the verdict: the procedure's name and the SHA-256 of its
    // file, and the check's version.
    QString procedure;
    QByteArray procedureSha256;
    int checkVersion = kCheckVersion;
    // Unknown for a report the procedure does not cover (reason).
    ReportVerdict verdict = ReportVerdict::Unknown;
    QString reason;
    std::vector<Criterion> criteria;
};

// Judges the report loaded in `doc` from the file at `path`: the file's name
// tells a download that was cut off, which is never a pass. `machines`, the
// office's own list, may be null.
CheckResult CheckReport(const CVtkDoc& doc, const QString& path, const Procedure& procedure,
                        const MachineRegistry* machines = nullptr);

QString VerdictText(Verdict verdict);
QString VerdictText(ReportVerdict verdict);

// For a person: the procedure, one line per criterion, the verdict last.
QStringList CheckResultLines(const CheckResult& result);
// For programs: file, procedure, verdict and the criteria.
QJsonObject CheckResultJson(const CheckResult& result, const QString& file);
