#include "check/ProcedureCheck.h"

#include "check/TracePhases.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"
#include "setup/DimensionTables.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace {
// The pressure falls from the bead to the soak over a few seconds; the soak's
// highest pressure is looked for only after them.
constexpr double kSoakSettleSeconds = 5;
// The fuse pressure is the median of the first half minute of fusion.
constexpr double kFuseWindowSeconds = 30;

const QString kPsi = QStringLiteral("psi");
const QString kSeconds = QStringLiteral("s");
const QString kNoReading = QStringLiteral("a no-reading sample lies in the %1");

bool HasDigit(const QString& text) {
    for (QChar c : text)
        if (c.isDigit())
            return true;
    return false;
}

// A pressure field in the report's unit, in psi; empty without a number.
std::optional<double> FieldPsi(const CVtkDoc& doc, ReportField f) {
    const QString& text = doc.Field(f).text;
    if (!HasDigit(text))
        return std::nullopt;
    const double psi = std::fabs(TextToDouble(text)) * doc.PsiPerUnit();
    return std::isfinite(psi) ? std::optional<double>(psi) : std::nullopt;
}

QString Number(double v) {
    QString s = QString::number(std::round(v * 10) / 10, 'f', 1);
    if (s.endsWith(QLatin1String(".0")))
        s.chop(2);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

// The wall thickness in inches from the pipe fields, through the program's
// own size tables; empty when they give none.
std::optional<double> WallInches(const CVtkDoc& doc) {
    const double size = TextToDouble(doc.Field(RF_PIPE_SIZE).text);
    const double x = TextToDouble(doc.Field(RF_WALL_THICKNESS).text);
    double od = 0;
    switch (doc.Field(RF_PIPE_SIZE_UNIT).number) {
    case 1:
        od = LookupOd(DipsTable(), size);
        break;
    case 2:
        od = size;
        break;
    case 3:
        od = size * kMmToInch;
        break;
    case 4:
        od = LookupOd(JisTable(), size);
        break;
    default:
        od = LookupOd(IpsTable(), size);
        break;
    }
    const int wallUnit = doc.Field(RF_WALL_UNIT).number;
    const double wall = wallUnit == 1 ? x : wallUnit == 2 ? x * kMmToInch : od / x;
    // As the Pipe page: a wall must be positive and leave a bore.
    if (!(od > 0) || !std::isfinite(od) || !(x > 0) || !std::isfinite(wall) || 2 * wall >= od)
        return std::nullopt;
    return wall;
}

// The trace as the check reads it: no-reading samples kept, but marked.
std::vector<TraceSample> ReadTrace(const CVtkDoc& doc) {
    const QByteArray& raw = doc.SampleCopy();
    const int count = static_cast<int>(std::min<qsizetype>(doc.SampleCount(), raw.size() / 4));
    std::vector<TraceSample> trace(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const qsizetype at = 4 * static_cast<qsizetype>(i) + 2;
        const int p = static_cast<qint16>(static_cast<quint8>(raw[at]) |
                                          (static_cast<quint8>(raw[at + 1]) << 8));
        trace[i] = {doc.TimeAt(i) * 0.2, static_cast<double>(p), p < CVtkDoc::kNoReading};
    }
    return trace;
}

Criterion Make(const char* id, const QString& unit) {
    Criterion c;
    c.id = QString::fromLatin1(id);
    c.unit = unit;
    return c;
}

Criterion& Unknown(Criterion& c, const QString& reason) {
    c.verdict = Verdict::Unknown;
    c.reason = reason;
    return c;
}

// Judges the measured value against the allowed range.
void Judge(Criterion& c, double measured) {
    c.measured = measured;
    const bool low = c.allowedMin && measured < *c.allowedMin - 1e-9;
    const bool high = c.allowedMax && measured > *c.allowedMax + 1e-9;
    c.verdict = low || high ? Verdict::Fail : Verdict::Pass;
}

Criterion HeaterTemperature(const CVtkDoc& doc, const Procedure& proc) {
    Criterion c = Make("heaterTemperature", QStringLiteral("°F"));
    c.allowedMin = proc.heaterMinF;
    c.allowedMax = proc.heaterMaxF;
    QString text = doc.Field(RF_HTR_TEMP).text;
    QString probe = QStringLiteral("Vantrek probe");
    if (!HasDigit(text)) {
        text = doc.Field(RF_EXT_HTR_TEMP).text;
        probe = QStringLiteral("external probe");
    }
    if (!HasDigit(text))
        return Unknown(c, QStringLiteral("no heater temperature in the report"));
    // A unit written after the number wins over the report's unit.
    const bool celsius =
        text.contains(QStringLiteral("°C"))
            ? true
            : !text.contains(QStringLiteral("°F")) && doc.Field(RF_TEMP_UNIT).number == 1;
    const double value = TextToDouble(text);
    if (!std::isfinite(value))
        return Unknown(c, QStringLiteral("no heater temperature in the report"));
    Judge(c, celsius ? value * 9 / 5 + 32 : value);
    c.reason = probe + (celsius ? QStringLiteral(", %1 °C").arg(Number(value)) : QString());
    return c;
}

Criterion InterfacialPressure(const CVtkDoc& doc, const Procedure& proc) {
    Criterion c = Make("interfacialPressure", kPsi);
    c.allowedMin = proc.interfacialMinPsi;
    c.allowedMax = proc.interfacialMaxPsi;
    const ReportField fields[] = {RF_PRESSURE_1, RF_PRESSURE_3, RF_PRESSURE_4};
    const char* names[] = {"bead", "fuse", "cool"};
    QStringList parts;
    std::optional<double> worst;
    double worstBy = -1e300;
    const double centre = (proc.interfacialMinPsi + proc.interfacialMaxPsi) / 2;
    for (int i = 0; i < 3; ++i) {
        const std::optional<double> psi = FieldPsi(doc, fields[i]);
        if (!psi)
            return Unknown(c, QStringLiteral("no %1 interfacial pressure in the report")
                                  .arg(QLatin1String(names[i])));
        parts << QLatin1String(names[i]) + QLatin1Char(' ') + Number(*psi);
        // The one farthest from the middle of the range stands for all three.
        const double by = std::fabs(*psi - centre);
        if (by > worstBy) {
            worstBy = by;
            worst = psi;
        }
    }
    Judge(c, *worst);
    c.reason = parts.join(QStringLiteral(", ")) + QStringLiteral(" psi");
    return c;
}

// Any failure fails the joint; else anything unknown leaves it incomplete.
ReportVerdict Overall(const std::vector<Criterion>& criteria) {
    ReportVerdict verdict = ReportVerdict::Pass;
    for (const Criterion& c : criteria)
        if (c.verdict == Verdict::Fail)
            return ReportVerdict::Fail;
        else if (c.verdict == Verdict::Unknown)
            verdict = ReportVerdict::Incomplete;
    return verdict;
}

QString PhaseMissing(const TracePhases& ph) {
    if (ph.beadStart < 0)
        return QStringLiteral("no bead-up found in the pressure trace");
    if (ph.soakStart < 0)
        return QStringLiteral("no heat soak found after the bead-up");
    return QStringLiteral("no rise to fusion pressure found after the heat soak");
}
} // namespace

