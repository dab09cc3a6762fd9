// The wizard's pages, each driven as the operator would: what it shows when it
// opens, what "Next >>" stores, what it refuses, and that "<< Back" stores
// nothing.
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/MessageBox.h"
#include "setup/ConfirmNextJointDlg.h"
#include "setup/DragPressurePage.h"
#include "setup/FittingPage.h"
#include "setup/HeaterTempPage.h"
#include "setup/JointRecord.h"
#include "setup/MachinePage.h"
#include "setup/NotesPage.h"
#include "setup/OperatorPage.h"
#include "setup/PipeAreaDlg.h"
#include "setup/PipePage.h"
#include "setup/ReadyToLogPage.h"
#include "setup/RecPressuresPage.h"
#include "setup/Resource.h"
#include "setup/SidewallParamsPage.h"
#include "setup/Units.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {
class SetupPages : public ::testing::Test {
protected:
    void SetUp() override {
        LoadJointSetupLists();
        LoadUnitSettings();
    }
    ScriptedPrompter prompter;
};

// Picks a list entry as a tap would: the selection, then the notification.
void Choose(CDialog& page, int id, int index) {
    page.SetCurSel(id, index);
    page.OnSelChange(id);
}

QString Text(const QString& name) {
    return ReadLogText(name, QStringLiteral("<absent>"));
}

// Types into an edit at its cursor as the operator does, one key at a time,
// so that its limit applies; "\b" is the backspace key.
void Type(CDialog& page, int id, const QString& keys) {
    QWidget* edit = page.GetDlgItem(id);
    ASSERT_NE(edit, nullptr);
    for (const QChar c : keys) {
        const int key = c == QLatin1Char('\b') ? int(Qt::Key_Backspace) : c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                        c == QLatin1Char('\b') ? QString() : QString(c));
        QCoreApplication::sendEvent(edit, &press);
    }
}

// Puts the cursor of a multi-line edit before character `position`.
void PlaceCursor(CDialog& page, int id, int position) {
    auto* edit = qobject_cast<QPlainTextEdit*>(page.GetDlgItem(id));
    ASSERT_NE(edit, nullptr);
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(position);
    edit->setTextCursor(cursor);
}
} // namespace

TEST_F(SetupPages, MachinePageShowsListedModelsAndStoresTheRowsPistonArea) {
    CMachinePage page(nullptr);
    page.Create();
    ASSERT_EQ(page.GetCount(IDC_MODEL_LIST), 68);
    EXPECT_EQ(page.GetLBText(IDC_MODEL_LIST, 67), QStringLiteral("Unlisted"));
    EXPECT_EQ(page.GetCurSel(IDC_MODEL_LIST), 0);
    EXPECT_EQ(page.GetDlgItemText(IDC_PISTON_AREA_LABEL), QStringLiteral("Piston Area: 4.710"));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_MODEL_NAME));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_PISTON_AREA));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_PISTON_AREA_UNIT));

    // The table's one piston area with a leading blank shows it, and is
    // stored without it.
    Choose(page, IDC_MODEL_LIST, 15);
    EXPECT_EQ(page.GetDlgItemText(IDC_PISTON_AREA_LABEL), QStringLiteral("Piston Area:  9.450"));
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_SIDEWALL_FUSION));
    page.SetDlgItemText(IDC_MACHINE_ID, QStringLiteral("  M-22 "));
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(page.Result(), IDOK);
    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("#Q130 LF"));
    EXPECT_EQ(Text(LogData::kPistonArea), QStringLiteral("9.450"));
    EXPECT_EQ(Text(LogData::kMachineId), QStringLiteral("M-22"));
    EXPECT_EQ(ReadLogInt(LogData::kMachineModelInx), 15);
    EXPECT_EQ(ReadLogInt(LogData::kPistonAreaUnit), 0);
    EXPECT_EQ(ReadLogInt(LogData::kDoSidewallFusion), 0);
    EXPECT_EQ(g_strMachineModel, QStringLiteral("#Q130 LF"));
}

