#include "FusionProfile.h"

#include <cmath>

namespace {
// Phase ends, in seconds from the start of the log.
constexpr double kBeadRise = 3;
constexpr double kBeadEnd = 30;
constexpr double kSoakDrop = 32;
constexpr double kSoakEnd = 150;
constexpr double kHeaterOut = 158; // carriage open, heater out
constexpr double kFuseRise = 160;  // the sharp rise the front-end search finds
constexpr double kFuseEnd = 220;
constexpr double kCoolEnd = 460;
constexpr double kReleased = 465;
constexpr double kEnd = 470;

double Ramp(double from, double to, double start, double end, double t) {
    return from + (to - from) * (t - start) / (end - start);
}
} // namespace

double FusionProfile::Duration() {
    return kEnd;
}

int FusionProfile::PressureAt(double t) const {
    double psi = 0;
    if (t < 0 || t >= kReleased)
        psi = 0;
    else if (t < kBeadRise)
        psi = Ramp(0, m_psi.bead, 0, kBeadRise, t);
    else if (t < kBeadEnd)
        psi = m_psi.bead;
    else if (t < kSoakDrop)
        psi = Ramp(m_psi.bead, m_psi.soak, kBeadEnd, kSoakDrop, t);
    else if (t < kSoakEnd)
        psi = m_psi.soak;
    else if (t < kHeaterOut)
        psi = 0;
    else if (t < kFuseRise)
        psi = Ramp(0, m_psi.fuse, kHeaterOut, kFuseRise, t);
    else if (t < kFuseEnd)
        psi = m_psi.fuse;
    else if (t < kCoolEnd)
        psi = m_psi.cool;
    else
        psi = Ramp(m_psi.cool, 0, kCoolEnd, kReleased, t);
    return static_cast<int>(std::lround(psi));
}
