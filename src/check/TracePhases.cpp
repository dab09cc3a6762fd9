#include "check/TracePhases.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace trace_rules;

namespace {
constexpr int kNoReading = 4001;
constexpr double kSecondsPerUnit = 0.2;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

quint16 Word(const QByteArray& bytes, qsizetype at) {
    return static_cast<quint16>(static_cast<quint8>(bytes[at]) |
                                (static_cast<quint8>(bytes[at + 1]) << 8));
}

double Median(std::vector<double>& values) {
    if (values.empty())
        return kNaN;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    if (values.size() % 2)
        return *mid;
    return (*mid + *std::max_element(values.begin(), mid)) / 2;
}

// The median of the readings at[k - half] .. at[k + half] for each k, kept
// sorted as the window slides.
std::vector<double> RunningMedian(const Trace& tr, const std::vector<int>& at, int half) {
    const int m = int(at.size());
    std::vector<double> window;
    std::vector<double> out(static_cast<size_t>(m));
    window.reserve(size_t(2 * half + 2));
    const auto psi = [&](int k) { return tr.samples[size_t(at[size_t(k)])].psi; };
    // The window is short: shifting by hand beats a call to move memory.
    const auto insert = [&](double v) {
        window.push_back(v);
        size_t j = window.size() - 1;
        for (; j > 0 && window[j - 1] > v; --j)
            window[j] = window[j - 1];
        window[j] = v;
    };
    const auto erase = [&](double v) {
        size_t j = size_t(std::lower_bound(window.begin(), window.end(), v) - window.begin());
        for (; j + 1 < window.size(); ++j)
            window[j] = window[j + 1];
        window.pop_back();
    };
    for (int k = 0, in = 0; k < m; ++k) {
        for (; in < m && in <= k + half; ++in)
            insert(psi(in));
        if (k - half - 1 >= 0)
            erase(psi(k - half - 1));
        const size_t mid = window.size() / 2;
        out[size_t(k)] = window.size() % 2 ? window[mid] : (window[mid] + window[mid - 1]) / 2;
    }
    return out;
}

// The samples a phase may be judged on: readings with a filtered value.
bool Known(const Trace& tr, int i) {
    return tr.samples[size_t(i)].known;
}

double Raw(const Trace& tr, int i) {
    return tr.samples[size_t(i)].psi;
}

// A reading the running median left far behind: one sample on its own.
bool Spike(const Trace& tr, int i) {
    const double f = tr.filtered[size_t(i)];
    return Known(tr, i) && std::fabs(Raw(tr, i) - f) > std::max(20.0, 0.25 * std::fabs(f));
}

double TimeOf(const Trace& tr, int i) {
    return tr.samples[size_t(i)].seconds;
}

int NextKnown(const Trace& tr, int i, int last) {
    for (++i; i <= last; ++i)
        if (Known(tr, i))
            return i;
    return -1;
}

// Where the straight line from sample a to sample b crosses `psi`.
Moment Between(const Trace& tr, int a, int b, double psi) {
    const double ta = TimeOf(tr, a), tb = TimeOf(tr, b);
    const double pa = Raw(tr, a), pb = Raw(tr, b);
    Moment m;
    m.at = pa == pb ? ta : ta + (tb - ta) * (psi - pa) / (pb - pa);
    m.at = std::clamp(m.at, ta, tb);
    // Readings missing between the two: the crossing may lie anywhere there.
    const bool gap = tb - ta > 1.5 * tr.interval || ClockBackWithin(tr, a, b);
    m.earliest = gap ? ta : m.at;
    m.latest = gap ? tb : m.at;
    return m;
}

double Duration(const Run& r, double interval) {
    return r.end - r.start + interval;
}

bool ShortRun(const Run& r, double interval) {
    return !r.gap &&
           (Duration(r, interval) < kPlateauSeconds || r.last - r.first + 1 < kPlateauSamples);
}

void Absorb(Run& into, const Run& other) {
    into.first = std::min(into.first, other.first);
    into.last = std::max(into.last, other.last);
    into.start = std::min(into.start, other.start);
    into.end = std::max(into.end, other.end);
}

// The high level: the upper part of the filtered pressures, split again
// while its own upper part holds a real share of it (so a long soak at drag
// pressure does not pass for the high level, and a short overpressure does
// not either).
double HighLevel(const std::vector<double>& values, double interval, double floorPsi) {
    // The pressures by whole psi (they are readings of whole psi, or
    // medians of them).
    double least = values.front(), most = values.front();
    for (double v : values)
        least = std::min(least, v), most = std::max(most, v);
    const int low = int(std::floor(least));
    std::vector<int> count(size_t(int(std::ceil(most)) - low + 1), 0);
    for (double v : values)
        ++count[size_t(std::lround(v) - low)];
    const int bins = int(count.size());
    // The median of the pressures in bins [from, to).
    const auto median = [&](int from, int to, long n) {
        long seen = 0;
        for (int b = from; b < to; ++b)
            if ((seen += count[size_t(b)]) * 2 > n)
                return double(low + b);
        return double(low + to - 1);
    };
    int from = 0;
    for (;;) {
        long n = 0;
        double total = 0;
        for (int b = from; b < bins; ++b)
            n += count[size_t(b)], total += double(count[size_t(b)]) * (low + b);
        // Otsu's split of the bins from `from` on: the one that best
        // separates two groups (largest between-group variance).
        long w0 = 0;
        double below = 0, best = -1;
        int cut = 0;
        for (int b = from; b + 1 < bins; ++b) {
            w0 += count[size_t(b)];
            below += double(count[size_t(b)]) * (low + b);
            if (w0 == 0 || w0 == n || count[size_t(b)] == 0)
                continue;
            const double m0 = below / double(w0), m1 = (total - below) / double(n - w0);
            const double between = double(w0) * double(n - w0) * (m0 - m1) * (m0 - m1);
            if (between > best)
                best = between, cut = b + 1;
        }
        if (best < 0)
            break;
        long upper = 0;
        for (int b = cut; b < bins; ++b)
            upper += count[size_t(b)];
        if (double(upper) * interval < 10 || double(upper) < 0.03 * double(n) ||
            median(cut, bins, upper) - median(from, cut, n - upper) < 4 * floorPsi)
            break;
        from = cut;
    }
    long n = 0;
    for (int b = from; b < bins; ++b)
        n += count[size_t(b)];
    return median(from, bins, n);
}

// Short runs (a spike through the threshold, a sag) join their neighbours.
std::vector<Run> MergeShort(const std::vector<Run>& runs, double interval) {
    std::vector<Run> out;
    for (const Run& r : runs) {
        out.push_back(r);
        while (out.size() >= 3) {
            Run& a = out[out.size() - 3];
            const Run& b = out[out.size() - 2];
            const Run& c = out.back();
            if (!ShortRun(b, interval) || a.gap || c.gap || a.high != c.high)
                break;
            Absorb(a, b);
            Absorb(a, c);
            out.resize(out.size() - 2);
        }
    }
    // What is left short lies at an end or beside a gap: it joins the
    // neighbour that is a plateau, and runs of one kind that then touch
    // become one.
    std::vector<Run> joined;
    for (size_t i = 0; i < out.size(); ++i) {
        Run r = out[i];
        if (ShortRun(r, interval) && !joined.empty() && !joined.back().gap) {
            Absorb(joined.back(), r);
            continue;
        }
        if (ShortRun(r, interval) && i + 1 < out.size() && !out[i + 1].gap)
            r.high = out[i + 1].high;
        if (!joined.empty() && !joined.back().gap && !r.gap && joined.back().high == r.high)
            Absorb(joined.back(), r);
        else
            joined.push_back(r);
    }
    return joined;
}

QString Seconds(double s) {
    return QString::number(std::round(s * 10) / 10);
}

class PhaseFinder {
public:
    PhaseFinder(const Trace& tr, const PhaseHints& hints, TracePhases& ph)
        : m_tr(tr), m_hints(hints), m_ph(ph) {}