TEST_F(SetupPages, MachinePageSidewallBoxFollowsTheModel) {
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    CMachinePage page(nullptr);
    page.Create();
    // A sidewall joint is a fresh decision every time.
    EXPECT_FALSE(page.IsDlgButtonChecked(IDC_SIDEWALL_FUSION));
    page.ClickDlgItem(IDC_SIDEWALL_FUSION);
    EXPECT_TRUE(page.IsDlgButtonChecked(IDC_SIDEWALL_FUSION));
    // "Veltor05 EP Vertical" leaves no room for " SW": the box clears and locks.
    Choose(page, IDC_MODEL_LIST, 20);
    EXPECT_FALSE(page.IsDlgButtonChecked(IDC_SIDEWALL_FUSION));
    EXPECT_FALSE(page.IsDlgItemEnabled(IDC_SIDEWALL_FUSION));
    page.ClickDlgItem(IDC_SIDEWALL_FUSION);
    EXPECT_FALSE(page.IsDlgButtonChecked(IDC_SIDEWALL_FUSION));
    Choose(page, IDC_MODEL_LIST, 5);
    page.ClickDlgItem(IDC_SIDEWALL_FUSION);
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("#Q70 MF SW"));
    EXPECT_EQ(ReadLogInt(LogData::kDoSidewallFusion), 1);
}

TEST_F(SetupPages, MachinePageUnlistedKeepsTheStoredNameWhole) {
    // A hand-typed name of the full 18 characters, stored with " SW".
    WriteLogInt(LogData::kMachineModelInx, 67);
    WriteLogText(LogData::kMachineModelText, QStringLiteral("Tarvex LD 12345678 SW"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("12.5"));
    WriteLogInt(LogData::kPistonAreaUnit, 1);
    CMachinePage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_PISTON_AREA_LABEL), QStringLiteral("Piston Area: "));
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_MODEL_NAME));
    EXPECT_EQ(page.GetDlgItemText(IDC_MODEL_NAME), QStringLiteral("Tarvex LD 12345678 SW"));
    EXPECT_EQ(page.GetDlgItemText(IDC_PISTON_AREA), QStringLiteral("12.5"));
    EXPECT_EQ(page.GetCurSel(IDC_PISTON_AREA_UNIT), 1);
    page.ClickDlgItem(IDC_SIDEWALL_FUSION);
    page.ClickDlgItem(IDOK);
    // Ticking the box again appends a second suffix, as the operator asked.
    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("Tarvex LD 12345678 SW SW"));
    EXPECT_EQ(ReadLogInt(LogData::kPistonAreaUnit), 1);

    // Another choice clears the typed fields, and typing is held to 18 again;
    // picking "Unlisted" again keeps them.
    CMachinePage again(nullptr);
    again.Create();
    Choose(again, IDC_MODEL_LIST, 67);
    EXPECT_EQ(again.GetDlgItemText(IDC_MODEL_NAME), QStringLiteral("Tarvex LD 12345678 SW SW"));
    Choose(again, IDC_MODEL_LIST, 0);
    Choose(again, IDC_MODEL_LIST, 67);
    EXPECT_EQ(again.GetDlgItemText(IDC_MODEL_NAME), QString());
    Type(again, IDC_MODEL_NAME, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV"));
    EXPECT_EQ(again.GetDlgItemText(IDC_MODEL_NAME), QStringLiteral("ABCDEFGHIJKLMNOPQR"));
    again.ClickDlgItem(IDCANCEL);
    EXPECT_EQ(again.Result(), IDCANCEL);
    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("Tarvex LD 12345678 SW SW"));
}

