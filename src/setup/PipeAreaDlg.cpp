#include "setup/PipeAreaDlg.h"

#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

namespace {
constexpr int kAreaLimit = 7;
}

const DlgTemplate& CPipeAreaDlg::Template172() {
    static const DlgTemplate tmpl{
        IDD_PIPE_AREA_DLG,
        "Pipe Area",
        20,
        40,
        120,
        44,
        {
            {IDC_STATIC, Ctl::Static, "Area:", 4, 6, 24, 8},
            {IDC_PIPE_AREA_SW, Ctl::Edit, "", 30, 4, 40, 12, 0, nullptr, kAreaLimit},
            {IDC_PIPE_AREA_SW_UNIT, Ctl::ComboList, "", 74, 4, 42, 40},
            {1, Ctl::DefButton, "OK", 8, 24, 48, 14},
            {2, Ctl::Button, "Cancel", 64, 24, 48, 14},
        }};
    return tmpl;
}

CPipeAreaDlg::CPipeAreaDlg(QWidget* parent) : CSetupPageDlg(Template172(), parent) {}

bool CPipeAreaDlg::OnInitDialog() {
    FillList(*this, IDC_PIPE_AREA_SW_UNIT, AreaUnitTexts());
    SetCurSel(IDC_PIPE_AREA_SW_UNIT, ReadPipeAreaSwUnitInx());
    SetDlgItemText(IDC_PIPE_AREA_SW, ReadLogText(LogData::kPipeAreaSw));
    return true;
}

void CPipeAreaDlg::OnOK() {
    WriteLogInt(LogData::kPipeAreaSwUnitInx, GetCurSel(IDC_PIPE_AREA_SW_UNIT));
    StoreTrimmed(*this, IDC_PIPE_AREA_SW, LogData::kPipeAreaSw);
    EndDialog(IDOK);
}
