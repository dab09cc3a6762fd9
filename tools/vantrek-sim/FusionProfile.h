#pragma once
// The gauge pressure of a synthetic butt-fusion joint over time: bead-up,
// heat soak, heater removal with the sharp rise to fuse pressure, fuse, cool,
// release.

struct FusionPressures {
    int bead = 350;
    int soak = 30;
    int fuse = 350;
    int cool = 320;
};

class FusionProfile {
public:
    explicit FusionProfile(const FusionPressures& pressures = {}) : m_psi(pressures) {}

    // Pressure in psi at `seconds` from the start of the log.
    int PressureAt(double seconds) const;
    // Length of the whole joint in seconds; logging ends there.
    static double Duration();

private:
    FusionPressures m_psi;
};