TEST_F(SetupPages, OperatorPageRefusesForbiddenCharactersAndBadJointNumbers) {
    COperatorPage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_EMPLOYEE_ID), QString());
    EXPECT_EQ(page.GetDlgItemText(IDC_JOINT_NUMBER), QStringLiteral("1"));

    page.SetDlgItemText(IDC_EMPLOYEE_ID, QStringLiteral("A/7"));
    page.ClickDlgItem(IDOK);
    EXPECT_FALSE(page.IsEnded());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("ID # and Job # cannot contain any of the following characters:\n"
                             "\\ / : * ? \" < > |"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(prompter.Shown()[0].type & MB_ICONMASK, MB_ICONSTOP);

    page.SetDlgItemText(IDC_EMPLOYEE_ID, QStringLiteral("A7"));
    page.SetDlgItemText(IDC_JOB_NUMBER, QStringLiteral("J|1"));
    page.ClickDlgItem(IDOK);
    EXPECT_FALSE(page.IsEnded());
    EXPECT_EQ(prompter.Shown().size(), 2u);

    page.SetDlgItemText(IDC_JOB_NUMBER, QString());
    for (const char* joint : {"0", "100000", "", "12x", "99999999999"}) {
        prompter.Clear();
        page.SetDlgItemText(IDC_JOINT_NUMBER, QString::fromLatin1(joint));
        page.ClickDlgItem(IDOK);
        EXPECT_FALSE(page.IsEnded()) << joint;
        ASSERT_EQ(prompter.Shown().size(), 1u) << joint;
        EXPECT_EQ(prompter.Shown()[0].text,
                  QStringLiteral("Please enter a Joint # from 1 to 99999."));
    }
    EXPECT_EQ(Text(LogData::kEmployeeId), QStringLiteral("<absent>"));

    page.SetDlgItemText(IDC_JOINT_NUMBER, QStringLiteral(" 99999 "));
    page.ClickDlgItem(IDOK);
    EXPECT_TRUE(page.IsEnded());
    EXPECT_EQ(Text(LogData::kEmployeeId), QStringLiteral("A7"));
    EXPECT_EQ(Text(LogData::kJobNumber), QStringLiteral("--"));
    EXPECT_EQ(ReadLogInt(LogData::kJointNumber), 99999);
}

TEST_F(SetupPages, PipePageStoresTheWallAreaOrRefusesThePipe) {
    WriteLogInt(LogData::kPipeMaterialInx, 35); // out of range: the first material
    WriteLogText(LogData::kPipeSize, QStringLiteral("13"));
    WriteLogText(LogData::kWallThickness, QStringLiteral("11"));
    CPipePage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetCount(IDC_MATERIAL_LIST), 21);
    EXPECT_EQ(page.GetLBText(IDC_MATERIAL_LIST, 20), QStringLiteral("Unlisted"));
    EXPECT_EQ(page.GetDlgItemText(IDC_MATERIAL_LIST), QStringLiteral("EXEL"));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_MATERIAL_TEXT));
    EXPECT_EQ(page.GetCount(IDC_PIPE_SIZE_UNIT), 5);
    EXPECT_EQ(page.GetDlgItemText(IDC_WALL_THICKNESS_UNIT), QStringLiteral("DR"));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_PIPE_AREA_BUTTON));

    // 13 is no IPS size: both messages, and the page stays with nothing stored.
    page.ClickDlgItem(IDOK);
    EXPECT_FALSE(page.IsEnded());
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Invalid Pipe size!"));
    EXPECT_EQ(prompter.Shown()[1].text, QStringLiteral("Invalid Pipe Area!!  Could not proceed."));
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(prompter.Shown()[1].type & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_EQ(Text(LogData::kPipeAreaInch), QStringLiteral("<absent>"));

    for (const char* wall : {"", "abc", "0"}) {
        prompter.Clear();
        page.SetDlgItemText(IDC_PIPE_SIZE, QStringLiteral("8"));
        page.SetDlgItemText(IDC_WALL_THICKNESS, QString::fromLatin1(wall));
        page.ClickDlgItem(IDOK);
        EXPECT_FALSE(page.IsEnded()) << wall;
        ASSERT_EQ(prompter.Shown().size(), 2u) << wall;
        EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Invalid wall thickness!"));
    }

    Choose(page, IDC_MATERIAL_LIST, 20);
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_MATERIAL_TEXT));
    page.SetDlgItemText(IDC_MATERIAL_TEXT, QStringLiteral(" HDPE blue "));
    page.SetDlgItemText(IDC_WALL_THICKNESS, QStringLiteral("11"));
    page.SetDlgItemText(IDC_HEAT_IFP, QStringLiteral("75"));
    page.ClickDlgItem(IDOK);
    EXPECT_TRUE(page.IsEnded());
    EXPECT_EQ(Text(LogData::kPipeAreaInch), QStringLiteral("19.314511"));
    EXPECT_EQ(ReadLogInt(LogData::kPipeMaterialInx), 20);
    EXPECT_EQ(Text(LogData::kPipeMaterialText), QStringLiteral("HDPE blue"));
    EXPECT_EQ(Text(LogData::kPipeSize), QStringLiteral("8"));
    EXPECT_EQ(ReadLogInt(LogData::kPipeSizeUnit), 0);
    EXPECT_EQ(Text(LogData::kHeatIfp), QStringLiteral("75"));
    EXPECT_EQ(Text(LogData::kCoolIfp), QStringLiteral("--")); // IFPs are not checked

    // The next opening shows the typed material; another choice clears it.
    CPipePage again(nullptr);
    again.Create();
    EXPECT_EQ(again.GetDlgItemText(IDC_MATERIAL_TEXT), QStringLiteral("HDPE blue"));
    Choose(again, IDC_MATERIAL_LIST, 19);
    EXPECT_FALSE(again.IsDlgItemVisible(IDC_MATERIAL_TEXT));
    Choose(again, IDC_MATERIAL_LIST, 20);
    EXPECT_EQ(again.GetDlgItemText(IDC_MATERIAL_TEXT), QString());
}