    void Find();

private:
    bool BuildRuns();
    SoakShape Soak(int low, int high) const;
    bool IsSoak(int low, int high, const SoakShape& shape) const;
    // From the start of a high run until the pressure is back at the open
    // level (a second cooling stage counts), in seconds.
    double SpanUnderPressure(int high) const;

    const Trace& m_tr;
    const PhaseHints& m_hints;
    TracePhases& m_ph;
    mutable std::vector<int> m_nextOpen;
};

bool PhaseFinder::BuildRuns() {
    std::vector<double> values;
    values.reserve(m_tr.samples.size());
    for (size_t i = 0; i < m_tr.samples.size(); ++i)
        if (m_tr.samples[i].known)
            values.push_back(std::clamp(m_tr.filtered[i], -1000.0, 5000.0));
    if (values.empty()) {
        m_ph.unreadable = QStringLiteral("the log holds no pressure readings");
        return false;
    }
    std::vector<double> lowest = values;
    std::nth_element(lowest.begin(), lowest.begin() + std::ptrdiff_t(lowest.size() / 100),
                     lowest.end());
    m_ph.openPsi = lowest[lowest.size() / 100];
    m_ph.highPsi = HighLevel(values, m_tr.interval, m_hints.floorPsi);
    if (m_ph.highPsi - m_ph.openPsi < 4 * m_hints.floorPsi) {
        m_ph.unreadable = QStringLiteral("the pressure never rises clearly above its lowest level");
        return false;
    }
    m_ph.threshold = (m_ph.highPsi + m_ph.openPsi) / 2;

    std::vector<Run> runs;
    int prev = -1;
    for (int i = 0; i < int(m_tr.samples.size()); ++i) {
        if (!Known(m_tr, i))
            continue;
        const bool high = m_tr.filtered[size_t(i)] >= m_ph.threshold;
        const double t = TimeOf(m_tr, i);
        // No readings for longer than a dip: the runs on either side may not
        // be one. (A clock that ran back loses no readings.)
        if (prev >= 0 && t - TimeOf(m_tr, prev) - m_tr.interval > kDipSeconds)
            runs.push_back({false, true, prev, i, TimeOf(m_tr, prev), t, kNaN});
        if (runs.empty() || runs.back().gap || runs.back().high != high)
            runs.push_back({high, false, i, i, t, t, 0});
        else
            runs.back().last = i, runs.back().end = t;
        prev = i;
    }
    m_ph.runs = MergeShort(runs, m_tr.interval);
    // A stretch without readings inside a phase leaves it one phase; its
    // criteria see the gap.
    for (size_t i = 1; i + 1 < m_ph.runs.size(); ++i) {
        std::vector<Run>& r = m_ph.runs;
        if (r[i].gap && !r[i - 1].gap && !r[i + 1].gap && r[i - 1].high == r[i + 1].high) {
            Absorb(r[i - 1], r[i + 1]);
            r.erase(r.begin() + std::ptrdiff_t(i), r.begin() + std::ptrdiff_t(i + 2));
            --i;
        }
    }
    for (Run& r : m_ph.runs)
        if (!r.gap)
            r.level = FilteredLevel(m_tr, r.first, r.last);
    return true;
}

SoakShape PhaseFinder::Soak(int low, int high) const {
    const Run& run = m_ph.runs[size_t(low)];
    SoakShape s;
    s.level = run.level;
    s.band = PressureBand(s.level, m_hints);
    const double floor = s.level - s.band;
    s.openingVisible = floor >= m_ph.openPsi + 2 * m_hints.floorPsi;

    // Contact: the last rise through the soak or drag level, before the
    // pressure first reaches the high level.
    int last = run.last;
    if (high >= 0) {
        const Run& h = m_ph.runs[size_t(high)];
        last = h.first;
        for (int i = h.first; i <= h.last; ++i)
            if (Known(m_tr, i) && Raw(m_tr, i) >= m_ph.threshold) {
                last = i;
                break;
            }
        const double rise = std::max(s.level, m_hints.dragPsi.value_or(s.level)) + s.band;
        for (int i = last; i >= run.first; --i) {
            if (!Known(m_tr, i) || Raw(m_tr, i) > rise)
                continue;
            const int next = NextKnown(m_tr, i, last);
            if (next >= 0 && Raw(m_tr, next) > rise)
                s.contact = Between(m_tr, i, next, rise);
            last = i;
            break;
        }
    }
    if (!s.openingVisible || !s.contact)
        return s;
    // Opening: back from contact, past the closing carriage (at about the
    // soak or drag level, a few seconds at most) to the open carriage (at
    // least halfway down to the open level; on a fast machine one sample),
    // then through it (below the soak's band; spikes up skipped) to the last
    // reading at the soak's level.
    int i = last;
    const double closing = TimeOf(m_tr, i) - kDipSeconds;
    const double halfway = (s.level + m_ph.openPsi) / 2;
    while (i >= run.first && TimeOf(m_tr, i) >= closing &&
           !(Known(m_tr, i) && Raw(m_tr, i) <= halfway))
        --i;
    if (i < run.first || TimeOf(m_tr, i) < closing)
        return s;
    while (i >= run.first && (!Known(m_tr, i) || Raw(m_tr, i) < floor || Spike(m_tr, i)))
        --i;
    if (i < run.first)
        return s;
    int next = NextKnown(m_tr, i, last);
    while (next >= 0 && Spike(m_tr, next))
        next = NextKnown(m_tr, next, last);
    if (next >= 0)
        s.opening = Between(m_tr, i, next, floor);
    return s;
}

double PhaseFinder::SpanUnderPressure(int high) const {
    if (m_nextOpen.empty()) {
        // For each sample, the next one back at the open level.
        const double open = m_ph.openPsi + 2 * m_hints.floorPsi;
        const int n = int(m_tr.samples.size());
        m_nextOpen.resize(size_t(n));
        for (int i = n - 1, next = n - 1; i >= 0; --i) {
            if (Known(m_tr, i) && m_tr.filtered[size_t(i)] <= open)
                next = i;
            m_nextOpen[size_t(i)] = next;
        }
    }
    const Run& h = m_ph.runs[size_t(high)];
    return TimeOf(m_tr, m_nextOpen[size_t(h.last)]) - h.start;
}

bool PhaseFinder::IsSoak(int low, int high, const SoakShape& shape) const {
    const Run& run = m_ph.runs[size_t(low)];
    const double length = run.end - run.start;
    if (shape.opening && length >= kSoakWithOpeningSeconds)
        return true;
    if (length < std::max(kSoakAtZeroSeconds, m_hints.soakSeconds / 2))
        return false;
    // A rise that comes after a heater removal is a fusion, not a bead-up:
    // the stretch at zero after it is pressure released during cooling.
    const int before = low - 2;
    if (before >= 0 && !m_ph.runs[size_t(before)].gap && !m_ph.runs[size_t(before)].high &&
        !m_ph.runs[size_t(low - 1)].gap) {
        const SoakShape earlier = Soak(before, low - 1);
        const Run& r = m_ph.runs[size_t(before)];
        if (earlier.opening && r.end - r.start >= kSoakWithOpeningSeconds)
            return false;
    }
    // Without an opening to see, a long stretch at zero after a joint's
    // cooling looks like a soak too; a bead-up never lasts longer than the
    // fusion and cooling after it.
    const int bead = low - 1;
    return high < 0 || bead < 0 || m_ph.runs[size_t(bead)].gap ||
           Duration(m_ph.runs[size_t(bead)], m_tr.interval) <= SpanUnderPressure(high);
}

void PhaseFinder::Find() {
    if (!BuildRuns())
        return;
    const std::vector<Run>& runs = m_ph.runs;
    std::vector<int> highs;
    for (int i = 0; i < int(runs.size()); ++i)
        if (!runs[size_t(i)].gap && runs[size_t(i)].high)
            highs.push_back(i);
    if (highs.empty()) {
        m_ph.unreadable = QStringLiteral("the pressure never rises clearly above its lowest level");
        return;
    }
    // From the last rise back: a rise after a low stretch that is no soak is
    // pressure applied again during cooling; the fusion is the rise after
    // the soak.
    for (int k = int(highs.size()) - 1; k >= 0; --k) {
        const int f = highs[size_t(k)];
        const int s = f - 1;
        const QString at = Seconds(runs[size_t(f)].start);
        if (s < 0) {
            m_ph.fusionMissing = QStringLiteral("the log begins under pressure");
            return;
        }
        if (runs[size_t(s)].gap) {
            m_ph.fusionMissing = QStringLiteral("no readings for %1 s before the pressure rise at "
                                                "%2 s")
                                     .arg(Seconds(runs[size_t(s)].end - runs[size_t(s)].start), at);
            return;
        }
        const SoakShape shape = Soak(s, f);
        if (IsSoak(s, f, shape)) {
            m_ph.fusion = f;
            m_ph.soak = s;
            m_ph.soakShape = shape;
            if (s == 0)
                m_ph.beadMissing = QStringLiteral("the log begins in the heat soak");
            else if (runs[size_t(s - 1)].gap)
                m_ph.beadMissing = QStringLiteral("no readings before the heat soak");
            else
                m_ph.bead = s - 1;
            return;
        }
        if (k > 0)
            continue;
        // No soak before any rise: the only rise may be a bead-up, with the
        // soak after it and no fusion in the log.
        const int after = f + 1;
        if (f == highs.back() && after < int(runs.size()) && !runs[size_t(after)].gap) {
            const SoakShape tail = Soak(after, -1);
            if (IsSoak(after, -1, tail)) {
                m_ph.bead = f;
                m_ph.soak = after;
                m_ph.soakShape = tail;
                m_ph.fusionMissing =
                    QStringLiteral("no rise to fusion pressure found after the heat soak");
                return;
            }
        }
        m_ph.fusionMissing =
            QStringLiteral("no heat soak found before the pressure rise at %1 s").arg(at);
    }
}
} // namespace

