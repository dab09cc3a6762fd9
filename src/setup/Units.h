#pragma once
// Pressure and temperature units, the conversions the fusion calculations
// rely on, and the way pressures are shown. Arithmetic is in psi, inches and
// square inches; a value is turned into the operator's unit only for display.

#include <QString>

// Fixed literals rather than computed ratios, so that every figure agrees to
// the last printed digit with the pressures crews already work to.
constexpr double kMmToInch = 0.03937007874015748;    // 1 / 25.4
constexpr double kSqMmToSqInch = 0.0015500031000062; // 1 / 645.16
constexpr double kSqCmToSqInch = 0.15500031000062;   // 1 / 6.4516
constexpr double kFittingPi = 3.1416;
constexpr double kQuarterPi = 0.7854;

// The unit indices under the settings key "Settings".
inline const QString kPressUnitInx = QStringLiteral("Press Unit Inx");
inline const QString kTempUnitInx = QStringLiteral("Temp Unit Inx");

// Shown where no recommended pressure can be given.
inline const QString kNoPressure = QStringLiteral("-----");

// One row of the pressure unit table ("Press Unit Inx"). The factors are the
// trade's round figures, not the exact physical ratios.
struct PressUnitInfo {
    const char16_t* text; // "psi", "bar", "Kg/cm²", "MPa"
    double psiPerUnit;
    const char* displayFormat;   // "%.0f", "%.1f" or "%.3f"
    const char16_t* defaultDrag; // the Drag Pressure page's default
};

// The row of a unit index; any index outside 0..3 is psi.
const PressUnitInfo& PressUnit(int index);

// "°F" for 0 and any unknown index, "°C" for 1.
QString TempUnitText(int index);

// Loads the fitting type names and the pressure and temperature units from
// the settings into the process-wide unit state.
void LoadUnitSettings();

// A pressure typed in the current unit, in psi; the sign is dropped because a
// fusion pressure is a magnitude.
double ToPsi(double value);

// The live gauge pressure: " ERR" at or above 7777 psi, " -0-" at or below
// 5 psi, else the value in `unit` with that unit's display format.
QString FormatPressure(double psi, int unit);