QString VerdictText(Verdict verdict) {
    return verdict == Verdict::Pass   ? QStringLiteral("pass")
           : verdict == Verdict::Fail ? QStringLiteral("fail")
                                      : QStringLiteral("unknown");
}

QString VerdictText(ReportVerdict verdict) {
    switch (verdict) {
    case ReportVerdict::Pass:
        return QStringLiteral("pass");
    case ReportVerdict::Fail:
        return QStringLiteral("fail");
    case ReportVerdict::Incomplete:
        return QStringLiteral("incomplete");
    default:
        return QStringLiteral("unknown");
    }
}

CheckResult CheckReport(const CVtkDoc& doc, const Procedure& proc) {
    CheckResult r;
    r.procedure = proc.name;
    const char* const ids[] = {"heaterTemperature", "interfacialPressure", "beadPressure",
                               "soakPressure",      "heaterRemovalTime",   "fusePressure",
                               "coolingTime"};
    const QString model = doc.Field(RF_MODEL_TEXT).text;
    if (IsReportTarvex(model) || IsReportSidewall(model) || doc.ForcesHeading()) {
        r.reason = QStringLiteral("not a butt-fusion pipe joint");
        for (const char* id : ids) {
            Criterion c = Make(id, QString());
            r.criteria.push_back(Unknown(c, r.reason));
        }
        return r;
    }
    r.criteria.push_back(HeaterTemperature(doc, proc));
    r.criteria.push_back(InterfacialPressure(doc, proc));

    const double tol = proc.tolerancePercent / 100;
    Criterion bead = Make("beadPressure", kPsi);
    Criterion soak = Make("soakPressure", kPsi);
    Criterion removal = Make("heaterRemovalTime", kSeconds);
    Criterion fuse = Make("fusePressure", kPsi);
    Criterion cool = Make("coolingTime", kSeconds);
    const auto addTrace = [&] {
        for (Criterion* c : {&bead, &soak, &removal, &fuse, &cool})
            r.criteria.push_back(*c);
    };

    const std::optional<double> recBead = FieldPsi(doc, RF_REC_HEAT);
    const std::optional<double> recFuse = FieldPsi(doc, RF_REC_FUSE);
    const std::optional<double> recCool = FieldPsi(doc, RF_REC_COOL);
    // Without a soak pressure the joint was soaked at the drag pressure.
    std::optional<double> recSoak = FieldPsi(doc, RF_REC_SOAK);
    if (!recSoak)
        recSoak = FieldPsi(doc, RF_DRAG_PRESSURE);
    const std::optional<double> wall = WallInches(doc);

    if (recBead)
        bead.allowedMin = *recBead * (1 - tol), bead.allowedMax = *recBead * (1 + tol);
    if (recSoak)
        soak.allowedMax = *recSoak * (1 + tol);
    if (recFuse)
        fuse.allowedMin = *recFuse * (1 - tol), fuse.allowedMax = *recFuse * (1 + tol);
    const QString noWall =
        QStringLiteral("the pipe size and wall thickness give no wall thickness");
    if (wall) {
        const double most = proc.MaxRemovalSeconds(*wall);
        if (most >= 0)
            removal.allowedMax = most;
        cool.allowedMin = proc.coolingMinutesPerInch * *wall * 60;
    }

    const std::vector<TraceSample> trace = ReadTrace(doc);
    QString untraceable;
    if (!recBead || !recFuse || !recCool)
        untraceable = QStringLiteral("the report gives no recommended gauge pressure for the %1")
                          .arg(QLatin1String(!recBead   ? "bead"
                                             : !recFuse ? "fuse"
                                                        : "cool"));
    // A damaged log whose clock runs backwards would give negative times,
    // which would pass every maximum.
    for (size_t i = 1; i < trace.size() && untraceable.isEmpty(); ++i)
        if (trace[i].seconds < trace[i - 1].seconds)
            untraceable = QStringLiteral("the time stamps of the log do not run forward");
    if (!untraceable.isEmpty()) {
        for (Criterion* c : {&bead, &soak, &removal, &fuse, &cool})
            Unknown(*c, untraceable);
        addTrace();
        r.verdict = Overall(r.criteria);
        return r;
    }

    const int n = static_cast<int>(trace.size());
    const TracePhases ph =
        FindPhases(trace, {*recBead, recSoak.value_or(0), *recFuse, *recCool, tol});
    const auto at = [&](int i) { return trace[i].seconds; };

    // Bead-up: its median within the tolerance of "Rec Heat".
    double median = 0;
    if (ph.beadStart < 0)
        Unknown(bead, PhaseMissing(ph));
    else if (!AllKnown(trace, ph.beadStart, ph.soakStart < 0 ? n : ph.soakStart))
        Unknown(bead, kNoReading.arg(QStringLiteral("bead-up")));
    else if (MedianPressure(trace, ph.beadStart, ph.soakStart < 0 ? n : ph.soakStart, median)) {
        Judge(bead, median);
        bead.atSeconds = at(ph.beadStart);
    }

    // Heat soak: its highest pressure once settled, not above "Rec Soak" and
    // the tolerance.
    if (ph.soakStart < 0)
        Unknown(soak, PhaseMissing(ph));
    else if (!recSoak)
        Unknown(soak, QStringLiteral("the report gives no soak or drag pressure"));
    else if (!AllKnown(trace, ph.soakStart, ph.soakEnd + 1))
        Unknown(soak, kNoReading.arg(QStringLiteral("heat soak")));
    else {
        int highest = -1;
        for (int i = ph.soakStart; i <= ph.soakEnd; ++i)
            if (at(i) >= at(ph.soakStart) + kSoakSettleSeconds &&
                (highest < 0 || trace[i].psi > trace[highest].psi))
                highest = i;
        if (highest < 0)
            Unknown(soak, QStringLiteral("the heat soak is too short to judge"));
        else {
            Judge(soak, trace[highest].psi);
            soak.atSeconds = at(highest);
        }
    }

    // Heater removal: from the end of the soak to 90 % of "Rec Fuse".
    if (ph.fuseRise < 0)
        Unknown(removal, PhaseMissing(ph));
    else if (ph.fuseStart < 0) {
        removal.verdict = Verdict::Fail;
        removal.atSeconds = at(ph.soakEnd);
        removal.reason = QStringLiteral("the pressure never reached 90 % of the fuse pressure");
    } else if (!AllKnown(trace, ph.soakEnd, ph.fuseStart + 1))
        Unknown(removal, kNoReading.arg(QStringLiteral("heater removal")));
    else if (!wall)
        Unknown(removal, noWall);
    else if (!removal.allowedMax)
        Unknown(removal, QStringLiteral("a wall of %1 in is beyond the procedure's table")
                             .arg(QString::number(*wall, 'f', 3)));
    else {
        Judge(removal, at(ph.fuseStart) - at(ph.soakEnd));
        removal.atSeconds = at(ph.soakEnd);
    }

    // Fusion: the median of its first half minute within the tolerance of
    // "Rec Fuse".
    const int fusion = ph.fuseStart >= 0 ? ph.fuseStart : ph.fuseRise;
    if (fusion < 0)
        Unknown(fuse, PhaseMissing(ph));
    else {
        int end = fusion;
        while (end < n && at(end) < at(fusion) + kFuseWindowSeconds &&
               (ph.coolEnd <= fusion || end < ph.coolEnd))
            ++end;
        if (!AllKnown(trace, fusion, end))
            Unknown(fuse, kNoReading.arg(QStringLiteral("fusion")));
        else if (MedianPressure(trace, fusion, end, median)) {
            Judge(fuse, median);
            fuse.atSeconds = at(fusion);
        }
    }

    // Cooling: how long the pressure stays at or above "Rec Cool" less the
    // tolerance, until it is released or the log ends.
    if (fusion < 0)
        Unknown(cool, PhaseMissing(ph));
    else if (ph.coolEnd >= 0 && !AllKnown(trace, fusion, ph.coolEnd))
        Unknown(cool, kNoReading.arg(QStringLiteral("cooling")));
    else if (!wall)
        Unknown(cool, noWall);
    else {
        const double held = ph.coolEnd < 0 ? 0 : at(ph.coolEnd - 1) - at(fusion);
        Judge(cool, held);
        cool.atSeconds = at(fusion);
        if (ph.coolEnd < 0)
            cool.reason = QStringLiteral("the pressure never reached the cool pressure");
        else if (ph.coolEnd == n)
            cool.reason = QStringLiteral("the log ends under pressure");
    }
    addTrace();
    r.verdict = Overall(r.criteria);
    return r;
}

