#pragma once
// Reports of known fusion traces, one sample a second, for the tests of the
// procedure check and of what shows its verdict. The joint: 8" IPS DR 11 in
// psi (wall 8.625 / 11 = 0.784 in: heater removal at most 15 s, cooling at
// least 11 x 0.784 x 60 = 517.5 s) on a 4.71 in² machine, interfacial
// pressures 75 psi, drag 30 psi, Rec Heat, Fuse and Cool 338 psi, Rec Soak
// 40 psi, tolerance 10 % (304.2 to 371.8 psi; soak at most 44 psi).

#include "ReportMaker.h"

struct FusionTrace {
    int bead = 340;       // psi, t = 5 .. 34
    int soakPeak = 43;    // psi at t = 100; the rest of the soak is 40
    int dip = 5;          // seconds at 0 psi after the soak (t = 156 on)
    int fuse = 338;       // psi over the first half minute of fusion
    int heldFor = 600;    // seconds from fusion pressure to the release
    int noReadingAt = -1; // a 4001 sample at this second
};

// 0 psi to t = 4, bead-up from t = 5, soak from t = 35 (100 psi, then 40),
// soak ends at t = 155, the dip, then 200 psi and 320 psi (fusion pressure,
// 90 % of 338 is 304.2) at F = 157 + dip, the fuse pressure to F + 29, 338
// psi until F + heldFor, then released. With the defaults every criterion
// of the shipped procedure passes.
ReportPlan FusionTracePlan(const FusionTrace& trace);
