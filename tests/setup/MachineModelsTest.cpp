#include "setup/MachineModels.h"
#include "framework/Globals.h"
#include "setup/JointRecord.h"
#include "setup/MachineListModel.h"

#include <gtest/gtest.h>

namespace {
void StoreMachine(int index, const char* name, const char* area, int unit) {
    WriteLogInt(LogData::kMachineModelInx, index);
    WriteLogText(LogData::kMachineModelText, QString::fromUtf8(name));
    WriteLogText(LogData::kPistonArea, QString::fromUtf8(area));
    WriteLogInt(LogData::kPistonAreaUnit, unit);
}
} // namespace

TEST(MachineModels, FamilyTestsAndTheSidewallRule) {
    g_strMachineModel = QStringLiteral("Tarvex Mech. SW");
    EXPECT_TRUE(IsTarvexMech());
    g_strMachineModel = QStringLiteral("tarvex mech.");
    EXPECT_FALSE(IsTarvexMech());
    EXPECT_TRUE(IsOrbalt(QStringLiteral("Orbalt 0090-HF")));
    EXPECT_FALSE(IsOrbalt(QStringLiteral("ORBALT")));
    EXPECT_TRUE(UsesDirectPipeArea(QStringLiteral("My Tarvex LD SW")));
    EXPECT_TRUE(UsesDirectPipeArea(QStringLiteral("Sidewall 60 HF")));
    EXPECT_TRUE(UsesDirectPipeArea(QStringLiteral("Orbalt 0040 LWR CYL")));
    EXPECT_FALSE(UsesDirectPipeArea(QStringLiteral("#Q70 MF SW")));

    for (const char* name : {"#Q70 MF", "Grandor 2000 MF", "Unlisted", "12345678901234567"})
        EXPECT_TRUE(SidewallFusionAllowed(QString::fromUtf8(name))) << name;
    for (const char* name : {"Veltor05 EP Vertical", "#Q130 AutoGrando-H", "Tarvex Mech.",
                             "Orbalt 0090-HF", "Sidewall 60 HF", "123456789012345678"})
        EXPECT_FALSE(SidewallFusionAllowed(QString::fromUtf8(name))) << name;
}

TEST(MachineListModel, FreshStoreAndDamagedIndex) {
    CMachineListModel page;
    page.Open();
    ASSERT_EQ(page.Items().size(), kMachineModelCount);
    EXPECT_EQ(page.Items().last(), QStringLiteral("Unlisted"));
    EXPECT_EQ(page.Selection(), 0);
    EXPECT_EQ(page.PistonAreaLabel(), QStringLiteral("Piston Area: 4.710"));
    EXPECT_TRUE(page.SidewallEnabled());
    EXPECT_FALSE(page.SidewallChecked());

    for (int stored : {68, -1}) {
        WriteLogInt(LogData::kMachineModelInx, stored);
        page.Open();
        EXPECT_EQ(page.Selection(), 0) << stored;
    }
}

TEST(MachineListModel, AcceptingAListedModel) {
    CMachineListModel page;
    page.Open();
    page.Select(15);
    EXPECT_EQ(page.PistonAreaLabel(), QStringLiteral("Piston Area:  9.450"));
    page.SetPistonArea(QStringLiteral("99")); // the hidden field does not count
    page.Accept();
    EXPECT_EQ(ReadLogText(LogData::kPistonArea), QStringLiteral("9.450"));
    EXPECT_EQ(ReadLogText(LogData::kMachineModelText), QStringLiteral("#Q130 LF"));
    EXPECT_EQ(ReadLogText(LogData::kMachineId), QStringLiteral("--"));
    EXPECT_EQ(ReadLogInt(LogData::kMachineModelInx, -1), 15);
    EXPECT_EQ(ReadLogInt(LogData::kDoSidewallFusion, -1), 0);

    // A listed model's area is in in², whatever unit an earlier machine left.
    StoreMachine(5, "#Q70 MF", "6.010", 1);
    page.Open();
    page.SetMachineId(QStringLiteral("  M-7 "));
    page.SetSidewallChecked(true);
    page.Accept();
    EXPECT_EQ(g_strMachineModel, QStringLiteral("#Q70 MF SW"));
    EXPECT_EQ(ReadLogText(LogData::kMachineId), QStringLiteral("M-7"));
    EXPECT_EQ(ReadLogInt(LogData::kPistonAreaUnit, -1), 0);
    EXPECT_EQ(ReadLogInt(LogData::kDoSidewallFusion, -1), 1);

    // The box starts cleared every time; a disabled one cannot be ticked.
    page.Open();
    EXPECT_FALSE(page.SidewallChecked());
    page.SetSidewallChecked(true);
    page.Select(42);
    EXPECT_FALSE(page.SidewallEnabled());
    EXPECT_FALSE(page.SidewallChecked());
    page.SetSidewallChecked(true);
    page.Accept();
    EXPECT_TRUE(IsTarvexMech());
    EXPECT_EQ(ReadLogInt(LogData::kDoSidewallFusion, -1), 0);
}

TEST(MachineListModel, UnlistedMachineIsTypedByHand) {
    StoreMachine(kUnlistedModelInx, "My Tarvex LD SW", "12.5", 1);
    CMachineListModel page;
    page.Open();
    EXPECT_TRUE(page.IsUnlisted());
    EXPECT_EQ(page.PistonAreaLabel(), QStringLiteral("Piston Area: "));
    EXPECT_EQ(page.ModelName(), QStringLiteral("My Tarvex LD SW"));
    EXPECT_EQ(page.PistonArea(), QStringLiteral("12.5"));
    EXPECT_EQ(page.AreaUnit(), 1);
    page.SetSidewallChecked(true);
    page.Accept();
    EXPECT_EQ(ReadLogText(LogData::kMachineModelText), QStringLiteral("My Tarvex LD SW SW"));
    EXPECT_EQ(ReadLogInt(LogData::kPistonAreaUnit, -1), 1);
    EXPECT_TRUE(UsesDirectPipeArea(g_strMachineModel));

    // Another selection clears what was typed, not the box; coming back
    // starts empty.
    page.Select(3);
    page.Select(kUnlistedModelInx);
    EXPECT_TRUE(page.ModelName().isEmpty());
    EXPECT_TRUE(page.PistonArea().isEmpty());
    EXPECT_TRUE(page.SidewallChecked());
    page.SetSidewallChecked(false);
    page.Accept();
    EXPECT_EQ(ReadLogText(LogData::kMachineModelText), QStringLiteral("--"));
    EXPECT_EQ(ReadLogText(LogData::kPistonArea), QStringLiteral("--"));
}
