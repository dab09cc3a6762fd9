#include "check/ProcedureCheck.h"

#include "check/MachineRegistry.h"
#include "check/TracePhases.h"
#include "report/DownloadName.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"
#include "setup/DimensionTables.h"
#include "setup/MachineModels.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <QDate>
#include <QJsonArray>
#include <algorithm>
#include <cmath>

using namespace trace_rules;

namespace {
// The fuse pressure is judged over the first half minute of fusion.
constexpr double kFuseWindowSeconds = 30;
// The gauge reads whole psi.
constexpr double kGaugeResolutionPsi = 1;

const QString kPsi = QStringLiteral("psi");
const QString kSeconds = QStringLiteral("s");

bool HasDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// A pressure field in the report's unit, in psi; empty without a number.
std::optional<double> FieldPsi(const CVtkDoc& doc, ReportField f) {
    const QString& text = doc.Field(f).text;
    if (!HasDigit(text))
        return std::nullopt;
    const double psi = std::fabs(TextToDouble(text)) * doc.PsiPerUnit();
    return std::isfinite(psi) ? std::optional<double>(psi) : std::nullopt;
}

// Half a unit of the last digit a number was written with, e.g. 0.05 for
// "2.1": how far the typed value may lie from the one measured.
double HalfLastDigit(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && !text[i].isDigit() && text[i] != QLatin1Char('.'))
        ++i;
    while (i < text.size() && text[i].isDigit())
        ++i;
    int decimals = 0;
    if (i < text.size() && text[i] == QLatin1Char('.'))
        for (++i; i < text.size() && text[i].isDigit(); ++i)
            ++decimals;
    return 0.5 * std::pow(10.0, -decimals);
}