Trace ReadTrace(const QByteArray& bytes) {
    Trace tr;
    const qsizetype n = bytes.size() / 4;
    tr.samples.resize(size_t(n));
    std::vector<double> steps;
    steps.reserve(size_t(n));
    for (qsizetype i = 1; i < n; ++i) {
        int step = int(Word(bytes, 4 * i)) - int(Word(bytes, 4 * (i - 1)));
        if (step < -32768)
            step += 65536; // the 16-bit clock wrapped
        if (step > 0)
            steps.push_back(step);
    }
    tr.interval = steps.empty() ? 1.0 : Median(steps) * kSecondsPerUnit;
    double t = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (i == 0) {
            t = Word(bytes, 0) * kSecondsPerUnit;
        } else {
            int step = int(Word(bytes, 4 * i)) - int(Word(bytes, 4 * (i - 1)));
            if (step < -32768)
                step += 65536;
            if (step < 0)
                tr.clockBacks.push_back(int(i));
            t += step < 0 ? tr.interval : step * kSecondsPerUnit;
        }
        const int psi = static_cast<qint16>(Word(bytes, 4 * i + 2));
        tr.samples[size_t(i)] = {t, double(psi), psi < kNoReading};
    }

    tr.filterWidth = std::max(3, int(std::ceil(kFilterSeconds / tr.interval)) | 1);
    tr.filtered.assign(size_t(n), kNaN);
    std::vector<int> at;
    at.reserve(size_t(n));
    for (int i = 0; i < int(n); ++i)
        if (tr.samples[size_t(i)].known)
            at.push_back(i);
    const std::vector<double> median = RunningMedian(tr, at, tr.filterWidth / 2);
    for (size_t k = 0; k < at.size(); ++k)
        tr.filtered[size_t(at[k])] = median[k];
    return tr;
}

