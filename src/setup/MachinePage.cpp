#include "setup/MachinePage.h"

#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

const DlgTemplate& CMachinePage::Template136() {
    using M = CMachineListModel;
    static const DlgTemplate tmpl{
        IDD_MACHINE_PAGE,
        "Machine",
        kPageX,
        0,
        kPageWidth,
        100,
        {
            {IDC_STATIC, Ctl::Static, "ID:", 4, 6, 30, 8},
            {IDC_MACHINE_ID, Ctl::Edit, "", 36, 4, 116, 12, 0, nullptr, M::kMachineIdLimit},
            {IDC_STATIC, Ctl::Static, "Model:", 4, 21, 30, 8},
            {IDC_MODEL_LIST, Ctl::ComboList, "", 36, 19, 116, 150},
            {IDC_MODEL_NAME_LABEL, Ctl::Static, "Name:", 4, 36, 30, 8, Style::Hidden},
            {IDC_MODEL_NAME, Ctl::Edit, "", 36, 34, 116, 12, Style::Hidden, nullptr,
             M::kModelNameLimit},
            {IDC_PISTON_AREA_LABEL, Ctl::Static, "Piston Area: ", 4, 51, 100, 8, Style::NoWrap},
            {IDC_PISTON_AREA, Ctl::Edit, "", 56, 49, 40, 12, Style::Hidden, nullptr,
             M::kPistonAreaLimit},
            {IDC_PISTON_AREA_UNIT, Ctl::ComboList, "", 100, 49, 52, 40, Style::Hidden, "in²\ncm²"},
            {IDC_SIDEWALL_FUSION, Ctl::CheckBox, "Sidewall Fusion", 4, 65, 100, 10},
            {2, Ctl::Button, "<< Back", 4, 82, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 82, 50, 14},
        }};
    return tmpl;
}

CMachinePage::CMachinePage(QWidget* parent) : CSetupPageDlg(Template136(), parent) {}

bool CMachinePage::OnInitDialog() {
    m_model.Open();
    FillList(*this, IDC_MODEL_LIST, m_model.Items());
    SetDlgItemText(IDC_MACHINE_ID, m_model.MachineId());
    ShowModel();
    return true;
}

void CMachinePage::OnSelChange(int id) {
    // Picking the entry already chosen keeps what was typed for it.
    if (id != IDC_MODEL_LIST || GetCurSel(IDC_MODEL_LIST) == m_model.Selection())
        return;
    CopyControlsToModel();
    m_model.Select(GetCurSel(IDC_MODEL_LIST));
    ShowModel();
}

void CMachinePage::OnOK() {
    CopyControlsToModel();
    m_model.Accept();
    EndDialog(IDOK);
}

void CMachinePage::CopyControlsToModel() {
    m_model.SetMachineId(GetDlgItemText(IDC_MACHINE_ID));
    m_model.SetModelName(GetDlgItemText(IDC_MODEL_NAME));
    m_model.SetPistonArea(GetDlgItemText(IDC_PISTON_AREA));
    m_model.SetAreaUnit(GetCurSel(IDC_PISTON_AREA_UNIT));
    m_model.SetSidewallChecked(IsDlgButtonChecked(IDC_SIDEWALL_FUSION));
}

void CMachinePage::ShowModel() {
    SetCurSel(IDC_MODEL_LIST, m_model.Selection());
    const bool unlisted = m_model.IsUnlisted();
    SetDlgItemText(IDC_PISTON_AREA_LABEL, m_model.PistonAreaLabel());
    SetDlgItemText(IDC_MODEL_NAME, m_model.ModelName());
    SetDlgItemText(IDC_PISTON_AREA, m_model.PistonArea());
    SetCurSel(IDC_PISTON_AREA_UNIT, m_model.AreaUnit());
    for (const int id :
         {IDC_MODEL_NAME_LABEL, IDC_MODEL_NAME, IDC_PISTON_AREA, IDC_PISTON_AREA_UNIT})
        ShowDlgItem(id, unlisted);
    CheckDlgButton(IDC_SIDEWALL_FUSION, m_model.SidewallChecked());
    EnableDlgItem(IDC_SIDEWALL_FUSION, m_model.SidewallEnabled());
}