TEST_F(SetupPages, PipeAreaButtonOnlyForMachinesThatTakeTheAreaDirectly) {
    g_strMachineModel = QStringLiteral("Orbalt 0090-HF");
    WriteLogInt(LogData::kPipeAreaSwUnitInx, 7); // read as in²
    ScriptedRunner runner;
    runner.Then<CPipeAreaDlg>([](CPipeAreaDlg& dlg) {
        EXPECT_EQ(dlg.GetDlgItemText(IDC_PIPE_AREA_SW_UNIT), QStringLiteral("in²"));
        dlg.SetDlgItemText(IDC_PIPE_AREA_SW, QStringLiteral("100"));
        dlg.ClickDlgItem(IDCANCEL);
    });
    runner.Then<CPipeAreaDlg>([](CPipeAreaDlg& dlg) {
        EXPECT_EQ(dlg.GetDlgItemText(IDC_PIPE_AREA_SW), QString());
        dlg.SetCurSel(IDC_PIPE_AREA_SW_UNIT, 1);
        dlg.SetDlgItemText(IDC_PIPE_AREA_SW, QStringLiteral(" 100 "));
        dlg.ClickDlgItem(IDOK);
    });
    CPipePage page(nullptr);
    page.Create();
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_PIPE_AREA_BUTTON));
    EXPECT_EQ(page.GetDlgItemText(IDC_PIPE_AREA_BUTTON), QStringLiteral("Pipe Area: ??"));
    page.ClickDlgItem(IDC_PIPE_AREA_BUTTON);
    EXPECT_EQ(page.GetDlgItemText(IDC_PIPE_AREA_BUTTON), QStringLiteral("Pipe Area: ??"));
    page.ClickDlgItem(IDC_PIPE_AREA_BUTTON);
    EXPECT_EQ(page.GetDlgItemText(IDC_PIPE_AREA_BUTTON), QStringLiteral("Pipe Area: 100 cm²"));
    EXPECT_EQ(runner.Run(), (std::vector<int>{172, 172}));
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_EQ(ReadLogInt(LogData::kPipeAreaSwUnitInx), 1);
    EXPECT_FALSE(page.IsEnded());
}

TEST_F(SetupPages, FittingPageOffersTheForcesChoiceOnlyForSidewallFusion) {
    {
        CFittingPage page(nullptr);
        page.Create();
        EXPECT_FALSE(page.IsDlgItemVisible(IDC_ENTER_FORCES));
        EXPECT_FALSE(page.IsDlgItemVisible(IDC_FORCE_OR_CALC_GROUP));
    }
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    WriteLogInt(LogData::kFittingOutletUnit, 9); // shown as no choice, kept as stored
    CFittingPage page(nullptr);
    page.Create();
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_CALCULATE_PRESSURES));
    EXPECT_TRUE(page.IsDlgButtonChecked(IDC_ENTER_FORCES));
    Choose(page, IDC_FITTING_TYPE, 1);
    Choose(page, IDC_FITTING_MAIN_UNIT, 3);
    Choose(page, IDC_FITTING_BASE_TYPE, 1);
    page.SetDlgItemText(IDC_FITTING_MAIN_SIZE, QStringLiteral(" 110 "));
    page.ClickDlgItem(IDC_CALCULATE_PRESSURES);
    page.ClickDlgItem(IDOK);
    EXPECT_TRUE(page.IsEnded());
    EXPECT_EQ(ReadLogInt(LogData::kFittingType), 1);
    EXPECT_EQ(ReadLogInt(LogData::kFittingMainUnit), 3);
    EXPECT_EQ(ReadLogInt(LogData::kFittingOutletUnit), 9);
    EXPECT_EQ(ReadLogInt(LogData::kFittingBaseType), 1);
    EXPECT_EQ(ReadLogInt(LogData::kFittingForceOrCalc), 1);
    EXPECT_EQ(Text(LogData::kFittingMainSize), QStringLiteral("110"));
    EXPECT_EQ(Text(LogData::kFittingOutletSize), QStringLiteral("--"));
    EXPECT_EQ(Text(LogData::kPipeMaterialText), QStringLiteral("EXEL"));
}