double PressureBand(double psi, const PhaseHints& hints) {
    return std::max(hints.tolerance * std::fabs(psi), hints.floorPsi);
}

double FilteredLevel(const Trace& tr, int first, int last) {
    std::vector<double> values;
    values.reserve(size_t(std::max(last - first + 1, 0)));
    for (int i = std::max(first, 0); i <= last && i < int(tr.samples.size()); ++i)
        if (Known(tr, i))
            values.push_back(tr.filtered[size_t(i)]);
    return Median(values);
}

int IndexAt(const Trace& tr, double seconds) {
    const auto it = std::lower_bound(tr.samples.begin(), tr.samples.end(), seconds,
                                     [](const TraceSample& s, double t) { return s.seconds < t; });
    return int(it - tr.samples.begin());
}

std::optional<Moment> CrossUp(const Trace& tr, int first, int last, double psi) {
    last = std::min(last, int(tr.samples.size()) - 1);
    for (int i = std::max(first, 0); i <= last; ++i) {
        if (!Known(tr, i))
            continue;
        if (i == first && Raw(tr, i) >= psi)
            return Moment{TimeOf(tr, i), TimeOf(tr, i), TimeOf(tr, i)};
        const int next = NextKnown(tr, i, last);
        if (next >= 0 && Raw(tr, i) < psi && Raw(tr, next) >= psi)
            return Between(tr, i, next, psi);
    }
    return std::nullopt;
}

