// The joint setup wizard's pages and sub-dialogs, with the opened drop-down
// lists.

#include "Pictures.h"

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
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
#include <QComboBox>

namespace {
// The opened drop-down list of a combo box.
int SaveList(CDialog& page, int id, const QString& name) {
    page.Create();
    auto* combo = qobject_cast<QComboBox*>(page.GetDlgItem(id));
    if (!combo)
        return 1;
    page.show();
    combo->showPopup();
    const bool saved = SavePicture(*combo->view()->window(), name);
    combo->hidePopup();
    return saved ? 0 : 1;
}

void StoreJoint() {
    using namespace LogData;
    WriteLogText(kMachineId, QStringLiteral("M-22"));
    WriteLogInt(kMachineModelInx, 5);
    WriteLogText(kMachineModelText, QStringLiteral("#Q70 MF"));
    WriteLogText(kPistonArea, QStringLiteral("6.010"));
    WriteLogText(kEmployeeId, QStringLiteral("7"));
    WriteLogText(kJobNumber, QStringLiteral("J1"));
    WriteLogInt(kJointNumber, 12);
    WriteLogInt(kPipeMaterialInx, 19);
    WriteLogText(kPipeMaterialText, QStringLiteral("PE 4710"));
    WriteLogText(kPipeSize, QStringLiteral("8"));
    WriteLogText(kWallThickness, QStringLiteral("11"));
    WriteLogText(kPipeAreaInch, QStringLiteral("19.314511"));
    WriteLogText(kHeatIfp, QStringLiteral("75"));
    WriteLogText(kSoakIfp, QStringLiteral("30"));
    WriteLogText(kFuseIfp, QStringLiteral("75"));
    WriteLogText(kCoolIfp, QStringLiteral("75"));
    WriteLogText(kDragPressure, QStringLiteral("30 psi"));
    WriteLogText(kHtrTemp, QStringLiteral("430 °F"));
    WriteLogText(kNotes, QStringLiteral("Bead rolled evenly."));
    g_strMachineModel = QStringLiteral("#Q70 MF");
}
} // namespace

int WriteSetupPictures() {
    using namespace LogData;
    int failures = 0;
    LoadUnitSettings();
    StoreJoint();

    CMachinePage machine(nullptr);
    failures += !SavePicture(machine, QStringLiteral("machine"));
    failures += SaveList(machine, IDC_MODEL_LIST, QStringLiteral("machine-list"));
    machine.SetCurSel(IDC_MODEL_LIST, 67);
    machine.OnSelChange(IDC_MODEL_LIST);
    failures += !SavePicture(machine, QStringLiteral("machine-unlisted"));

    COperatorPage operatorPage(nullptr);
    failures += !SavePicture(operatorPage, QStringLiteral("operator"));

    g_strMachineModel = QStringLiteral("Orbalt 0090-HF");
    WriteLogText(kPipeAreaSw, QStringLiteral("100"));
    CPipePage pipe(nullptr);
    failures += !SavePicture(pipe, QStringLiteral("pipe"));
    failures += SaveList(pipe, IDC_MATERIAL_LIST, QStringLiteral("pipe-material-list"));
    failures += SaveList(pipe, IDC_PIPE_SIZE_UNIT, QStringLiteral("pipe-size-list"));
    pipe.SetCurSel(IDC_MATERIAL_LIST, 20);
    pipe.OnSelChange(IDC_MATERIAL_LIST);
    failures += !SavePicture(pipe, QStringLiteral("pipe-unlisted"));
    CPipeAreaDlg area(nullptr);
    failures += !SavePicture(area, QStringLiteral("pipe-area"));
    g_strMachineModel = QStringLiteral("#Q70 MF SW");

    WriteLogInt(kDoSidewallFusion, 1);
    CFittingPage fitting(nullptr);
    failures += !SavePicture(fitting, QStringLiteral("fitting"));
    failures += SaveList(fitting, IDC_FITTING_TYPE, QStringLiteral("fitting-type-list"));

    CSidewallParamsPage forces(nullptr);
    failures += !SavePicture(forces, QStringLiteral("sidewall-forces"));
    WriteLogInt(kFittingForceOrCalc, 1);
    WriteLogInt(kFittingBaseType, 1);
    CSidewallParamsPage rectangle(nullptr);
    failures += !SavePicture(rectangle, QStringLiteral("sidewall-rectangle"));
    WriteLogInt(kFittingBaseType, 0);
    CSidewallParamsPage round(nullptr);
    failures += !SavePicture(round, QStringLiteral("sidewall-round"));
    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    CSidewallParamsPage mechanical(nullptr);
    failures += !SavePicture(mechanical, QStringLiteral("sidewall-mechanical"));

    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -5);
    WriteLogInt(kFittingBaseType, 1);
    CNotesPage notes(nullptr);
    failures += !SavePicture(notes, QStringLiteral("notes"));
    // The longest prefix the pages can make.
    g_strMachineModel = QStringLiteral("#Q70 MF SW");
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -199);
    WriteLogInt(kFittingDimensionsUnit, 1);
    for (const QString* name : {&kFittingBaseHoleDiameter, &kFittingBaseLength, &kFittingBaseWidth})
        WriteLogText(*name, QStringLiteral("123.5"));
    CNotesPage longPrefix(nullptr);
    failures += !SavePicture(longPrefix, QStringLiteral("notes-long-prefix"));
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);
    g_strMachineModel = QStringLiteral("#Q70 MF");
    WriteLogInt(kDoSidewallFusion, 0);

    CDragPressurePage drag(nullptr);
    failures += !SavePicture(drag, QStringLiteral("drag-pressure"));
    CRecPressuresPage rec(nullptr);
    failures += !SavePicture(rec, QStringLiteral("rec-pressures"));
    // The widest pressures: MPa with three decimals.
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 3);
    LoadUnitSettings();
    for (const QString* name : {&kHeatIfp, &kSoakIfp, &kFuseIfp, &kCoolIfp})
        WriteLogText(*name, QStringLiteral("48.5"));
    WriteLogText(kDragPressure, QStringLiteral("0.21"));
    CRecPressuresPage recMpa(nullptr);
    failures += !SavePicture(recMpa, QStringLiteral("rec-pressures-mpa"));
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 0);
    LoadUnitSettings();
    StoreJoint();
    CHeaterTempPage heater(nullptr);
    failures += !SavePicture(heater, QStringLiteral("heater-temp"));
    CReadyToLogPage ready(nullptr);
    failures += !SavePicture(ready, QStringLiteral("ready"));

    QString summary;
    AppendJointSummary(summary);
    CConfirmNextJointDlg confirm(QStringLiteral("Use these data for next joint?"), summary,
                                 nullptr);
    failures += !SavePicture(confirm, QStringLiteral("confirm"));
    return failures;
}
