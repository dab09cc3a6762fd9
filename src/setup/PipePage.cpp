#include "setup/PipePage.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/DimensionTables.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/PageControls.h"
#include "setup/PipeAreaDlg.h"
#include "setup/Resource.h"

namespace {
constexpr int kMaterialTextLimit = 20;
constexpr int kSizeLimit = 6;
constexpr int kWallLimit = 5;
constexpr int kIfpLimit = 5;

const PageField kIfpFields[] = {
    {IDC_HEAT_IFP, LogData::kHeatIfp},
    {IDC_SOAK_IFP, LogData::kSoakIfp},
    {IDC_FUSE_IFP, LogData::kFuseIfp},
    {IDC_COOL_IFP, LogData::kCoolIfp},
};
} // namespace

const DlgTemplate& CPipePage::Template138() {
    static const DlgTemplate tmpl{
        IDD_PIPE_PAGE,
        "Pipe",
        kPageX,
        kPipePageY,
        kPageWidth,
        140,
        {
            {IDC_STATIC, Ctl::Static, "Material:", 4, 6, 34, 8},
            {IDC_MATERIAL_LIST, Ctl::ComboList, "", 40, 4, 112, 130},
            {IDC_MATERIAL_TEXT, Ctl::Edit, "", 40, 19, 112, 12, Style::Hidden, nullptr,
             kMaterialTextLimit},
            {IDC_STATIC, Ctl::Static, "Size:", 4, 36, 34, 8},
            {IDC_PIPE_SIZE, Ctl::Edit, "", 40, 34, 40, 12, 0, nullptr, kSizeLimit},
            {IDC_PIPE_SIZE_UNIT, Ctl::ComboList, "", 84, 34, 68, 70},
            {IDC_STATIC, Ctl::Static, "Wall:", 4, 51, 34, 8},
            {IDC_WALL_THICKNESS, Ctl::Edit, "", 40, 49, 40, 12, 0, nullptr, kWallLimit},
            {IDC_WALL_THICKNESS_UNIT, Ctl::ComboList, "", 84, 49, 68, 50},
            {IDC_STATIC, Ctl::Group, "Interfacial Pressures:", 4, 64, 148, 38},
            {IDC_STATIC, Ctl::Static, "Bead", 10, 75, 30, 8},
            {IDC_STATIC, Ctl::Static, "Soak", 46, 75, 30, 8},
            {IDC_STATIC, Ctl::Static, "Fuse", 82, 75, 30, 8},
            {IDC_STATIC, Ctl::Static, "Cool", 118, 75, 30, 8},
            {IDC_HEAT_IFP, Ctl::Edit, "", 10, 85, 30, 12, 0, nullptr, kIfpLimit},
            {IDC_SOAK_IFP, Ctl::Edit, "", 46, 85, 30, 12, 0, nullptr, kIfpLimit},
            {IDC_FUSE_IFP, Ctl::Edit, "", 82, 85, 30, 12, 0, nullptr, kIfpLimit},
            {IDC_COOL_IFP, Ctl::Edit, "", 118, 85, 30, 12, 0, nullptr, kIfpLimit},
            {IDC_PIPE_AREA_BUTTON, Ctl::Button, "Pipe Area: ??", 4, 106, 148, 14},
            {2, Ctl::Button, "<< Back", 4, 124, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 124, 50, 14},
        }};
    return tmpl;
}

CPipePage::CPipePage(QWidget* parent) : CSetupPageDlg(Template138(), parent) {}

bool CPipePage::OnInitDialog() {
    LoadMaterial(*this);
    SetDlgItemText(IDC_PIPE_SIZE, ReadLogText(LogData::kPipeSize));
    FillList(*this, IDC_PIPE_SIZE_UNIT, PipeSizeUnitTexts());
    SetCurSel(IDC_PIPE_SIZE_UNIT, ReadLogInt(LogData::kPipeSizeUnit));
    SetDlgItemText(IDC_WALL_THICKNESS, ReadLogText(LogData::kWallThickness));
    FillList(*this, IDC_WALL_THICKNESS_UNIT, WallThicknessUnitTexts());
    SetCurSel(IDC_WALL_THICKNESS_UNIT, ReadLogInt(LogData::kWallThicknessUnit));
    for (const PageField& field : kIfpFields)
        SetDlgItemText(field.id, ReadLogText(field.name));
    ShowPipeAreaButton();
    ShowDlgItem(IDC_PIPE_AREA_BUTTON, UsesDirectPipeArea(g_strMachineModel));
    return true;
}

void CPipePage::ShowPipeAreaButton() {
    const QString area = ReadLogText(LogData::kPipeAreaSw);
    SetDlgItemText(IDC_PIPE_AREA_BUTTON,
                   area.isEmpty() ? QStringLiteral("Pipe Area: ??")
                                  : LoadString(IDS_PIPE_AREA_BUTTON) + area + QLatin1Char(' ') +
                                        AreaUnitText(ReadPipeAreaSwUnitInx()));
}

void CPipePage::OnCommand(int id) {
    if (id == IDC_PIPE_AREA_BUTTON) {
        CPipeAreaDlg dlg(this);
        if (RunModal(dlg) == IDOK)
            ShowPipeAreaButton();
        return;
    }
    CSetupPageDlg::OnCommand(id);
}

void CPipePage::OnSelChange(int id) {
    if (id == IDC_MATERIAL_LIST)
        OnMaterialChanged(*this);
}

void CPipePage::OnOK() {
    const int sizeUnit = SelectionOr(*this, IDC_PIPE_SIZE_UNIT, ReadLogInt(LogData::kPipeSizeUnit));
    const int wallUnit =
        SelectionOr(*this, IDC_WALL_THICKNESS_UNIT, ReadLogInt(LogData::kWallThicknessUnit));
    const double area = PipeWallArea(GetDlgItemText(IDC_PIPE_SIZE), sizeUnit,
                                     GetDlgItemText(IDC_WALL_THICKNESS), wallUnit);
    if (!(area > 0)) {
        MessageBox(LoadString(IDS_INVALID_PIPE_AREA), LoadString(IDS_ERROR), MB_OK | MB_ICONSTOP);
        return;
    }
    WriteLogText(LogData::kPipeAreaInch, FormatDouble("%.6f", area));
    StoreMaterial(*this);
    StoreTrimmed(*this, IDC_PIPE_SIZE, LogData::kPipeSize);
    WriteLogInt(LogData::kPipeSizeUnit, sizeUnit);
    StoreTrimmed(*this, IDC_WALL_THICKNESS, LogData::kWallThickness);
    WriteLogInt(LogData::kWallThicknessUnit, wallUnit);
    for (const PageField& field : kIfpFields)
        StoreTrimmed(*this, field.id, field.name);
    EndDialog(IDOK);
}
