#pragma once
// The pressure trace of a butt-fusion joint and its phases, found as
// plateaus: every sample of the report in seconds, a running median of the
// readings, runs of high and low pressure judged against the levels the
// trace itself holds, and the phases anchored from the end (fusion and
// cooling are the last high run, the heat soak the low run before it, the
// bead-up the high run before that).

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The numbers the phase rules stand on (the README gives the reasons).
namespace trace_rules {
// The running median spans this long, and never fewer than 3 samples: a
// spike shorter than half of it never reaches the filtered trace.
constexpr double kFilterSeconds = 2;
// A plateau lasts at least this long and at least this many samples.
constexpr double kPlateauSeconds = 2;
constexpr int kPlateauSamples = 3;
// A sag pumped back within this time does not end a phase; a stretch
// without readings up to this long is bridged.
constexpr double kDipSeconds = 5;
// A heat soak whose carriage opening shows lasts at least this long; one
// at zero pressure (no opening to see) at least kSoakAtZeroSeconds, or half
// of the procedure's soak time when that is longer.
constexpr double kSoakWithOpeningSeconds = 10;
constexpr double kSoakAtZeroSeconds = 30;
} // namespace trace_rules

struct TraceSample {
    double seconds = 0; // from the start of the log, the 16-bit clock unwrapped
    double psi = 0;
    bool known = true; // false for a "no reading" sample
};

struct Trace {
    std::vector<TraceSample> samples;
    double interval = 1;          // the median time between samples, s
    int filterWidth = 3;          // samples, odd
    std::vector<double> filtered; // the running median; the sample's own value where none
    // Samples whose clock ran back: their times continue from the sample
    // before by one interval, and no time is measured across them.
    std::vector<int> clockBacks;
};

// Every sample of a report's sample bytes (time in 0.2 s units, pressure in
// psi, 4 bytes each, low byte first); a pressure of 4001 or more is no reading.
Trace ReadTrace(const QByteArray& sampleBytes);

// A moment found between two samples: `at` interpolated, and the earliest and
// latest it can be (further apart than `at` when readings are missing there).
struct Moment {
    double at = 0;
    double earliest = 0;
    double latest = 0;
};

struct Run {
    bool high = false;
    bool gap = false; // no readings for longer than a dip
    int first = 0;    // sample indices, inclusive
    int last = 0;
    double start = 0;
    double end = 0;
    double level = 0; // the filtered median
};

struct PhaseHints {
    double floorPsi = 4;
    double tolerance = 0.1;
    std::optional<double> dragPsi;
    double soakSeconds = 0; // the procedure's shortest soak, 0 when it gives none
};

// The heat soak's shape: its level, where the carriage opened and where the
// pipe ends met again.
struct SoakShape {
    double level = 0;
    double band = 0;
    bool openingVisible = false; // the soak stands clear of the open level
    std::optional<Moment> opening;
    std::optional<Moment> contact;
};

struct TracePhases {
    QString unreadable; // why no phase can be read; empty when they can
    double openPsi = 0;
    double highPsi = 0;
    double threshold = 0;
    std::vector<Run> runs;
    int bead = -1; // run indices; -1 where not found
    int soak = -1;
    int fusion = -1;
    QString beadMissing;   // why the bead-up was not found
    QString fusionMissing; // why fusion was not found
    SoakShape soakShape;
};

TracePhases FindPhases(const Trace& trace, const PhaseHints& hints);

// The half-width of the band around a pressure level.
double PressureBand(double psi, const PhaseHints& hints);

// Helpers over the trace (indices inclusive; unknown samples skipped).
double FilteredLevel(const Trace& trace, int first, int last); // NaN when no reading
int IndexAt(const Trace& trace, double seconds);               // the first sample at or after
// The first crossing of `psi` going up (or down) among samples [first, last],
// between the last sample on the near side and the next reading.
std::optional<Moment> CrossUp(const Trace& trace, int first, int last, double psi);
std::optional<Moment> CrossDown(const Trace& trace, int first, int last, double psi);
// The last crossing of `psi` going down among samples [first, last].
std::optional<Moment> LastCrossDown(const Trace& trace, int first, int last, double psi);
// Whether the clock ran back within (first, last].
bool ClockBackWithin(const Trace& trace, int first, int last);

// A stretch of readings outside [low, high] within [first, last]; a return
// shorter than a plateau does not end it.
struct Excursion {
    bool above = false;
    double start = 0; // interpolated crossings
    double end = 0;
    double extreme = 0;
    bool spike = false;    // so short the filter removes it
    bool returned = false; // back inside before `last`
    int firstIndex = 0;
    int lastIndex = 0;
    int readings = 0;
    double Seconds() const { return end - start; }
};
std::vector<Excursion> Excursions(const Trace& trace, int first, int last, double low, double high);
// Where the sustained pressure (a running median over a dip's length, so
// that noise, spikes and sags pumped back do not count) lies outside [low,
// high] within [first, last], and somewhere by `margin` or more.
std::vector<Excursion> Departures(const Trace& trace, int first, int last, double low, double high,
                                  double margin);

// A stretch without readings within [first, last] longer than a dip.
struct Gap {
    double start = 0;
    double seconds = 0;
};
std::vector<Gap> LongGaps(const Trace& trace, int first, int last);
