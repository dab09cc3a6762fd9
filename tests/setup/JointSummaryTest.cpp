// The joint summary shown when the last setup is offered for the next joint.
#include "report/JointSummary.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "setup/JointRecord.h"
#include "setup/Units.h"

#include <gtest/gtest.h>

namespace {
class JointSummary : public ::testing::Test {
protected:
    void SetUp() override {
        LoadJointSetupLists();
        LoadUnitSettings();
        SetFixedLocalTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
        WriteLogInt(LogData::kJointNumber, 12);
        WriteLogText(LogData::kJobNumber, QStringLiteral("J1"));
        WriteLogText(LogData::kEmployeeId, QStringLiteral("7"));
        WriteLogText(LogData::kMachineId, QStringLiteral("M-22"));
        WriteLogText(LogData::kPistonArea, QStringLiteral("6.010"));
        WriteLogText(LogData::kPipeMaterialText, QStringLiteral("PE 4710"));
    }
    void SetModel(const QString& model) {
        g_strMachineModel = model;
        WriteLogText(LogData::kMachineModelText, model);
    }
    static QString Summary() {
        QString text = QStringLiteral("before\r\n");
        AppendJointSummary(text);
        return text;
    }
};

const QString kHead = QStringLiteral("before\r\n"
                                     " 1. 2024/03/05  07:08:09\r\n"
                                     " 2. Joint Number: 12\r\n"
                                     " 3. Job Number: J1\r\n"
                                     " 4. Employee ID: 7\r\n"
                                     " 5. Machine ID: M-22\r\n");
} // namespace

TEST_F(JointSummary, PipeJoint) {
    SetModel(QStringLiteral("#Q70 MF"));
    WriteLogText(LogData::kPipeSize, QStringLiteral("8"));
    WriteLogText(LogData::kWallThickness, QStringLiteral("11"));
    for (const auto* name : {&LogData::kHeatIfp, &LogData::kFuseIfp, &LogData::kCoolIfp})
        WriteLogText(*name, QStringLiteral("75"));
    WriteLogText(LogData::kSoakIfp, QStringLiteral("30"));
    EXPECT_EQ(Summary(), kHead + QStringLiteral(" 6. Mach. Model: #Q70 MF\r\n"
                                                " 7. Piston Area: 6.010 in²\r\n"
                                                " 8. Pipe Material: PE 4710\r\n"
                                                " 9. 8\" IPS  DR 11\r\n"
                                                "\r\n"
                                                "Interfacial Pressures:\r\n"
                                                "10. Bead: 75 psi\r\n"
                                                "11. Soak: 30 psi\r\n"
                                                "12. Fuse: 75 psi\r\n"
                                                "13. Cool: 75 psi\r\n"));

    // A wall in millimetres stands after its number, a ratio before it.
    WriteLogText(LogData::kPipeSize, QStringLiteral("110"));
    WriteLogInt(LogData::kPipeSizeUnit, 3);
    WriteLogText(LogData::kWallThickness, QStringLiteral("6"));
    WriteLogInt(LogData::kWallThicknessUnit, 2);
    EXPECT_TRUE(Summary().contains(QStringLiteral("\r\n 9. 110mm O.D.  6 mm WT\r\n")));
}