TEST_F(SetupPages, SidewallParametersForcesFromTheLabel) {
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    CSidewallParamsPage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_FORCES_GROUP),
              QStringLiteral("Rec. Forces from Fitting Label:"));
    EXPECT_EQ(page.GetDlgItemText(IDC_BEAD_FORCE), QStringLiteral("60"));
    EXPECT_EQ(page.GetDlgItemText(IDC_SOAK_FORCE), QStringLiteral("0"));
    EXPECT_EQ(page.GetDlgItemText(IDC_FUSE_FORCE), QStringLiteral("30"));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_BASE_GROUP));
    page.SetDlgItemText(IDC_SOAK_FORCE, QString());
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(Text(LogData::kRecBeadForceOrIfp), QStringLiteral("60"));
    EXPECT_EQ(Text(LogData::kRecSoakForceOrIfp), QStringLiteral("--"));
    EXPECT_EQ(Text(LogData::kFittingOd), QStringLiteral("<absent>"));

    CSidewallParamsPage again(nullptr);
    again.Create();
    EXPECT_EQ(again.GetDlgItemText(IDC_SOAK_FORCE), QStringLiteral("--"));
}

TEST_F(SetupPages, SidewallParametersCalculatedFromTheFittingBase) {
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    WriteLogInt(LogData::kFittingForceOrCalc, 1);
    WriteLogText(LogData::kRecBeadForceOrIfp, QStringLiteral("85"));
    WriteLogText(LogData::kFittingOd, QStringLiteral("2"));
    {
        CSidewallParamsPage round(nullptr);
        round.Create();
        EXPECT_EQ(round.GetDlgItemText(IDC_FORCES_GROUP), QStringLiteral("Interfacial Pressures:"));
        // Calculated pressures always start from the usual values.
        EXPECT_EQ(round.GetDlgItemText(IDC_BEAD_FORCE), QStringLiteral("60"));
        EXPECT_EQ(round.GetDlgItemText(IDC_BASE_GROUP), QStringLiteral("Round Fitting Base"));
        EXPECT_EQ(round.GetDlgItemText(IDC_BASE_LABEL_1), QStringLiteral("OD:"));
        EXPECT_EQ(round.GetDlgItemText(IDC_BASE_VALUE_1), QStringLiteral("2"));
        EXPECT_EQ(round.GetDlgItemText(IDC_BASE_LABEL_2), QStringLiteral("Wall Thickness:"));
        EXPECT_FALSE(round.IsDlgItemVisible(IDC_BASE_VALUE_3));
        EXPECT_TRUE(round.IsDlgButtonChecked(IDC_BASE_INCHES));
        round.ClickDlgItem(IDCANCEL);
    }
    EXPECT_EQ(Text(LogData::kRecBeadForceOrIfp), QStringLiteral("85"));

    WriteLogInt(LogData::kFittingBaseType, 1);
    CSidewallParamsPage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_BASE_GROUP), QStringLiteral("Rectangle Fitting Base"));
    EXPECT_EQ(page.GetDlgItemText(IDC_BASE_LABEL_1), QStringLiteral("Base Hole Diameter:"));
    EXPECT_EQ(page.GetDlgItemText(IDC_BASE_LABEL_3), QStringLiteral("Base Width:"));
    page.SetDlgItemText(IDC_BASE_VALUE_1, QStringLiteral("10"));
    page.SetDlgItemText(IDC_BASE_VALUE_2, QStringLiteral("100"));
    page.SetDlgItemText(IDC_BASE_VALUE_3, QStringLiteral("50"));
    page.ClickDlgItem(IDC_BASE_MM);
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(Text(LogData::kRecBeadForceOrIfp), QStringLiteral("60"));
    EXPECT_EQ(Text(LogData::kFittingBaseHoleDiameter), QStringLiteral("10"));
    EXPECT_EQ(Text(LogData::kFittingBaseLength), QStringLiteral("100"));
    EXPECT_EQ(Text(LogData::kFittingBaseWidth), QStringLiteral("50"));
    EXPECT_EQ(ReadLogInt(LogData::kFittingDimensionsUnit), 1);
    EXPECT_EQ(Text(LogData::kFittingOd), QStringLiteral("2")); // the round base is kept
}