QStringList CheckResultLines(const CheckResult& result) {
    QStringList lines;
    lines << QStringLiteral("Procedure: %1").arg(result.procedure);
    for (const Criterion& c : result.criteria) {
        QString line = c.id.leftJustified(20) + VerdictText(c.verdict).leftJustified(8);
        if (c.measured)
            line += (Number(*c.measured) + QLatin1Char(' ') + c.unit).leftJustified(11);
        else
            line += QStringLiteral("-").leftJustified(11);
        if (c.allowedMin && c.allowedMax)
            line += QStringLiteral("allowed %1 to %2 %3")
                        .arg(Number(*c.allowedMin), Number(*c.allowedMax), c.unit);
        else if (c.allowedMax)
            line += QStringLiteral("allowed at most %1 %2").arg(Number(*c.allowedMax), c.unit);
        else if (c.allowedMin)
            line += QStringLiteral("allowed at least %1 %2").arg(Number(*c.allowedMin), c.unit);
        if (c.atSeconds)
            line += QStringLiteral(", at %1 s").arg(Number(*c.atSeconds));
        if (!c.reason.isEmpty())
            line += QStringLiteral(" (%1)").arg(c.reason);
        lines << line.trimmed();
    }
    QString verdict = QStringLiteral("Verdict: %1").arg(VerdictText(result.verdict));
    if (!result.reason.isEmpty())
        verdict += QStringLiteral(" (%1)").arg(result.reason);
    lines << verdict;
    return lines;
}

