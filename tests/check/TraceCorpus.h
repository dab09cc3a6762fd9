#pragma once
// Butt-fusion joints as a field logs them, for the procedure check's tests
// and benchmark: a pressure profile built from the operator's steps and
// habits (facing, a slippage check, a thermal bump in the soak, manual
// pumping and sags), logged the way a Vantrek does (gauge noise, whole psi,
// spikes, no-reading stretches, a 16-bit clock that wraps or jumps back).
//
// The default joint: 8" IPS DR 11 PE4710 (wall 0.784 in: heater removal at
// most 15 s, cooling at least 517.5 s) on a 4.71 in² machine, interfacial
// pressures 75 psi, drag 30 psi, so Rec Heat, Fuse and Cool 338 psi and Rec
// Soak 30 psi, heater 430 °F, held as a crew with a hydraulic machine would.

#include "ReportMaker.h"

#include <vector>

struct FieldJoint {
    // The log.
    unsigned seed = 1;
    double sampleSeconds = 1;
    double noisePsi = 1.5; // standard deviation of the gauge's noise
    int clockStart = 0;    // time units of the first sample
    // The machine: a manual pump ramps slowly and sags while cooling.
    bool manual = false;
    int sags = 0; // sags to 85 % for 2 s, pumped back
    // Habits before the bead-up.
    bool facing = false;
    bool slippageCheck = false;
    // Pressures held (gauge psi) and times (s).
    double bead = 338, soak = 30, fuse = 338, cool = 338;
    double beadSeconds = 45, soakSeconds = 200;
    double removalSeconds = 7; // carriage open to contact
    double buildUpSeconds = 2;
    double fuseSeconds = 620; // at fusion pressure until the release
    bool thermalBump = true;  // the melt's expansion early in the soak
    // A second cooling stage: after `fuseSeconds` at `fuse`, this pressure
    // for `secondSeconds`.
    double second = -1, secondSeconds = 0;
    double drag = 30; // the carriage closes at it
    // Faults.
    double releaseAt = -1;      // seconds into cooling: released to 0 ...
    double releaseSeconds = 15; // ... for this long, then applied again
    double leakTo = -1;         // the cooling pressure decays to this
    double idleAfter = 15;      // logged after the release; 0: the log ends under pressure
    // Times (s from the start of the log) where the log lost readings,
    // single spikes, and the clock's jumps back.
    std::vector<std::pair<double, double>> noReading = {}; // from, to
    std::vector<std::pair<double, double>> spikes = {};    // at, psi
    std::vector<std::pair<double, double>> clockBack = {}; // at, by seconds
};

// The report of the joint, fields as the default joint's.
ReportPlan FieldJointPlan(const FieldJoint& joint);
// Where in the log the joint's steps fall (seconds), for tests that put
// faults at a step.
struct FieldJointTimes {
    double beadStart = 0;
    double soakStart = 0;
    double opening = 0;
    double contact = 0;
    double fusionReached = 0;
    double release = 0;
};
FieldJointTimes FieldJointTimesOf(const FieldJoint& joint);
