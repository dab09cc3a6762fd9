#pragma once
// The phases of a butt-fusion pressure trace: bead-up, heat soak, heater
// removal, fusion and cooling, found from the recommended gauge pressures.
// Sample indices; -1 where a phase was not found.

#include <vector>

struct TraceSample {
    double seconds = 0; // from the start of the log
    double psi = 0;
    bool known = true; // false for a "no reading" sample
};

struct PhaseLevels {
    double beadPsi = 0; // recommended gauge pressures
    double soakPsi = 0;
    double fusePsi = 0;
    double coolPsi = 0;
    double tolerance = 0.1; // a fraction of a recommended pressure
};

struct TracePhases {
    int beadStart = -1; // first sample of the bead-up
    int soakStart = -1; // first sample after the bead-up
    int soakEnd = -1;   // last sample at soak pressure, before the carriage opens
    int fuseRise = -1;  // first sample of the rise towards fusion pressure
    int fuseStart = -1; // first sample at 90 % of the fuse pressure; -1 when never
    int coolEnd = -1;   // first sample below the cool pressure less the tolerance,
                        // or the sample count when the log ends under pressure
};

// The bead-up begins and ends, and the rise to fusion begins, where the
// pressure crosses halfway between two recommended levels, so that a phase
// run at a wrong pressure is still found (and then judged). No-reading
// samples never mark a phase's start or end.
TracePhases FindPhases(const std::vector<TraceSample>& trace, const PhaseLevels& levels);

// The median of the known pressures of samples [first, last); false when
// there are none.
bool MedianPressure(const std::vector<TraceSample>& trace, int first, int last, double& median);
// Whether every sample of [first, last) is a reading.
bool AllKnown(const std::vector<TraceSample>& trace, int first, int last);