TEST_F(SetupPages, SidewallParametersOfAMechanicalMachineAreGaugePressures) {
    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    WriteLogInt(LogData::kFittingForceOrCalc, 1);
    WriteLogText(LogData::kFittingHeatPressure, QStringLiteral("1200"));
    CSidewallParamsPage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_FORCES_GROUP),
              QStringLiteral("Rec. Forces from Fitting Label:"));
    EXPECT_EQ(page.GetDlgItemText(IDC_BEAD_FORCE), QStringLiteral("1200"));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_SOAK_FORCE));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_BASE_GROUP));
    page.SetDlgItemText(IDC_FUSE_FORCE, QStringLiteral("800"));
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(Text(LogData::kFittingFusePressure), QStringLiteral("800"));
    EXPECT_EQ(Text(LogData::kRecBeadForceOrIfp), QStringLiteral("<absent>"));
}

TEST_F(SetupPages, NotesPageCountsWhatIsLeftAndStoresNotesAsTyped) {
    {
        CNotesPage page(nullptr);
        page.Create();
        EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_PREFIX), QString());
        EXPECT_EQ(page.TextLimit(IDC_NOTES), 100);
        EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_LEFT),
                  QStringLiteral("You may add 100 characters to save as notes for this joint."));
        page.SetDlgItemText(IDC_NOTES, QStringLiteral(" bead\nrolled "));
        EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_LEFT),
                  QStringLiteral("You may add 87 characters to save as notes for this joint."));
        page.ClickDlgItem(IDOK);
    }
    EXPECT_EQ(Text(LogData::kNotes), QStringLiteral(" bead\nrolled "));

    // With a prefix, the notes record also carries the ". " that joins them.
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 5);
    WriteLogInt(LogData::kDoSidewallFusion, 1);
    CNotesPage page(nullptr);
    page.Create();
    const QString prefix = QStringLiteral("Temp Offset: 5°F, Round Fitting Base");
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_PREFIX), prefix);
    EXPECT_EQ(page.Capacity(), 100 - prefix.size() - 2);
    EXPECT_EQ(page.TextLimit(IDC_NOTES), page.Capacity());
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES), QStringLiteral(" bead\nrolled "));
    page.ClickDlgItem(IDCANCEL);
}

TEST_F(SetupPages, NotesPageNeverCutsNotes) {
    const QString left0 =
        QStringLiteral("You may add 0 characters to save as notes for this joint.");
    // Typing in the middle of full notes is refused; the last character stays.
    const QString full = QString(99, QLatin1Char('n')) + QLatin1Char('E');
    WriteLogText(LogData::kNotes, full);
    {
        CNotesPage page(nullptr);
        page.Create();
        PlaceCursor(page, IDC_NOTES, 50);
        Type(page, IDC_NOTES, QStringLiteral("ab"));
        EXPECT_EQ(page.GetDlgItemText(IDC_NOTES), full);
        EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_LEFT), left0);
        page.ClickDlgItem(IDOK);
        EXPECT_TRUE(page.IsEnded());
    }
    EXPECT_EQ(Text(LogData::kNotes), full);

    // An offset set later makes the prefix longer than the notes allow for:
    // they are shown whole, with what must go, and are not stored cut.
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 5);
    CNotesPage page(nullptr);
    page.Create();
    ASSERT_EQ(page.Capacity(), 82);
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES), full);
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_LEFT),
              QStringLiteral("Remove 18 characters to save as notes for this joint."));
    page.ClickDlgItem(IDOK);
    EXPECT_FALSE(page.IsEnded());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("These notes are 18 characters too long for this joint.\n"
                             "Please shorten them."));
    EXPECT_EQ(Text(LogData::kNotes), full);

    // Nothing more can be typed; once the operator has shortened them they go.
    PlaceCursor(page, IDC_NOTES, 100);
    Type(page, IDC_NOTES, QStringLiteral("x"));
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES), full);
    Type(page, IDC_NOTES, QString(18, QLatin1Char('\b')));
    EXPECT_EQ(page.GetDlgItemText(IDC_NOTES_LEFT), left0);
    page.ClickDlgItem(IDOK);
    EXPECT_TRUE(page.IsEnded());
    EXPECT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(Text(LogData::kNotes), QString(82, QLatin1Char('n')));
}

