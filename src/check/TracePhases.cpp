#include "check/TracePhases.h"

#include <algorithm>

namespace {
// A gauge wanders by a psi or two at a steady pressure; a band narrower than
// this would cut a steady soak into pieces.
constexpr double kGaugeNoisePsi = 2.0;

// The first known sample from `from` on that `test` accepts, else -1.
template <typename Test> int FirstFrom(const std::vector<TraceSample>& trace, int from, Test test) {
    for (int i = std::max(from, 0); i < static_cast<int>(trace.size()); ++i)
        if (trace[i].known && test(trace[i].psi))
            return i;
    return -1;
}
} // namespace

TracePhases FindPhases(const std::vector<TraceSample>& trace, const PhaseLevels& levels) {
    TracePhases ph;
    const int n = static_cast<int>(trace.size());
    const double beadSoak = (levels.beadPsi + levels.soakPsi) / 2;
    ph.beadStart = FirstFrom(trace, 0, [&](double p) { return p >= beadSoak; });
    if (ph.beadStart < 0)
        return ph;
    ph.soakStart = FirstFrom(trace, ph.beadStart + 1, [&](double p) { return p < beadSoak; });
    if (ph.soakStart < 0)
        return ph;
    const double soakFuse = (levels.soakPsi + levels.fusePsi) / 2;
    ph.fuseRise = FirstFrom(trace, ph.soakStart, [&](double p) { return p >= soakFuse; });
    if (ph.fuseRise < 0) {
        ph.soakEnd = n - 1;
        return ph;
    }

    // Back from the rise: past the samples above the soak (the rise itself),
    // then past the dip while the carriage was open, to the last sample at
    // the soak's own level. A soak that goes straight into the rise has no dip.
    double soakLevel = levels.soakPsi;
    MedianPressure(trace, ph.soakStart, ph.fuseRise, soakLevel);
    const double band = std::max(levels.tolerance * levels.soakPsi, kGaugeNoisePsi);
    int k = std::max(ph.fuseRise - 1, ph.soakStart);
    while (k > ph.soakStart && (!trace[k].known || trace[k].psi > soakLevel + band))
        --k;
    if (trace[k].known && trace[k].psi < soakLevel - band)
        while (k > ph.soakStart && (!trace[k].known || trace[k].psi < soakLevel - band))
            --k;
    ph.soakEnd = k;

    ph.fuseStart =
        FirstFrom(trace, ph.fuseRise, [&](double p) { return p >= 0.9 * levels.fusePsi; });
    const double coolLow = levels.coolPsi * (1 - levels.tolerance);
    const int underPressure = ph.fuseStart >= 0 ? ph.fuseStart : ph.fuseRise;
    if (trace[underPressure].psi >= coolLow) {
        const int released =
            FirstFrom(trace, underPressure + 1, [&](double p) { return p < coolLow; });
        ph.coolEnd = released < 0 ? n : released;
    }
    return ph;
}

bool MedianPressure(const std::vector<TraceSample>& trace, int first, int last, double& median) {
    std::vector<double> values;
    values.reserve(static_cast<size_t>(std::max(last - first, 0)));
    for (int i = std::max(first, 0); i < last && i < static_cast<int>(trace.size()); ++i)
        if (trace[i].known)
            values.push_back(trace[i].psi);
    if (values.empty())
        return false;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid),
                     values.end());
    median = values[mid];
    if (values.size() % 2 == 0)
        median = (median + *std::max_element(values.begin(),
                                             values.begin() + static_cast<std::ptrdiff_t>(mid))) /
                 2;
    return true;
}

bool AllKnown(const std::vector<TraceSample>& trace, int first, int last) {
    for (int i = std::max(first, 0); i < last && i < static_cast<int>(trace.size()); ++i)
        if (!trace[i].known)
            return false;
    return true;
}
