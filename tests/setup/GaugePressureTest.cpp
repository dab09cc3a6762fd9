#include "setup/GaugePressure.h"
#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "setup/JointRecord.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <locale>

namespace {
void UsePressUnit(int unit) {
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), unit);
    LoadUnitSettings();
}

// A butt-fusion joint on a listed machine: 10 in² of pipe wall, 4.71 in² of
// piston area.
void SetButtJoint(const QString& drag) {
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("10.000000"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("4.710"));
    WriteLogText(LogData::kDragPressure, drag);
}

int DemoPsi(int n) {
    return ReadSettingInt(kKeySettings, Format(QStringLiteral("Demo PSI %d"), {n}), -1);
}
} // namespace

TEST(GaugePressure, WorkedExamplesInEveryUnit) {
    SetButtJoint(QStringLiteral("30 psi"));
    LoadUnitSettings();
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("75")), QStringLiteral("189"));
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("-75")), QStringLiteral("189"));
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("abc")), kNoPressure);
    EXPECT_EQ(CalcGaugePressure(QString()), kNoPressure);

    // A drag pressure stored with another unit's text is read in the current unit.
    SetButtJoint(QStringLiteral("2.1 bar"));
    UsePressUnit(1);
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("5.2")), QStringLiteral("13.1"));

    SetButtJoint(QStringLiteral("0.21 MPa"));
    UsePressUnit(3);
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("0.52")), QStringLiteral("1.314"));
}

TEST(GaugePressure, AreaComesFromTheMachineFamilyAndJointKind) {
    SetButtJoint(QStringLiteral("30"));
    LoadUnitSettings();

    // Sidewall joint with forces from the fitting label: force / piston area.
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("60")), QStringLiteral("43"));

    // Sidewall joint with calculated pressures: the round base of 1.37445 in².
    WriteLogInt(LogData::kFittingForceOrCalc, 1);
    WriteLogText(LogData::kFittingOd, QStringLiteral("2"));
    WriteLogText(LogData::kFittingWallThickness, QStringLiteral("0.25"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("1"));
    WriteLogText(LogData::kDragPressure, QString());
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("100")), QStringLiteral("137"));
    WriteLogText(LogData::kFittingWallThickness, QStringLiteral("2")); // no base left
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("100")), kNoPressure);

    // Machines that take the pipe area directly ignore the joint kind: 100 cm².
    g_strMachineModel = QStringLiteral("Orbalt 0090-HF");
    WriteLogText(LogData::kPipeAreaSw, QStringLiteral("100"));
    WriteLogInt(LogData::kPipeAreaSwUnitInx, 1);
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("1000")), QStringLiteral("15500"));
    WriteLogInt(LogData::kPipeAreaSwUnitInx, 4); // read as in²
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("1")), QStringLiteral("100"));
    WriteLogText(LogData::kPipeAreaSw, QStringLiteral("--"));
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("1")), kNoPressure);

    // A piston area in cm²: 6.4516 cm² is 1 in².
    g_strMachineModel.clear();
    WriteLogInt(LogData::kDoSidewallFusion, 0);
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("2"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("6.4516"));
    WriteLogInt(LogData::kPistonAreaUnit, 1);
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("50")), QStringLiteral("100"));
}

TEST(GaugePressure, NoUsableNumberGivesNoPressureNeverInfOrNan) {
    SetButtJoint(QStringLiteral("30"));
    LoadUnitSettings();
    for (const char* piston : {"", "--", "0", "abc", "-4.71"}) {
        WriteLogText(LogData::kPistonArea, QString::fromUtf8(piston));
        EXPECT_EQ(CalcGaugePressure(QStringLiteral("75")), kNoPressure) << piston;
    }
    WriteLogText(LogData::kPistonArea, QStringLiteral("4.71"));
    EXPECT_EQ(CalcGaugePressure(QStringLiteral("1e999")), kNoPressure);
    for (const char* area : {"", "0", "-5"}) {
        WriteLogText(LogData::kPipeAreaInch, QString::fromUtf8(area));
        EXPECT_EQ(CalcGaugePressure(QStringLiteral("75")), kNoPressure) << area;
    }
}

TEST(GaugePressure, RecommendedPressuresAreStoredForTheRecordAndTheDemo) {
    SetButtJoint(QStringLiteral("2.1 bar"));
    UsePressUnit(1);
    WriteLogText(LogData::kHeatIfp, QStringLiteral("5.2"));
    WriteLogText(LogData::kSoakIfp, QStringLiteral("0"));
    WriteLogText(LogData::kFuseIfp, QStringLiteral("5.2"));
    WriteLogText(LogData::kCoolIfp, QStringLiteral("--"));
    EXPECT_EQ(ComputeRecommendedPressures(), QStringLiteral("13.1\n2.1\n13.1\n-----"));
    EXPECT_EQ(ReadLogText(LogData::kRecSoak), QStringLiteral("2.1"));
    EXPECT_EQ(ReadLogText(LogData::kRecCool), kNoPressure);
    EXPECT_EQ(DemoPsi(1), 13);
    EXPECT_EQ(DemoPsi(4), 0);
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Demo PSI Inx"), 0), 1);

    // A sidewall joint takes the fitting values, and has no cool phase.
    UsePressUnit(0);
    WriteLogText(LogData::kDragPressure, QStringLiteral("30"));
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    WriteLogText(LogData::kRecBeadForceOrIfp, QStringLiteral("60"));
    WriteLogText(LogData::kRecSoakForceOrIfp, QStringLiteral("0"));
    WriteLogText(LogData::kRecFuseForceOrIfp, QStringLiteral("30"));
    WriteLogText(LogData::kCoolIfp, QStringLiteral("75"));
    EXPECT_EQ(ComputeRecommendedPressures(), QStringLiteral("43\n30\n36\n-----"));
    EXPECT_EQ(DemoPsi(4), 0);

    // A mechanical machine has its gauge pressures entered as they are.
    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    WriteLogText(LogData::kFittingHeatPressure, QStringLiteral("150.5"));
    WriteLogText(LogData::kFittingFusePressure, QStringLiteral("--"));
    EXPECT_EQ(ComputeRecommendedPressures(), QStringLiteral("150.5\n-----\n--\n-----"));
    EXPECT_EQ(DemoPsi(1), 150);
    EXPECT_EQ(DemoPsi(3), 0);
}

TEST(GaugePressure, TextsDoNotDependOnTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8"))
        << "the de_DE.UTF-8 locale is missing; scripts/install-deps makes it";
    const std::locale previousGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    const QLocale previousQt;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    SetButtJoint(QStringLiteral("2.1 bar"));
    UsePressUnit(1);
    const QString bar = CalcGaugePressure(QStringLiteral("5.2"));
    const QString mpa = FormatPressure(190.53, 3);
    const double parsed = TextToDouble(QStringLiteral("19.314511"));

    QLocale::setDefault(previousQt);
    std::locale::global(previousGlobal);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(bar, QStringLiteral("13.1"));
    EXPECT_EQ(mpa, QStringLiteral("1.314"));
    EXPECT_EQ(parsed, 19.314511);
}