TEST_F(SetupPages, DragPressureFillsTheUnitsDefaultThenStoresIt) {
    WriteSettingInt(kKeySettings, kPressUnitInx, 1);
    LoadUnitSettings();
    CDragPressurePage page(nullptr);
    page.Create();
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Drag Pressure (Default 2.1 bar)"));
    page.SetDlgItemText(IDC_DRAG_PRESSURE, QStringLiteral("  "));
    page.ClickDlgItem(IDOK);
    EXPECT_FALSE(page.IsEnded());
    EXPECT_EQ(page.GetDlgItemText(IDC_DRAG_PRESSURE), QStringLiteral("2.1"));
    EXPECT_EQ(Text(LogData::kDragPressure), QStringLiteral("<absent>"));
    page.ClickDlgItem(IDOK);
    EXPECT_TRUE(page.IsEnded());
    EXPECT_EQ(Text(LogData::kDragPressure), QStringLiteral("2.1 bar"));

    WriteSettingInt(kKeySettings, kPressUnitInx, 3);
    CDragPressurePage mpa(nullptr);
    mpa.Create();
    EXPECT_EQ(mpa.windowTitle(), QStringLiteral("Drag Pressure (Default 0.21 MPa)"));
    WriteSettingInt(kKeySettings, kPressUnitInx, 9);
    CDragPressurePage other(nullptr);
    other.Create();
    EXPECT_EQ(other.windowTitle(), QStringLiteral("Drag Pressure (Default 30 psi)"));
}

TEST_F(SetupPages, RecommendedPressuresAreComputedAndStoredOnOpening) {
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("10"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("4.71"));
    WriteLogText(LogData::kDragPressure, QStringLiteral("30 psi"));
    WriteLogText(LogData::kHeatIfp, QStringLiteral("75"));
    CRecPressuresPage page(nullptr);
    page.Create();
    EXPECT_EQ(page.GetDlgItemText(IDC_REC_PRESSURE_LABELS),
              QStringLiteral("Bead:\nSoak:\nFuse:\nCool:"));
    EXPECT_EQ(page.GetDlgItemText(IDC_REC_PRESSURE_VALUES),
              QStringLiteral("189\n-----\n-----\n-----"));
    EXPECT_EQ(Text(LogData::kRecHeat), QStringLiteral("189"));
}

TEST_F(SetupPages, HeaterTemperatureTakesThreeCharactersAndTheUnit) {
    WriteSettingInt(kKeySettings, kTempUnitInx, 1);
    LoadUnitSettings();
    {
        CHeaterTempPage page(nullptr);
        page.Create();
        Type(page, IDC_HEATER_TEMP, QStringLiteral("2305"));
        EXPECT_EQ(page.GetDlgItemText(IDC_HEATER_TEMP), QStringLiteral("230"));
        page.ClickDlgItem(IDOK);
    }
    EXPECT_EQ(Text(LogData::kExtHtrTemp), QStringLiteral("230 °C"));
    CHeaterTempPage page(nullptr);
    page.Create();
    page.SetDlgItemText(IDC_HEATER_TEMP, QStringLiteral("  "));
    page.ClickDlgItem(IDOK);
    EXPECT_EQ(Text(LogData::kExtHtrTemp), QStringLiteral("---"));
}

TEST_F(SetupPages, ReadyPageTellsCancelFromBack) {
    WriteLogText(LogData::kHtrTemp, QStringLiteral("430 °F"));
    CReadyToLogPage back(nullptr);
    back.Create();
    EXPECT_EQ(back.GetDlgItemText(IDC_LOGGED_TEMP), QStringLiteral("Logged 430 °F"));
    back.ClickDlgItem(IDCANCEL);
    EXPECT_EQ(back.Result(), IDCANCEL);
    EXPECT_EQ(back.CancelFlag(), 0);
    CReadyToLogPage cancel(nullptr);
    cancel.Create();
    cancel.ClickDlgItem(IDC_READY_CANCEL);
    EXPECT_EQ(cancel.Result(), IDCANCEL);
    EXPECT_EQ(cancel.CancelFlag(), 1);
}