std::optional<Moment> CrossDown(const Trace& tr, int first, int last, double psi) {
    last = std::min(last, int(tr.samples.size()) - 1);
    for (int i = std::max(first, 0); i <= last; ++i) {
        if (!Known(tr, i))
            continue;
        if (i == first && Raw(tr, i) < psi)
            return Moment{TimeOf(tr, i), TimeOf(tr, i), TimeOf(tr, i)};
        const int next = NextKnown(tr, i, last);
        if (next >= 0 && Raw(tr, i) >= psi && Raw(tr, next) < psi)
            return Between(tr, i, next, psi);
    }
    return std::nullopt;
}

bool ClockBackWithin(const Trace& tr, int first, int last) {
    const auto it = std::upper_bound(tr.clockBacks.begin(), tr.clockBacks.end(), first);
    return it != tr.clockBacks.end() && *it <= last;
}

std::vector<Excursion> Excursions(const Trace& tr, int first, int last, double low, double high) {
    std::vector<Excursion> out;
    last = std::min(last, int(tr.samples.size()) - 1);
    int prev = -1;
    const auto close = [&](int back) {
        Excursion& e = out.back();
        e.returned = true;
        e.end = Between(tr, prev, back, e.above ? high : low).at;
    };
    for (int i = std::max(first, 0); i <= last; ++i) {
        if (!Known(tr, i))
            continue;
        const double p = Raw(tr, i);
        const int side = p > high ? 1 : p < low ? -1 : 0;
        const bool open = !out.empty() && !out.back().returned;
        if (open && (side == 0 || (side > 0) != out.back().above))
            close(i);
        if (side != 0 && open && !out.back().returned) {
            Excursion& e = out.back();
            e.lastIndex = i;
            e.end = TimeOf(tr, i);
            e.extreme = e.above ? std::max(e.extreme, p) : std::min(e.extreme, p);
            ++e.readings;
        } else if (side != 0) {
            Excursion e;
            e.above = side > 0;
            e.start = prev >= 0 ? Between(tr, prev, i, e.above ? high : low).at : TimeOf(tr, i);
            e.end = TimeOf(tr, i);
            e.extreme = p;
            e.firstIndex = e.lastIndex = i;
            e.readings = 1;
            out.push_back(e);
        }
        prev = i;
    }
    // A return shorter than a plateau does not end an excursion.
    std::vector<Excursion> merged;
    for (const Excursion& e : out) {
        if (!merged.empty() && merged.back().above == e.above &&
            e.start - merged.back().end < kPlateauSeconds) {
            Excursion& m = merged.back();
            m.end = e.end;
            m.lastIndex = e.lastIndex;
            m.returned = e.returned;
            m.readings += e.readings;
            m.extreme = m.above ? std::max(m.extreme, e.extreme) : std::min(m.extreme, e.extreme);
        } else {
            merged.push_back(e);
        }
    }
    for (Excursion& e : merged)
        e.spike = e.returned && e.readings <= tr.filterWidth / 2;
    return merged;
}

