#include "setup/Units.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"

#include <gtest/gtest.h>

namespace {
void UsePressUnit(int unit) {
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), unit);
    LoadUnitSettings();
}
} // namespace

TEST(Units, LoadUnitSettingsSetsTheUnitState) {
    EXPECT_TRUE(g_strPressUnit.isEmpty()); // until loaded
    LoadUnitSettings();
    EXPECT_EQ(g_strPressUnit, QStringLiteral("psi"));
    EXPECT_EQ(g_strTempUnit, QStringLiteral("°F"));
    EXPECT_EQ(g_strFittingTypes,
              QStringList({QStringLiteral("Service Saddle"), QStringLiteral("Tap Tee"),
                           QStringLiteral("Branch Saddle"), QStringLiteral("H2O Tap Tee")}));
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 1);
    UsePressUnit(2);
    EXPECT_EQ(g_nPressUnit, 2);
    EXPECT_EQ(g_strPressUnit, QStringLiteral("Kg/cm²"));
    EXPECT_EQ(g_strTempUnit, QStringLiteral("°C"));
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 7);
    UsePressUnit(9);
    EXPECT_EQ(g_strPressUnit, QStringLiteral("psi"));
    EXPECT_EQ(g_strTempUnit, QStringLiteral("°F"));
    EXPECT_EQ(ToPsi(-3), 3.0);
    UsePressUnit(1);
    EXPECT_EQ(ToPsi(-2), 29.0);
}

TEST(Units, FormatPressureShowsTheLiveGauge) {
    EXPECT_EQ(FormatPressure(5.0, 0), QStringLiteral(" -0-"));
    EXPECT_EQ(FormatPressure(-20, 1), QStringLiteral(" -0-"));
    EXPECT_EQ(FormatPressure(5.01, 0), QStringLiteral("5"));
    EXPECT_EQ(FormatPressure(7776.9, 0), QStringLiteral("7777"));
    EXPECT_EQ(FormatPressure(7777, 0), QStringLiteral(" ERR"));
    EXPECT_EQ(FormatPressure(189.2357, 0), QStringLiteral("189"));
    EXPECT_EQ(FormatPressure(190.55, 1), QStringLiteral("13.1"));
    EXPECT_EQ(FormatPressure(142, 2), QStringLiteral("10.0"));
    EXPECT_EQ(FormatPressure(190.53, 3), QStringLiteral("1.314"));
    EXPECT_EQ(FormatPressure(100.5, 8), QStringLiteral("100")); // psi; ties to even as printf
}
