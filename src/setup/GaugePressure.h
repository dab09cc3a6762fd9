#pragma once
// The recommended gauge pressures: what the operator sets on the machine so
// that the pipe or fitting face sees the interfacial pressure the fusion
// procedure prescribes.

#include <QString>

// The gauge pressure for one interfacial pressure (or sidewall force) text, in
// the current pressure unit, or "-----" when the text holds no digit or the
// joint has no usable pipe area or piston area.
QString CalcGaugePressure(const QString& ifpText);

// Computes the bead, soak, fuse and cool pressures of the joint in the
// record, stores them ("Rec Heat" .. "Rec Cool") with the demo mode's playback
// values, and returns them as four lines for display.
QString ComputeRecommendedPressures();