QString Number(double v) {
    QString s = QString::number(std::round(v * 10) / 10, 'f', 1);
    if (s.endsWith(QLatin1String(".0")))
        s.chop(2);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString Psi(double v) {
    return Number(v) + QStringLiteral(" psi");
}

QString At(double seconds) {
    return QStringLiteral("at %1 s").arg(Number(seconds));
}

// The pipe's outside diameter and wall thickness in inches from the pipe
// fields, through the program's own size tables; empty when they give none.
struct PipeWall {
    double od = 0;
    double wall = 0;
    double Area() const { return (od * od - (od - 2 * wall) * (od - 2 * wall)) * kQuarterPi; }
};

std::optional<PipeWall> PipeOf(const CVtkDoc& doc) {
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
    return PipeWall{od, wall};
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

Criterion& Fail(Criterion& c, const QString& reason) {
    c.verdict = Verdict::Fail;
    c.reason = reason;
    return c;
}

bool Within(const Criterion& c, double v) {
    return !(c.allowedMin && v < *c.allowedMin - 1e-9) &&
           !(c.allowedMax && v > *c.allowedMax + 1e-9);
}

// Judges the measured value against the allowed range.
void Judge(Criterion& c, double measured) {
    c.measured = measured;
    c.verdict = Within(c, measured) ? Verdict::Pass : Verdict::Fail;
}

// A time known to lie within [least, most]: pass or fail only when the whole
// span does.
void JudgeSpan(Criterion& c, double measured, double least, double most) {
    c.measured = measured;
    const bool a = Within(c, least), b = Within(c, most);
    const bool outside = (c.allowedMax && least > *c.allowedMax + 1e-9) ||
                         (c.allowedMin && most < *c.allowedMin - 1e-9);
    if (a && b)
        c.verdict = Verdict::Pass;
    else if (outside)
        c.verdict = Verdict::Fail;
    else
        Unknown(c, QStringLiteral("readings are missing where it was measured: it lies between "
                                  "%1 and %2 s")
                       .arg(Number(least), Number(most)));
}

void AddNote(Criterion& c, const QString& note) {
    if (!note.isEmpty())
        c.reason += (c.reason.isEmpty() ? QString() : QStringLiteral("; ")) + note;
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

// Several values, each against its own range: fails when one lies outside;
// the one farthest outside (or else farthest from the middle of its range)
// is the measured value.
struct Ranged {
    const char* name;
    double value;
    PressureRange range;
};

void JudgeAll(Criterion& c, const std::vector<Ranged>& values) {
    double worst = -1e300;
    QStringList parts;
    for (const Ranged& v : values) {
        const double middle = (v.range.minPsi + v.range.maxPsi) / 2;
        const double outside = std::max(v.range.minPsi - v.value, v.value - v.range.maxPsi);
        const double by = outside > 1e-9 ? 1e9 + outside : std::fabs(v.value - middle);
        if (by > worst) {
            worst = by;
            c.allowedMin = v.range.minPsi;
            c.allowedMax = v.range.maxPsi;
            Judge(c, v.value);
        }
        parts << QLatin1String(v.name) + QLatin1Char(' ') + Number(v.value);
    }
    c.reason = parts.join(QStringLiteral(", ")) + QStringLiteral(" psi");
}

// The interfacial pressures entered for the joint.
Criterion EnteredInterfacial(const CVtkDoc& doc, const Procedure& proc) {
    Criterion c = Make("interfacialPressure", kPsi);
    c.allowedMin = proc.interfacial.minPsi;
    c.allowedMax = proc.interfacial.maxPsi;
    const ReportField fields[] = {RF_PRESSURE_1, RF_PRESSURE_3, RF_PRESSURE_4};
    const char* names[] = {"bead", "fuse", "cool"};
    std::vector<Ranged> values;
    for (int i = 0; i < 3; ++i) {
        const std::optional<double> psi = FieldPsi(doc, fields[i]);
        if (!psi)
            return Unknown(c, QStringLiteral("no %1 interfacial pressure in the report")
                                  .arg(QLatin1String(names[i])));
        values.push_back(
            {names[i], *psi,
             i == 2 && proc.secondStage ? proc.secondStageInterfacial : proc.interfacial});
    }
    JudgeAll(c, values);
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

// The criteria read from the pressure trace.
class TraceCheck {
public:
    TraceCheck(const CVtkDoc& doc, const Procedure& proc, const MachineRegistry* machines)
        : m_doc(doc), m_proc(proc), m_machines(machines), m_pipe(PipeOf(doc)) {
        m_hints.floorPsi = proc.noiseFloorPsi;
        m_hints.tolerance = proc.tolerancePercent / 100;
        m_hints.dragPsi = FieldPsi(doc, RF_DRAG_PRESSURE);
        if (m_pipe)
            m_hints.soakSeconds = proc.soakSeconds.At(m_pipe->wall).value_or(0);
        m_trace = ReadTrace(doc.SampleCopy());
        m_ph = FindPhases(m_trace, m_hints);
    }

    void Judge(std::vector<Criterion>& out);

private:
    double Band(double psi) const { return PressureBand(psi, m_hints); }
    // Judges the time from one moment to another. A stretch without readings
    // between them may hide a clock that jumped: the time may be that much
    // shorter.
    void Span(Criterion& c, const Moment& from, const Moment& to) const;
    // The limit of a time rule for this joint's wall, or why there is none.
    bool TimeLimit(Criterion& c, const WallRule& rule, bool maximum);
    // Judges [first, last] against the band around `rec`.
    void Plateau(Criterion& c, int first, int last, std::optional<double> rec, const char* what);
    // Lists the spikes and the excursions shorter than a dip that stand
    // clear of [low, high]: they never decide alone.
    void ListShort(QStringList& notes, int first, int last, double low, double high) const;
    // Why a phase was not found (the bead-up may miss alone).
    QString PhaseMissing(bool bead = false) const;

    void Bead(Criterion& c);
    void Soak(Criterion& c, Criterion& soakTime);
    void Removal(Criterion& c, Criterion& buildUp);
    void Fusion(Criterion& fuse, Criterion& cool, Criterion& coolPressure, Criterion& stage);
    void Applied(Criterion& c, const Criterion& bead, const Criterion& fuse,
                 const Criterion& coolPressure);

    const CVtkDoc& m_doc;
    const Procedure& m_proc;
    const MachineRegistry* m_machines;
    std::optional<PipeWall> m_pipe;
    PhaseHints m_hints;
    Trace m_trace;
    TracePhases m_ph;
    std::optional<Moment> m_fusionReached;
    double m_soakStart = 0;
};

void TraceCheck::ListShort(QStringList& notes, int first, int last, double low, double high) const {
    for (const Excursion& e : Excursions(m_trace, first, last, low, high))
        if (e.returned && e.Seconds() <= kDipSeconds &&
            (e.extreme > high + 2 * m_hints.floorPsi || e.extreme < low - 2 * m_hints.floorPsi))
            notes << QStringLiteral("%1 %2 for %3 s %4")
                         .arg(e.spike ? "a spike to" : "a short excursion to", Psi(e.extreme),
                              Number(e.Seconds()), At(e.start));
}

QString TraceCheck::PhaseMissing(bool bead) const {
    if (!m_ph.unreadable.isEmpty())
        return m_ph.unreadable;
    if (bead && !m_ph.beadMissing.isEmpty())
        return m_ph.beadMissing;
    return m_ph.fusionMissing.isEmpty() ? QStringLiteral("the phase was not found")
                                        : m_ph.fusionMissing;
}

void TraceCheck::Span(Criterion& c, const Moment& from, const Moment& to) const {
    double missing = 0;
    for (const Gap& g :
         LongGaps(m_trace, IndexAt(m_trace, from.latest), IndexAt(m_trace, to.earliest) - 1))
        missing += g.seconds;
    JudgeSpan(c, to.at - from.at, to.earliest - from.latest - missing, to.latest - from.earliest);
}

bool TraceCheck::TimeLimit(Criterion& c, const WallRule& rule, bool maximum) {
    if (!m_pipe) {
        Unknown(c, QStringLiteral("the pipe size and wall thickness give no wall thickness"));
        return false;
    }
    const std::optional<double> limit = rule.At(m_pipe->wall);
    if (!limit) {
        Unknown(c, QStringLiteral("a wall of %1 in is beyond the procedure's table")
                       .arg(QString::number(m_pipe->wall, 'f', 3)));
        return false;
    }
    (maximum ? c.allowedMax : c.allowedMin) = *limit;
    return true;
}

void TraceCheck::Plateau(Criterion& c, int first, int last, std::optional<double> rec,
                         const char* what) {
    if (!rec) {
        Unknown(
            c,
            QStringLiteral("the report gives no recommended %1 pressure").arg(QLatin1String(what)));
        return;
    }
    const double band = Band(*rec);
    c.allowedMin = *rec - band;
    c.allowedMax = *rec + band;
    const double level = FilteredLevel(m_trace, first, last);
    if (std::isnan(level)) {
        Unknown(c, QStringLiteral("no readings in the %1").arg(QLatin1String(what)));
        return;
    }
    ::Judge(c, level);
    QStringList notes;
    // Longer than a dip outside the band fails; what is shorter is listed.
    for (const Excursion& d :
         Departures(m_trace, first, last, *c.allowedMin, *c.allowedMax, m_hints.floorPsi))
        if (d.Seconds() > kDipSeconds) {
            c.verdict = Verdict::Fail;
            notes << QStringLiteral("%1 the band: %2 for %3 s %4")
                         .arg(d.above ? "above" : "below", Psi(d.extreme), Number(d.Seconds()),
                              At(d.start));
        }
    ListShort(notes, first, last, *c.allowedMin, *c.allowedMax);
    const std::vector<Gap> gaps = LongGaps(m_trace, first, last);
    if (!gaps.empty() && c.verdict != Verdict::Fail)
        c.verdict = Verdict::Unknown, c.measured.reset();
    for (const Gap& g : gaps)
        notes << QStringLiteral("no readings for %1 s %2").arg(Number(g.seconds), At(g.start));
    c.reason = notes.join(QStringLiteral("; "));
}

void TraceCheck::Bead(Criterion& c) {
    if (m_ph.bead < 0) {
        Unknown(c, PhaseMissing(true));
        return;
    }
    const Run& b = m_ph.runs[size_t(m_ph.bead)];
    const std::optional<double> rec = FieldPsi(m_doc, RF_REC_HEAT);
    // From the pressure reaching the band to its leaving it: the rise and
    // the fall are no part of the bead-up's pressure.
    int first = b.first, last = b.last;
    if (rec) {
        const double low = *rec - Band(*rec), high = *rec + Band(*rec);
        const auto in = [&](int i) {
            const TraceSample& s = m_trace.samples[size_t(i)];
            return s.known && s.psi >= low && s.psi <= high;
        };
        while (first < b.last && !in(first))
            ++first;
        while (last > first && !in(last))
            --last;
        if (!in(first))
            first = b.first, last = b.last;
    }
    c.atSeconds = m_trace.samples[size_t(first)].seconds;
    Plateau(c, first, last, rec, "bead");
}

void TraceCheck::Soak(Criterion& c, Criterion& soakTime) {
    if (m_ph.soak < 0) {
        Unknown(c, PhaseMissing());
        Unknown(soakTime, c.reason);
        return;
    }
    const Run& s = m_ph.runs[size_t(m_ph.soak)];
    const SoakShape& shape = m_ph.soakShape;
    // Without a soak pressure the joint was soaked at the drag pressure.
    std::optional<double> base = FieldPsi(m_doc, RF_REC_SOAK);
    if (!base)
        base = m_hints.dragPsi;
    // The soak ends where the carriage opens (or, when that cannot be seen,
    // where the pressure rises again).
    const std::optional<Moment> end = shape.opening ? shape.opening : shape.contact;
    const int last = end ? IndexAt(m_trace, end->earliest) - 1 : s.last;
    // It begins where the pressure falls through halfway from the bead-up's
    // level to the soak's.
    m_soakStart = s.start;
    if (m_ph.bead >= 0) {
        const Run& b = m_ph.runs[size_t(m_ph.bead)];
        if (const auto down = LastCrossDown(m_trace, b.first, s.first + m_trace.filterWidth,
                                            (b.level + s.level) / 2))
            m_soakStart = down->at;
    }
    c.atSeconds = m_soakStart;

    // The heat soak time: from the bead-up's end to the opening.
    if (TimeLimit(soakTime, m_proc.soakSeconds, false)) {
        soakTime.atSeconds = m_soakStart;
        if (shape.opening) {
            Span(soakTime, Moment{m_soakStart, m_soakStart, m_soakStart}, *shape.opening);
        } else if (shape.contact && shape.contact->latest - m_soakStart < *soakTime.allowedMin) {
            // Soak and heater removal together were shorter than the soak.
            Fail(soakTime, QStringLiteral("the pressure rose again %1 s after the bead-up")
                               .arg(Number(shape.contact->latest - m_soakStart)));
        } else {
            Unknown(soakTime, QStringLiteral("opening not visible in the trace"));
        }
        if (ClockBackWithin(m_trace, s.first, last))
            Unknown(soakTime, QStringLiteral("the clock runs back during the soak"));
    }

    if (!base) {
        Unknown(c, QStringLiteral("the report gives no soak or drag pressure"));
        return;
    }
    const double limit = *base + Band(*base);
    c.allowedMax = limit;
    int first = s.first;
    while (first < last &&
           !(m_trace.samples[size_t(first)].known && m_trace.samples[size_t(first)].psi <= limit))
        ++first;
    const bool cameDown =
        m_trace.samples[size_t(first)].known && m_trace.samples[size_t(first)].psi <= limit;
    const double reached = m_trace.samples[size_t(first)].seconds;
    const double middle = (reached + m_trace.samples[size_t(std::max(last, first))].seconds) / 2;
    const double level = FilteredLevel(m_trace, IndexAt(m_trace, middle), last);
    if (std::isnan(level)) {
        Unknown(c, QStringLiteral("no readings in the heat soak"));
        return;
    }
    ::Judge(c, level);
    if (level > limit + 1e-9 || !cameDown) {
        Fail(c, QStringLiteral("pressure held in the soak (heating under pressure)"));
        return;
    }
    QStringList notes;
    if (reached - s.start > kDipSeconds) {
        c.verdict = Verdict::Fail;
        notes << QStringLiteral("the pressure came down to the soak's band only %1 s after the "
                                "bead-up")
                     .arg(Number(reached - s.start));
    }
    for (const Excursion& d : Departures(m_trace, first, last, -1e300, limit, m_hints.floorPsi)) {
        const QString where =
            QStringLiteral("%1 for %2 s %3").arg(Psi(d.extreme), Number(d.Seconds()), At(d.start));
        if (d.returned && d.start < middle)
            notes << QStringLiteral("a rise early in the soak that decayed (thermal expansion): "
                                    "%1")
                         .arg(where);
        else if (d.Seconds() > kDipSeconds) {
            c.verdict = Verdict::Fail;
            notes << QStringLiteral("above the band: %1").arg(where);
        }
    }
    ListShort(notes, first, last, -1e300, limit);
    if (!LongGaps(m_trace, first, last).empty() && c.verdict != Verdict::Fail) {
        c.verdict = Verdict::Unknown;
        notes << QStringLiteral("readings are missing in the heat soak");
    }
    c.reason = notes.join(QStringLiteral("; "));
}

void TraceCheck::Removal(Criterion& c, Criterion& buildUp) {
    const SoakShape& shape = m_ph.soakShape;
    if (m_ph.fusion < 0) {
        Unknown(c, PhaseMissing());
        Unknown(buildUp, c.reason);
        return;
    }
    const bool limit = TimeLimit(c, m_proc.heaterRemovalSeconds, true);
    if (!shape.openingVisible)
        Unknown(c, QStringLiteral("opening not visible in the trace (the soak sits at %1)")
                       .arg(Psi(shape.level)));
    else if (!shape.opening)
        Unknown(c, QStringLiteral("opening not visible in the trace (no fall from the soak "
                                  "before the rise)"));
    else if (!shape.contact)
        Unknown(c, QStringLiteral("no rise to fusion pressure found after the opening"));
    else if (ClockBackWithin(m_trace, IndexAt(m_trace, shape.opening->earliest),
                             IndexAt(m_trace, shape.contact->latest)))
        Unknown(c, QStringLiteral("the clock runs back during the heater removal"));
    else if (limit) {
        const Moment& o = *shape.opening;
        const Moment& k = *shape.contact;
        Span(c, o, k);
        c.atSeconds = o.at;
    }

    // Pressure build-up: from contact to fusion pressure.
    if (!TimeLimit(buildUp, m_proc.buildUpSeconds, true))
        return;
    if (!shape.contact || !m_fusionReached)
        Unknown(buildUp, QStringLiteral("no rise to fusion pressure found after the soak"));
    else {
        const Moment& k = *shape.contact;
        const Moment& f = *m_fusionReached;
        Span(buildUp, k, f);
        buildUp.atSeconds = k.at;
        if (ClockBackWithin(m_trace, IndexAt(m_trace, k.earliest), IndexAt(m_trace, f.latest)))
            Unknown(buildUp, QStringLiteral("the clock runs back during the build-up"));
    }
}

void TraceCheck::Fusion(Criterion& fuse, Criterion& cool, Criterion& coolPressure,
                        Criterion& stage) {
    if (m_ph.fusion < 0) {
        for (Criterion* c : {&fuse, &cool, &coolPressure, &stage})
            Unknown(*c, PhaseMissing());
        return;
    }
    const Run& f = m_ph.runs[size_t(m_ph.fusion)];
    const int n = int(m_trace.samples.size());
    const double fusionLevel = FilteredLevel(
        m_trace, f.first, std::min(f.last, IndexAt(m_trace, f.start + kFuseWindowSeconds)));
    const int from = m_ph.soakShape.contact ? IndexAt(m_trace, m_ph.soakShape.contact->earliest)
                                            : std::max(f.first - m_trace.filterWidth, 0);
    m_fusionReached =
        CrossUp(m_trace, std::max(from - 1, 0), f.last, fusionLevel - Band(fusionLevel));
    if (!m_fusionReached)
        m_fusionReached = Moment{f.start, f.start, f.start};
    const Moment reached = *m_fusionReached;
    const int start = IndexAt(m_trace, reached.latest);

    // Cooling ends where the pressure falls to the drag or open level: below
    // the drag plus half of the cooling pressure's share. A sag above that
    // (a manual machine pumped back) or a single spike does not end it.
    const double drag = m_hints.dragPsi.value_or(m_ph.openPsi);
    const auto fallBelow = [&](int first, double level) -> std::optional<Excursion> {
        // Never within the gauge's noise of the level itself.
        const double depth =
            std::max(std::min(drag + (level - drag) / 2, level - 2 * m_hints.floorPsi),
                     m_ph.openPsi + m_hints.floorPsi);
        for (const Excursion& e : Excursions(m_trace, first, n - 1, depth, 1e300))
            if (!e.spike || !e.returned)
                return e;
        return std::nullopt;
    };
    const double coolLevel = std::min(
        fusionLevel,
        f.end - reached.at > kFuseWindowSeconds + kPlateauSeconds
            ? FilteredLevel(m_trace, IndexAt(m_trace, reached.at + kFuseWindowSeconds), f.last)
            : fusionLevel);
    std::optional<Excursion> fall = fallBelow(start, coolLevel);
    double stageChange = -1;
    int coolFirst = IndexAt(m_trace, reached.at + kFuseWindowSeconds);
    if (m_proc.secondStage) {
        // The second stage: a plateau above the drag after the first fall.
        double secondLevel = NAN;
        if (fall)
            secondLevel = FilteredLevel(m_trace, IndexAt(m_trace, fall->start + kPlateauSeconds),
                                        IndexAt(m_trace, fall->start + kFuseWindowSeconds));
        stage.allowedMin = m_proc.firstStageSeconds;
        if (m_proc.firstStageMaxSeconds)
            stage.allowedMax = *m_proc.firstStageMaxSeconds;
        stage.atSeconds = reached.at;
        if (fall && secondLevel >= std::max(drag, m_ph.openPsi) + 2 * m_hints.floorPsi) {
            stageChange = fall->start;
            coolFirst = IndexAt(m_trace, fall->start + kPlateauSeconds);
            Span(stage, reached, Moment{stageChange, stageChange, stageChange});
            fall = fallBelow(fall->firstIndex, secondLevel);
        } else if (fall) {
            Span(stage, reached, Moment{fall->start, fall->start, fall->start});
            Fail(cool, QStringLiteral("no second cooling stage: the pressure fell to %1 %2")
                           .arg(Psi(fall->extreme), At(fall->start)));
            Unknown(coolPressure, QStringLiteral("no second cooling stage"));
        } else {
            Unknown(stage, QStringLiteral("the log ends in the first cooling stage"));
        }
    }

    // Fusion pressure: the first half minute (or the first stage).
    double fuseEnd = reached.at + kFuseWindowSeconds;
    if (stageChange >= 0)
        fuseEnd = std::min(fuseEnd, stageChange);
    if (fall)
        fuseEnd = std::min(fuseEnd, fall->start);
    fuse.atSeconds = reached.at;
    Plateau(fuse, start, IndexAt(m_trace, fuseEnd) - 1, FieldPsi(m_doc, RF_REC_FUSE), "fuse");

    if (cool.verdict == Verdict::Fail)
        return;
    const double coolStart = stageChange >= 0 ? stageChange : reached.at;
    cool.atSeconds = coolStart;
    const bool limit = TimeLimit(cool, m_proc.coolingSeconds, false);
    const double logEnd = m_trace.samples.back().seconds;
    double end = fall ? fall->start : logEnd;
    QStringList notes;
    // No readings, or a clock that ran back, before the end: what came
    // before counts.
    const int endIndex = fall ? fall->firstIndex : n - 1;
    for (const Gap& g : LongGaps(m_trace, start, endIndex)) {
        end = g.start;
        notes << QStringLiteral("no readings for %1 s %2").arg(Number(g.seconds), At(g.start));
        break;
    }
    for (int back : m_trace.clockBacks)
        if (back > start && back <= endIndex && m_trace.samples[size_t(back - 1)].seconds < end) {
            end = m_trace.samples[size_t(back - 1)].seconds;
            notes = QStringList{QStringLiteral("the clock runs back %1").arg(At(end))};
            break;
        }
    const bool gapEnded = !notes.isEmpty();
    // Sags pumped back, listed.
    const double sagLine = coolLevel - Band(coolLevel);
    for (const Excursion& e : Excursions(m_trace, start, IndexAt(m_trace, end) - 1, sagLine, 1e300))
        if (e.returned && !e.spike && e.Seconds() <= kDipSeconds)
            notes << QStringLiteral("a sag to %1 for %2 s %3, pumped back")
                         .arg(Psi(e.extreme), Number(e.Seconds()), At(e.start));
    if (limit) {
        const double held = end - coolStart;
        ::Judge(cool, held);
        if (gapEnded && cool.verdict == Verdict::Fail)
            cool.verdict = Verdict::Unknown;
        else if (!fall && !gapEnded) {
            notes << QStringLiteral("the log ends under pressure");
            if (cool.verdict == Verdict::Fail)
                cool.verdict = Verdict::Unknown;
        }
        if (fall) {
            // Pressure applied again after the release.
            for (const Excursion& e :
                 Excursions(m_trace, fall->lastIndex, n - 1, -1e300, sagLine)) {
                if (e.spike && e.returned)
                    continue;
                notes << QStringLiteral("the pressure was released %1 and applied again %2")
                             .arg(At(fall->start), At(e.start));
                break;
            }
        }
    }
    if (!limit)
        notes.prepend(cool.reason);
    cool.reason = notes.join(QStringLiteral("; "));

    // Cooling pressure: after the fusion window (or through the second
    // stage), without the release's own fall.
    if (coolPressure.verdict == Verdict::Unknown && !coolPressure.reason.isEmpty())
        return;
    int coolLast = gapEnded ? IndexAt(m_trace, end) : fall ? IndexAt(m_trace, end) - 1 : n - 1;
    const std::optional<double> rec = FieldPsi(m_doc, RF_REC_COOL);
    if (rec) {
        const double low = *rec - Band(*rec), high = *rec + Band(*rec);
        while (coolLast > coolFirst &&
               m_trace.samples[size_t(coolLast)].seconds > end - kDipSeconds &&
               !(m_trace.samples[size_t(coolLast)].known &&
                 m_trace.samples[size_t(coolLast)].psi >= low &&
                 m_trace.samples[size_t(coolLast)].psi <= high))
            --coolLast;
    }
    if (coolLast - coolFirst + 1 < kPlateauSamples)
        coolFirst = start;
    coolPressure.atSeconds = m_trace.samples[size_t(std::min(coolFirst, n - 1))].seconds;
    Plateau(coolPressure, coolFirst, coolLast, rec, "cool");
}

void TraceCheck::Applied(Criterion& c, const Criterion& bead, const Criterion& fuse,
                         const Criterion& coolPressure) {
    c.allowedMin = m_proc.interfacial.minPsi;
    c.allowedMax = m_proc.interfacial.maxPsi;
    const std::optional<double> drag = m_hints.dragPsi;
    const QString model = m_doc.Field(RF_MODEL_TEXT).text.trimmed();
    double piston = TextToDouble(m_doc.Field(RF_PISTON_AREA).text);
    if (m_doc.Field(RF_PISTON_AREA_UNIT).number == 1)
        piston *= kSqCmToSqInch;
    double area = 0;
    if (UsesDirectPipeArea(model)) {
        const QString text = m_doc.PipeAreaText();
        area = TextToDouble(text) * (text.contains(QStringLiteral("cm")) ? kSqCmToSqInch : 1);
    } else if (m_pipe) {
        area = m_pipe->Area();
    }
    if (!drag)
        return void(Unknown(c, QStringLiteral("the report gives no drag pressure")));
    if (!(piston > 0) || !std::isfinite(piston))
        return void(Unknown(c, QStringLiteral("the report gives no piston area")));
    if (!(area > 0) || !std::isfinite(area))
        return void(Unknown(c, QStringLiteral("the report gives no pipe wall area")));

    QStringList fails, notes;
    // The office's list of its machines.
    const QString id = m_doc.Field(RF_MACHINE_ID).text;
    if (const MachineEntry* m = m_machines ? m_machines->Find(id) : nullptr) {
        if (m->model.compare(model, Qt::CaseInsensitive) != 0 ||
            std::fabs(m->pistonAreaSqIn - piston) > 0.0005 + 0.002 * m->pistonAreaSqIn)
            fails << QStringLiteral("the office's list has machine %1 as %2 with %3 in² of "
                                    "piston; the report says %4 with %5 in²")
                         .arg(id.trimmed(), m->model, QString::number(m->pistonAreaSqIn, 'f', 3),
                              model, QString::number(piston, 'f', 3));
        const QDate joint(m_doc.Field(RF_YEAR).number, m_doc.Field(RF_MONTH).number,
                          m_doc.Field(RF_DAY).number);
        if (m_proc.calibrationMaxDays && m->calibrated.isValid() && joint.isValid() &&
            m->calibrated.daysTo(joint) > *m_proc.calibrationMaxDays)
            notes << QStringLiteral("machine %1 was last calibrated on %2, %3 days before the "
                                    "joint (the procedure allows %4)")
                         .arg(id.trimmed(), m->calibrated.toString(Qt::ISODate))
                         .arg(m->calibrated.daysTo(joint))
                         .arg(*m_proc.calibrationMaxDays);
        else if (m_proc.calibrationMaxDays && !m->calibrated.isValid())
            notes << QStringLiteral("the office's list gives no calibration of machine %1")
                         .arg(id.trimmed());
    }
    // The recommended pressures must follow from the report's own inputs,
    // as the setup wizard computes them.
    const PressUnitInfo& unit = PressUnit(m_doc.Field(RF_PRESS_UNIT).number);
    const double shown = 0.5 * std::pow(10.0, -(QByteArray(unit.displayFormat).at(2) - '0'));
    const std::pair<ReportField, ReportField> pairs[] = {
        {RF_PRESSURE_1, RF_REC_HEAT}, {RF_PRESSURE_3, RF_REC_FUSE}, {RF_PRESSURE_4, RF_REC_COOL}};
    const char* recNames[] = {"Rec Heat", "Rec Fuse", "Rec Cool"};
    for (int i = 0; i < 3; ++i) {
        const std::optional<double> ifp = FieldPsi(m_doc, pairs[i].first);
        const std::optional<double> rec = FieldPsi(m_doc, pairs[i].second);
        if (!ifp || !rec)
            continue;
        const double expected = *ifp / piston * area + *drag;
        if (std::fabs(*rec - expected) > shown * unit.psiPerUnit + 0.005 * expected)
            fails << QStringLiteral("%1 %2 does not follow from the report's own inputs, which "
                                    "give %3")
                         .arg(QLatin1String(recNames[i]), Psi(*rec), Psi(expected));
    }

    // What the gauge's plateaus applied, with the measurement's uncertainty:
    // the gauge's noise floor, its whole-psi reading and the typed drag.
    const double perPsi = piston / area;
    const double spread = (m_hints.floorPsi + kGaugeResolutionPsi / 2 +
                           HalfLastDigit(m_doc.Field(RF_DRAG_PRESSURE).text) * m_doc.PsiPerUnit()) *
                          perPsi;
    struct Level {
        const char* name;
        const Criterion& from;
        PressureRange range;
    };
    const Level levels[] = {
        {"bead", bead, m_proc.interfacial},
        {"fusion", fuse, m_proc.interfacial},
        {"cooling", coolPressure,
         m_proc.secondStage ? m_proc.secondStageInterfacial : m_proc.interfacial}};
    std::vector<Ranged> values;
    bool missing = false, unsure = false, outside = false;
    for (const Level& l : levels) {
        if (!l.from.measured) {
            missing = true;
            continue;
        }
        const double ifp = (*l.from.measured - *drag) * perPsi;
        values.push_back({l.name, ifp, l.range});
        if (ifp + spread < l.range.minPsi || ifp - spread > l.range.maxPsi)
            outside = true;
        else if (ifp - spread < l.range.minPsi || ifp + spread > l.range.maxPsi)
            unsure = true;
    }
    if (!values.empty())
        JudgeAll(c, values);
    const QString how = QStringLiteral("± %1 psi: (gauge - %2 drag) × %3 in² of piston / %4 in² "
                                       "of pipe wall")
                            .arg(Number(spread), Psi(*drag), QString::number(piston, 'f', 3),
                                 QString::number(area, 'f', 2));
    if (!values.empty())
        c.reason += QLatin1Char(' ') + how;
    const double width = m_proc.interfacial.maxPsi - m_proc.interfacial.minPsi;
    if (!fails.isEmpty()) {
        c.verdict = Verdict::Fail;
        notes = fails + notes;
    } else if (outside) {
        c.verdict = Verdict::Fail;
    } else if (2 * spread > width / 3) {
        Unknown(c, QStringLiteral("machine too large for this pipe to verify (%1)").arg(how));
        c.measured.reset();
    } else if (missing) {
        Unknown(c, QStringLiteral("not every pressure plateau was found (%1)")
                       .arg(c.reason.isEmpty() ? how : c.reason));
    } else if (unsure) {
        c.verdict = Verdict::Unknown;
        notes << QStringLiteral("within the measurement's uncertainty of the limit");
    } else {
        c.verdict = Verdict::Pass;
    }
    for (const QString& note : notes)
        AddNote(c, note);
}

void TraceCheck::Judge(std::vector<Criterion>& out) {
    Criterion bead = Make("beadPressure", kPsi);
    Criterion soak = Make("soakPressure", kPsi);
    Criterion removal = Make("heaterRemovalTime", kSeconds);
    Criterion fuse = Make("fusePressure", kPsi);
    Criterion cool = Make("coolingTime", kSeconds);
    Criterion applied = Make("appliedInterfacialPressure", kPsi);
    Criterion coolPressure = Make("coolingPressure", kPsi);
    Criterion soakTime = Make("heatSoakTime", kSeconds);
    Criterion buildUp = Make("pressureBuildUpTime", kSeconds);
    Criterion stage = Make("firstStageTime", kSeconds);

    Bead(bead);
    Soak(soak, soakTime);
    Fusion(fuse, cool, coolPressure, stage);
    Removal(removal, buildUp);
    Applied(applied, bead, fuse, coolPressure);

    for (Criterion* c : {&bead, &soak, &removal, &fuse, &cool, &applied, &coolPressure})
        out.push_back(*c);
    // Those a procedure may leave out.
    if (m_proc.soakSeconds.IsSet())
        out.push_back(soakTime);
    if (m_proc.buildUpSeconds.IsSet())
        out.push_back(buildUp);
    if (m_proc.secondStage)
        out.push_back(stage);
}

// Every criterion this procedure judges, each unknown for `reason`.
std::vector<Criterion> AllUnknown(const Procedure& proc, const QString& reason) {
    std::vector<const char*> ids = {
        "heaterTemperature", "interfacialPressure",        "beadPressure",
        "soakPressure",      "heaterRemovalTime",          "fusePressure",
        "coolingTime",       "appliedInterfacialPressure", "coolingPressure"};
    if (proc.soakSeconds.IsSet())
        ids.push_back("heatSoakTime");
    if (proc.buildUpSeconds.IsSet())
        ids.push_back("pressureBuildUpTime");
    if (proc.secondStage)
        ids.push_back("firstStageTime");
    std::vector<Criterion> out;
    for (const char* id : ids) {
        Criterion c = Make(id, QString());
        out.push_back(Unknown(c, reason));
    }
    return out;
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

CheckResult CheckReport(const CVtkDoc& doc, const QString& path, const Procedure& proc,
                        const MachineRegistry* machines) {
    CheckResult r;
    r.procedure = proc.name;
    r.procedureSha256 = proc.sha256;
    const QString model = doc.Field(RF_MODEL_TEXT).text;
    if (IsReportTarvex(model) || IsReportSidewall(model) || doc.ForcesHeading())
        r.reason = QStringLiteral("not a butt-fusion pipe joint");
    else if (doc.DemoFlag() != 0)
        r.reason = QStringLiteral("a demonstration log, not a joint");
    if (!r.reason.isEmpty()) {
        r.criteria = AllUnknown(proc, r.reason);
        return r;
    }
    r.criteria.push_back(HeaterTemperature(doc, proc));
    r.criteria.push_back(EnteredInterfacial(doc, proc));
    TraceCheck(doc, proc, machines).Judge(r.criteria);

    if (IsCutDownloadName(path)) {
        // What came may hold filled parts where the download lost samples:
        // the trace shows no fault for certain, and nothing passes whole.
        r.reason = QStringLiteral("the download was cut off (the file's name says so)");
        for (size_t i = 2; i < r.criteria.size(); ++i) {
            Criterion& c = r.criteria[i];
            if (c.verdict == Verdict::Fail)
                Unknown(c, r.reason + QStringLiteral(": ") + c.reason);
        }
        r.verdict = Overall(r.criteria) == ReportVerdict::Fail ? ReportVerdict::Fail
                                                               : ReportVerdict::Incomplete;
        return r;
    }
    r.verdict = Overall(r.criteria);
    return r;
}

QStringList CheckResultLines(const CheckResult& result) {
    QStringList lines;
    lines << QStringLiteral("Procedure: %1 (file SHA-256 %2…, check version %3)")
                 .arg(result.procedure, QString::fromLatin1(result.procedureSha256.left(12)))
                 .arg(result.checkVersion);
    for (const Criterion& c : result.criteria) {
        QString line =
            c.id.leftJustified(19) + QLatin1Char(' ') + VerdictText(c.verdict).leftJustified(8);
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
                  {QStringLiteral("procedureSha256"), QString::fromLatin1(result.procedureSha256)},
                  {QStringLiteral("checkVersion"), result.checkVersion},
                  {QStringLiteral("verdict"), VerdictText(result.verdict)},
                  {QStringLiteral("criteria"), criteria}};
    if (!result.reason.isEmpty())
        o.insert(QStringLiteral("reason"), result.reason);
    return o;
}