std::vector<Excursion> Departures(const Trace& tr, int first, int last, double low, double high,
                                  double margin) {
    std::vector<int> at;
    at.reserve(size_t(std::max(last - first + 1, 0)));
    for (int i = std::max(first, 0); i <= std::min(last, int(tr.samples.size()) - 1); ++i)
        if (Known(tr, i))
            at.push_back(i);
    // The sustained pressure (a running median over a dip's length) lies
    // above a level exactly when more than half of its window does: counts
    // of the window's readings beyond the band and beyond it by the margin.
    const int m = int(at.size());
    const int half = std::max(1, int(std::lround(kDipSeconds / tr.interval / 2)));
    const auto psi = [&](int k) { return Raw(tr, at[size_t(k)]); };
    int above = 0, farAbove = 0, below = 0, farBelow = 0;
    const auto count = [&](int k, int by) {
        const double p = psi(k);
        above += by * (p > high);
        farAbove += by * (p >= high + margin);
        below += by * (p < low);
        farBelow += by * (p <= low - margin);
    };
    std::vector<Excursion> out;
    bool clear = false; // the open one stood clear by the margin
    for (int k = 0, in = 0; k < m; ++k) {
        for (; in < m && in <= k + half; ++in)
            count(in, 1);
        if (k - half - 1 >= 0)
            count(k - half - 1, -1);
        const int window = std::min(m - 1, k + half) - std::max(0, k - half) + 1;
        const int side = 2 * above > window ? 1 : 2 * below > window ? -1 : 0;
        const bool open = !out.empty() && !out.back().returned;
        if (open && side != 0 && (side > 0) == out.back().above) {
            Excursion& e = out.back();
            e.lastIndex = at[size_t(k)];
            e.end = TimeOf(tr, e.lastIndex);
            e.extreme = e.above ? std::max(e.extreme, psi(k)) : std::min(e.extreme, psi(k));
            ++e.readings;
        } else {
            if (open && !clear)
                out.pop_back();
            else if (open)
                out.back().returned = true;
            if (side != 0) {
                Excursion e;
                e.above = side > 0;
                e.firstIndex = e.lastIndex = at[size_t(k)];
                e.start = e.end = TimeOf(tr, e.firstIndex);
                e.extreme = psi(k);
                e.readings = 1;
                out.push_back(e);
                clear = false;
            }
        }
        if (side != 0)
            clear = clear || 2 * (side > 0 ? farAbove : farBelow) > window;
    }
    if (!out.empty() && !out.back().returned && !clear)
        out.pop_back();
    return out;
}

std::optional<Moment> LastCrossDown(const Trace& tr, int first, int last, double psi) {
    last = std::min(last, int(tr.samples.size()) - 1);
    for (int i = last; i >= std::max(first, 0); --i) {
        if (!Known(tr, i) || Raw(tr, i) < psi)
            continue;
        const int next = NextKnown(tr, i, last);
        if (next >= 0 && Raw(tr, next) < psi)
            return Between(tr, i, next, psi);
    }
    return std::nullopt;
}

std::vector<Gap> LongGaps(const Trace& tr, int first, int last) {
    std::vector<Gap> out;
    last = std::min(last, int(tr.samples.size()) - 1);
    int prev = -1;
    for (int i = std::max(first, 0); i <= last; ++i) {
        if (!Known(tr, i))
            continue;
        if (prev >= 0) {
            const double missing = TimeOf(tr, i) - TimeOf(tr, prev) - tr.interval;
            if (missing > kDipSeconds)
                out.push_back({TimeOf(tr, prev), missing});
        }
        prev = i;
    }
    return out;
}

TracePhases FindPhases(const Trace& trace, const PhaseHints& hints) {
    TracePhases ph;
    PhaseFinder(trace, hints, ph).Find();
    return ph;
}
