#include "setup/NotesPrefix.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "setup/JointRecord.h"
#include "setup/Units.h"

#include <gtest/gtest.h>

namespace {
void SetSidewall(int selection, int baseType) {
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    WriteLogInt(LogData::kFittingForceOrCalc, selection);
    WriteLogInt(LogData::kFittingBaseType, baseType);
}
} // namespace

TEST(NotesPrefix, TemperatureOffsetAndFittingBaseInLabelMode) {
    LoadUnitSettings();
    EXPECT_EQ(NotesPrefix(), QString()); // butt fusion, no offset
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -3);
    EXPECT_EQ(NotesPrefix(), QStringLiteral("Temp Offset: -3°F"));

    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 5);
    SetSidewall(0, 0);
    EXPECT_EQ(NotesPrefix(), QStringLiteral("Temp Offset: 5°F, Round Fitting Base"));
    SetSidewall(0, 2); // label mode calls every other base a rectangle
    EXPECT_EQ(FittingSummary(QString()), QStringLiteral("Rectangle Fitting Base"));
    SetSidewall(2, 0);
    EXPECT_EQ(FittingSummary(QStringLiteral("x")), QStringLiteral("x"));

    // A mechanical machine always names its base, sidewall box or not.
    WriteLogInt(LogData::kDoSidewallFusion, 0);
    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    WriteLogInt(LogData::kFittingBaseType, 1);
    EXPECT_EQ(FittingSummary(QString()), QStringLiteral("Rectangle Fitting Base"));
}

TEST(NotesPrefix, CalculatedPressuresListTheBaseDimensions) {
    WriteLogText(LogData::kFittingBaseHoleDiameter, QStringLiteral("1"));
    WriteLogText(LogData::kFittingBaseLength, QStringLiteral("40"));
    WriteLogText(LogData::kFittingBaseWidth, QStringLiteral("30"));
    WriteLogText(LogData::kFittingOd, QStringLiteral("2"));
    WriteLogText(LogData::kFittingWallThickness, QStringLiteral("--"));
    SetSidewall(1, 1);
    WriteLogInt(LogData::kFittingDimensionsUnit, 1);
    EXPECT_EQ(FittingSummary(QString()),
              QStringLiteral("Rectangle Fitting Base: (mm), Hole Diam:1, Length:40, Width:30"));
    SetSidewall(1, 2);
    WriteLogInt(LogData::kFittingDimensionsUnit, 0);
    EXPECT_EQ(FittingSummary(QStringLiteral("T")),
              QStringLiteral("T, Round Fitting Base: (in.), OD:2, Wall Thickness:--"));
}