QJsonObject CheckResultJson(const CheckResult& result, const QString& file) {
    const auto number = [](const std::optional<double>& v) {
        return v ? QJsonValue(std::round(*v * 1000) / 1000) : QJsonValue();
    };
    QJsonArray criteria;
    for (const Criterion& c : result.criteria) {
        QJsonObject allowed;
        if (c.allowedMin)
            allowed.insert(QStringLiteral("min"), number(c.allowedMin));
        if (c.allowedMax)
            allowed.insert(QStringLiteral("max"), number(c.allowedMax));
        criteria.append(QJsonObject{
            {QStringLiteral("id"), c.id},
            {QStringLiteral("verdict"), VerdictText(c.verdict)},
            {QStringLiteral("measured"), number(c.measured)},
            {QStringLiteral("allowed"), allowed},
            {QStringLiteral("unit"), c.unit},
            {QStringLiteral("atSeconds"), number(c.atSeconds)},
            {QStringLiteral("reason"), c.reason},
        });
    }
    QJsonObject o{{QStringLiteral("file"), file},
                  {QStringLiteral("procedure"), result.procedure},
                  {QStringLiteral("verdict"), VerdictText(result.verdict)},
                  {QStringLiteral("criteria"), criteria}};
    if (!result.reason.isEmpty())
        o.insert(QStringLiteral("reason"), result.reason);
    return o;
}