TEST_F(JointSummary, SidewallJointWithForcesFromTheLabel) {
    SetModel(QStringLiteral("#Q70 MF SW"));
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    WriteLogInt(LogData::kFittingType, 1);
    WriteLogText(LogData::kFittingMainSize, QStringLiteral("4"));
    WriteLogText(LogData::kFittingOutletSize, QStringLiteral("2"));
    WriteLogInt(LogData::kFittingOutletUnit, 2);
    WriteLogText(LogData::kRecBeadForceOrIfp, QStringLiteral("60"));
    WriteLogText(LogData::kRecSoakForceOrIfp, QStringLiteral("0"));
    WriteLogText(LogData::kRecFuseForceOrIfp, QStringLiteral("30"));
    WriteLogText(LogData::kCoolIfp, QStringLiteral("75")); // not shown for a sidewall joint
    EXPECT_EQ(Summary(), kHead + QStringLiteral(" 6. #Q70 MF SW\r\n"
                                                " 7. Piston Area: 6.010 in²\r\n"
                                                " 8. Pipe Material: PE 4710\r\n"
                                                " 9. Fitting Type: Tap Tee\r\n"
                                                "10. 4\" IPS x 2\" CTS\r\n"
                                                "\r\n"
                                                "Rec. Forces from Fitting Label:\r\n"
                                                "11. Bead: 60 psi\r\n"
                                                "12. Soak: 0 psi\r\n"
                                                "13. Fuse: 30 psi\r\n"
                                                "\r\n"
                                                "Round Fitting Base"));

    // Calculated pressures are interfacial pressures, in the current unit.
    WriteLogInt(LogData::kFittingForceOrCalc, 1);
    WriteSettingInt(kKeySettings, kPressUnitInx, 1);
    LoadUnitSettings();
    const QString text = Summary();
    EXPECT_TRUE(
        text.contains(QStringLiteral("\r\nInterfacial Pressures:\r\n11. Bead: 60 bar\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("Round Fitting Base: (in.), OD:, Wall Thickness:")));
}

TEST_F(JointSummary, TarvexMechNumbersBeadAndFuseTwoAboveTheNextFreeNumber) {
    SetModel(QStringLiteral("Tarvex Mech."));
    WriteLogText(LogData::kFittingHeatPressure, QStringLiteral("1200"));
    WriteLogText(LogData::kFittingFusePressure, QStringLiteral("800"));
    WriteLogText(LogData::kFittingMainSize, QStringLiteral("4"));
    WriteLogText(LogData::kFittingOutletSize, QStringLiteral("2"));
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -3);
    EXPECT_EQ(Summary(), kHead + QStringLiteral(" 6. Tarvex Mech.\r\n"
                                                " 7. Pipe Material: PE 4710\r\n"
                                                " 8. Service Saddle\r\n"
                                                " 9. 4\" IPS x 2\" IPS\r\n"
                                                "\r\n"
                                                "Rec. Forces from Fitting Label:\r\n"
                                                "12. Bead: 1200 psi\r\n"
                                                "13. Fuse: 800 psi\r\n"
                                                "\r\n"
                                                "Temp Offset: -3°F, Round Fitting Base"));
}

TEST_F(JointSummary, LongValuesTakeTheLabelsPlace) {
    SetModel(QStringLiteral("Orbalt 0090-HF"));
    WriteLogText(LogData::kJobNumber, QStringLiteral("JOB123456"));
    WriteLogText(LogData::kEmployeeId, QStringLiteral("EMP12345"));
    WriteLogText(LogData::kPipeAreaSw, QStringLiteral("100"));
    WriteLogInt(LogData::kPipeAreaSwUnitInx, 1);
    WriteLogInt(LogData::kPistonAreaUnit, 1);
    const QString text = Summary();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n 3. JOB123456\r\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n 4. Employee ID: EMP12345\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n 6. Orbalt 0090-HF\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n 7. Piston Area: 6.010 cm²\r\n")));
    // The directly entered area has its own line, and the pressures move down.
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n10. Pipe Area: 100 cm²\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n11. Bead:  psi\r\n")));

    // A model of seven characters keeps its label, of eight does not.
    SetModel(QStringLiteral("BR05 HF"));
    EXPECT_TRUE(Summary().contains(QStringLiteral("\r\n 6. Mach. Model: BR05 HF\r\n")));
    SetModel(QStringLiteral("N040 HF1"));
    EXPECT_TRUE(Summary().contains(QStringLiteral("\r\n 6. N040 HF1\r\n")));
}
