#include "setup/MachineModels.h"
#include "framework/Globals.h"
#include "setup/JointRecord.h"
#include "setup/MachineListModel.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// The model list as the machine makers' data sheets give it: name|area, in
// list order.
const char* const kRows = R"(#Q5 HF|4.710|#Q5 LF|1.670|#Q5RX HF|4.710|#Q5RX LF|1.670|#Q70 HF|11.780
#Q70 MF|6.010|#Q70 LF|3.140|#Q90 HF|11.780|#Q90 MF|6.010|#Q90 LF|3.140|#Q95 HF|29.440
#Q95 MF|15.320|#Q95 LF|9.450|#Q130 HF|29.440|#Q130 MF|15.320|#Q130 LF| 9.450|#Q170 HF|31.420
#Q170 MF|14.140|#Q210 HF|31.420|Veltor05 EP|1.670|Veltor05 EP Vertical|1.670|Veltor05 HP|1.670
Veltor040 EP|1.670|Veltor040 HP|1.670|Veltor070 EP|3.140|Veltor070 HP|3.140
Grandor 2000 MF|14.140|Grandor 2000 HF|31.420|BR040 HF|4.710|BR040 LF|1.670|BR05 HF|4.710
BR05 LF|1.670|BR070 HF|11.780|BR070 MF|6.010|BR070 LF|3.140|BR080 MF|6.010|BR090 HF|11.780
BR090 MF|6.010|BR090 LF|3.140|Rovanax05 HP|1.670|Rovanax070 HP|3.140|Sidewall 60 HF|29.440
Tarvex Mech.|1.000|N040 HF|4.710|N040 LF|1.670|N040RX HF|4.710|N040RX LF|1.670|N05 HF|4.710
N05 LF|1.670|N05RX HF|4.710|N05RX LF|1.670|N070 HF|11.780|N070 MF|6.010|N070 LF|3.140
N080 MF|6.010|N090 HF|11.780|N090 MF|6.010|N090 LF|3.140|N150 HF|29.440|N150 MF|15.320
N150 LF|9.450|Orbalt 0040 LWR CYL|2.750|Orbalt 0040 UPR+LWR|4.210|Orbalt 0090-HF|19.640
Orbalt 0090-LF|3.140|#Q130 AutoGrando-H|15.320|#Q130 AutoGrando-L|6.770|Unlisted|1.000)";

void StoreMachine(int index, const char* name, const char* area, int unit) {
    WriteLogInt(LogData::kMachineModelInx, index);
    WriteLogText(LogData::kMachineModelText, QString::fromUtf8(name));
    WriteLogText(LogData::kPistonArea, QString::fromUtf8(area));
    WriteLogInt(LogData::kPistonAreaUnit, unit);
}
} // namespace

TEST(MachineModels, TableRowsAndListTexts) {
    const QStringList fields =
        QString::fromUtf8(kRows).split(QRegularExpression(QStringLiteral("[|\n]")));
    ASSERT_EQ(fields.size(), 2 * kMachineModelCount);
    for (int i = 0; i < kMachineModelCount; ++i) {
        EXPECT_EQ(QString::fromLatin1(MachineModelTable[i].name), fields[2 * i]) << i;
        EXPECT_EQ(QString::fromLatin1(MachineModelTable[i].pistonArea), fields[2 * i + 1]) << i;
    }
    EXPECT_EQ(MachineModelListText(15), QStringLiteral("#Q130 LF"));
    EXPECT_EQ(MachineModelListText(kUnlistedModelInx), QStringLiteral("Unlisted"));
}

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
