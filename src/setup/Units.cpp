#include "setup/Units.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"

#include <cmath>

namespace {
constexpr PressUnitInfo kPressUnits[] = {
    {u"psi", 1.0, "%.0f", u"30"},
    {u"bar", 14.5, "%.1f", u"2.1"},
    {u"Kg/cm²", 14.2, "%.1f", u"2.1"},
    {u"MPa", 145.0, "%.3f", u"0.21"},
};
} // namespace

const PressUnitInfo& PressUnit(int index) {
    return index >= 1 && index <= 3 ? kPressUnits[index] : kPressUnits[0];
}

QString TempUnitText(int index) {
    return index == 1 ? QStringLiteral("°C") : QStringLiteral("°F");
}

void LoadUnitSettings() {
    g_strFittingTypes = {LoadString(IDS_FITTING_SERVICE_SADDLE), LoadString(IDS_FITTING_TAP_TEE),
                         LoadString(IDS_FITTING_BRANCH_SADDLE),
                         LoadString(IDS_FITTING_H2O_TAP_TEE)};
    g_nPressUnit = ReadSettingInt(kKeySettings, kPressUnitInx, 0);
    g_nTempUnit = ReadSettingInt(kKeySettings, kTempUnitInx, 0);
    g_strPressUnit = QString::fromUtf16(PressUnit(g_nPressUnit).text);
    g_strTempUnit = TempUnitText(g_nTempUnit);
}

double ToPsi(double value) {
    return std::fabs(value) * PressUnit(g_nPressUnit).psiPerUnit;
}

QString FormatPressure(double psi, int unit) {
    if (psi >= 7777.0)
        return QStringLiteral(" ERR");
    if (psi <= 5.0)
        return QStringLiteral(" -0-");
    const PressUnitInfo& info = PressUnit(unit);
    return FormatDouble(info.displayFormat, psi / info.psiPerUnit);
}