TEST_F(SetupPages, ConfirmationAnswersYesNoOrCancelled) {
    const QString title = QStringLiteral("Use these data for next joint?");
    const struct {
        int button;
        int result;
    } answers[] = {{IDOK, IDYES}, {IDC_CONFIRM_NO, IDNO}, {IDCANCEL, 99999}};
    for (const auto& answer : answers) {
        CConfirmNextJointDlg dlg(title, QStringLiteral(" 1. a\r\n 2. b\r\n"), nullptr);
        dlg.Create();
        EXPECT_EQ(dlg.GetDlgItemText(IDC_JOINT_SUMMARY), QStringLiteral(" 1. a\n 2. b\n"));
        dlg.ClickDlgItem(answer.button);
        EXPECT_EQ(dlg.Result(), answer.result);
    }
    CConfirmNextJointDlg closed(title, QString(), nullptr);
    closed.Create();
    closed.OnCancel(); // the window's close box
    EXPECT_EQ(closed.Result(), 99999);
}

TEST_F(SetupPages, PagesSitWhereTheScreenLeavesRoomForThem) {
    CPipePage pipe(nullptr);
    CNotesPage notes(nullptr);
    CDragPressurePage drag(nullptr);
    CReadyToLogPage ready(nullptr);
    EXPECT_EQ(pipe.TemplateRect().topLeft(), QPoint(3, 28));
    EXPECT_EQ(drag.TemplateRect().topLeft(), QPoint(3, 112));
    EXPECT_EQ(ready.TemplateRect().topLeft(), QPoint(3, 112));
    for (const CDialog* page :
         std::initializer_list<const CDialog*>{&pipe, &notes, &drag, &ready}) {
        const QRect rect = page->TemplateRect();
        EXPECT_EQ(rect.left() * 2 + rect.width(), kScreenWidth) << page->TemplateId();
        EXPECT_LE(rect.bottom(), kScreenHeight) << page->TemplateId();
    }
}

TEST_F(SetupPages, StoredIntegersAtTheLimitsOpenAndStoreEveryPageSafely) {
    // A store edited by hand may hold any 32-bit value; an index out of its
    // list reads as the list's default and is never added to a control id.
    for (const int extreme : {INT_MAX, INT_MIN}) {
        using namespace LogData;
        for (const QString* name :
             {&kDoSidewallFusion, &kFittingBaseType, &kFittingDimensionsUnit, &kFittingForceOrCalc,
              &kFittingMainUnit, &kFittingOutletUnit, &kFittingType, &kJointNumber,
              &kMachineModelInx, &kParameterEntered, &kPipeAreaSwUnitInx, &kPipeMaterialInx,
              &kPipeSizeUnit, &kPistonAreaUnit, &kWallThicknessUnit})
            WriteLogInt(*name, extreme);
        for (const char* name : {"Press Unit Inx", "Temp Unit Inx", "Temp Offset", "Demo Mode"})
            WriteSettingInt(kKeySettings, QString::fromLatin1(name), extreme);
        LoadUnitSettings();
        auto openAndStore = [](auto& page) {
            page.Create();
            page.ClickDlgItem(IDOK);
        };
        CMachinePage machine(nullptr);
        openAndStore(machine);
        COperatorPage op(nullptr);
        openAndStore(op);
        CPipePage pipe(nullptr);
        openAndStore(pipe);
        CFittingPage fitting(nullptr);
        openAndStore(fitting);
        EXPECT_TRUE(fitting.IsDlgButtonChecked(IDC_ENTER_FORCES)) << extreme;
        WriteLogInt(kDoSidewallFusion, 1);
        CSidewallParamsPage sidewall(nullptr);
        openAndStore(sidewall);
        CNotesPage notes(nullptr);
        openAndStore(notes);
        CDragPressurePage drag(nullptr);
        openAndStore(drag);
        CRecPressuresPage rec(nullptr);
        openAndStore(rec);
        CHeaterTempPage heater(nullptr);
        openAndStore(heater);
        CReadyToLogPage ready(nullptr);
        openAndStore(ready);
    }
    // The joint number after a download stays within what the record carries.
    WriteLogInt(LogData::kJointNumber, 65534);
    EXPECT_EQ(NextJointNumber(), 65535);
    WriteLogInt(LogData::kJointNumber, 65535);
    EXPECT_EQ(NextJointNumber(), 65535);
    WriteLogInt(LogData::kJointNumber, INT_MAX);
    EXPECT_EQ(NextJointNumber(), 65535);
}
