// Renders the wizard's pages to PNG files for a person to look at:
//   VTQ_RENDER_DIR=/tmp/shots test_setup --gtest_also_run_disabled_tests
//   --gtest_filter='*SetupRender*'
#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "report/JointSummary.h"
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

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <gtest/gtest.h>

namespace {
QString Dir() {
    const QString dir = qEnvironmentVariable("VTQ_RENDER_DIR", QStringLiteral("/tmp"));
    QDir().mkpath(dir);
    return dir;
}

void Save(CDialog& page, const char* name) {
    if (!page.IsCreated())
        page.Create();
    page.show();
    QApplication::processEvents();
    EXPECT_TRUE(page.grab().save(Dir() + QLatin1Char('/') + QLatin1String(name) + ".png"));
}

// The opened drop-down list of a combo box.
void SaveList(CDialog& page, int id, const char* name) {
    auto* combo = qobject_cast<QComboBox*>(page.GetDlgItem(id));
    ASSERT_NE(combo, nullptr);
    combo->showPopup();
    QApplication::processEvents();
    EXPECT_TRUE(combo->view()->window()->grab().save(Dir() + QLatin1Char('/') +
                                                     QLatin1String(name) + ".png"));
    combo->hidePopup();
}

void StoreJoint() {
    WriteLogText(LogData::kMachineId, QStringLiteral("M-22"));
    WriteLogInt(LogData::kMachineModelInx, 5);
    WriteLogText(LogData::kMachineModelText, QStringLiteral("#Q70 MF"));
    WriteLogText(LogData::kPistonArea, QStringLiteral("6.010"));
    WriteLogText(LogData::kEmployeeId, QStringLiteral("7"));
    WriteLogText(LogData::kJobNumber, QStringLiteral("J1"));
    WriteLogInt(LogData::kJointNumber, 12);
    WriteLogInt(LogData::kPipeMaterialInx, 19);
    WriteLogText(LogData::kPipeMaterialText, QStringLiteral("PE 4710"));
    WriteLogText(LogData::kPipeSize, QStringLiteral("8"));
    WriteLogText(LogData::kWallThickness, QStringLiteral("11"));
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("19.314511"));
    WriteLogText(LogData::kHeatIfp, QStringLiteral("75"));
    WriteLogText(LogData::kSoakIfp, QStringLiteral("30"));
    WriteLogText(LogData::kFuseIfp, QStringLiteral("75"));
    WriteLogText(LogData::kCoolIfp, QStringLiteral("75"));
    WriteLogText(LogData::kDragPressure, QStringLiteral("30 psi"));
    WriteLogText(LogData::kHtrTemp, QStringLiteral("430 °F"));
    WriteLogText(LogData::kNotes, QStringLiteral("Bead rolled evenly."));
    g_strMachineModel = QStringLiteral("#Q70 MF");
}
} // namespace

TEST(SetupRender, DISABLED_WritesPictures) {
    LoadProgramFonts();
    LoadJointSetupLists();
    LoadUnitSettings();
    SetFixedLocalTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    StoreJoint();

    CMachinePage machine(nullptr);
    Save(machine, "machine");
    SaveList(machine, IDC_MODEL_LIST, "machine-list");
    machine.SetCurSel(IDC_MODEL_LIST, 67);
    machine.OnSelChange(IDC_MODEL_LIST);
    Save(machine, "machine-unlisted");

    COperatorPage operatorPage(nullptr);
    Save(operatorPage, "operator");

    g_strMachineModel = QStringLiteral("Orbalt 0090-HF");
    WriteLogText(LogData::kPipeAreaSw, QStringLiteral("100"));
    CPipePage pipe(nullptr);
    Save(pipe, "pipe");
    SaveList(pipe, IDC_MATERIAL_LIST, "pipe-material-list");
    SaveList(pipe, IDC_PIPE_SIZE_UNIT, "pipe-size-list");
    pipe.SetCurSel(IDC_MATERIAL_LIST, 20);
    pipe.OnSelChange(IDC_MATERIAL_LIST);
    Save(pipe, "pipe-unlisted");
    CPipeAreaDlg area(nullptr);
    Save(area, "pipe-area");
    g_strMachineModel = QStringLiteral("#Q70 MF SW");

    WriteLogInt(LogData::kDoSidewallFusion, 1);
    CFittingPage fitting(nullptr);
    Save(fitting, "fitting");
    SaveList(fitting, IDC_FITTING_TYPE, "fitting-type-list");

    CSidewallParamsPage forces(nullptr);
    Save(forces, "sidewall-forces");
    WriteLogInt(LogData::kFittingForceOrCalc, 1);
    WriteLogInt(LogData::kFittingBaseType, 1);
    CSidewallParamsPage rectangle(nullptr);
    Save(rectangle, "sidewall-rectangle");
    WriteLogInt(LogData::kFittingBaseType, 0);
    CSidewallParamsPage round(nullptr);
    Save(round, "sidewall-round");
    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    CSidewallParamsPage mechanical(nullptr);
    Save(mechanical, "sidewall-mechanical");

    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -5);
    WriteLogInt(LogData::kFittingBaseType, 1);
    CNotesPage notes(nullptr);
    Save(notes, "notes");
    // The longest prefix the pages can make.
    g_strMachineModel = QStringLiteral("#Q70 MF SW");
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -199);
    WriteLogInt(LogData::kFittingDimensionsUnit, 1);
    for (const auto* name : {&LogData::kFittingBaseHoleDiameter, &LogData::kFittingBaseLength,
                             &LogData::kFittingBaseWidth})
        WriteLogText(*name, QStringLiteral("123.5"));
    CNotesPage longPrefix(nullptr);
    Save(longPrefix, "notes-long-prefix");
    g_strMachineModel = QStringLiteral("#Q70 MF");
    WriteLogInt(LogData::kDoSidewallFusion, 0);

    CDragPressurePage drag(nullptr);
    Save(drag, "drag-pressure");
    CRecPressuresPage rec(nullptr);
    Save(rec, "rec-pressures");
    CHeaterTempPage heater(nullptr);
    Save(heater, "heater-temp");
    CReadyToLogPage ready(nullptr);
    Save(ready, "ready");

    QString summary;
    AppendJointSummary(summary);
    CConfirmNextJointDlg confirm(QStringLiteral("Use these data for next joint?"), summary,
                                 nullptr);
    Save(confirm, "confirm");
}
