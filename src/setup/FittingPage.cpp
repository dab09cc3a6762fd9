#include "setup/FittingPage.h"

#include "framework/Globals.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

namespace {
constexpr int kMaterialTextLimit = 20;
constexpr int kSizeLimit = 6;

const PageField kLists[] = {
    {IDC_FITTING_TYPE, LogData::kFittingType},
    {IDC_FITTING_MAIN_UNIT, LogData::kFittingMainUnit},
    {IDC_FITTING_OUTLET_UNIT, LogData::kFittingOutletUnit},
    {IDC_FITTING_BASE_TYPE, LogData::kFittingBaseType},
};
} // namespace

const DlgTemplate& CFittingPage::Template165() {
    static const DlgTemplate tmpl{
        IDD_FITTING_PAGE,
        "Fitting",
        kPageX,
        0,
        kPageWidth,
        148,
        {
            {IDC_STATIC, Ctl::Static, "Material:", 4, 6, 34, 8},
            {IDC_MATERIAL_LIST, Ctl::ComboList, "", 40, 4, 112, 130},
            {IDC_MATERIAL_TEXT, Ctl::Edit, "", 40, 19, 112, 12, Style::Hidden, nullptr,
             kMaterialTextLimit},
            {IDC_STATIC, Ctl::Static, "Type:", 4, 36, 34, 8},
            {IDC_FITTING_TYPE, Ctl::ComboList, "", 40, 34, 112, 60},
            {IDC_STATIC, Ctl::Static, "Main:", 4, 51, 34, 8},
            {IDC_FITTING_MAIN_SIZE, Ctl::Edit, "", 40, 49, 40, 12, 0, nullptr, kSizeLimit},
            {IDC_FITTING_MAIN_UNIT, Ctl::ComboList, "", 84, 49, 68, 60},
            {IDC_STATIC, Ctl::Static, "Outlet:", 4, 66, 34, 8},
            {IDC_FITTING_OUTLET_SIZE, Ctl::Edit, "", 40, 64, 40, 12, 0, nullptr, kSizeLimit},
            {IDC_FITTING_OUTLET_UNIT, Ctl::ComboList, "", 84, 64, 68, 60},
            {IDC_STATIC, Ctl::Static, "Base:", 4, 81, 34, 8},
            {IDC_FITTING_BASE_TYPE, Ctl::ComboList, "", 40, 79, 112, 40},
            {IDC_FORCE_OR_CALC_GROUP, Ctl::Group, "Pressures", 4, 94, 148, 34, Style::Hidden},
            {IDC_ENTER_FORCES, Ctl::Radio, "Enter Forces from Fitting Label", 10, 104, 138, 10,
             Style::Group | Style::Hidden},
            {IDC_CALCULATE_PRESSURES, Ctl::Radio, "Calculate Pressures", 10, 115, 138, 10,
             Style::Hidden},
            {2, Ctl::Button, "<< Back", 4, 132, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 132, 50, 14},
        }};
    return tmpl;
}

CFittingPage::CFittingPage(QWidget* parent) : CSetupPageDlg(Template165(), parent) {}

bool CFittingPage::OnInitDialog() {
    LoadMaterial(*this);
    FillList(*this, IDC_FITTING_TYPE, g_strFittingTypes);
    FillList(*this, IDC_FITTING_MAIN_UNIT, g_strFittingSizeUnits);
    FillList(*this, IDC_FITTING_OUTLET_UNIT, g_strFittingSizeUnits);
    FillList(*this, IDC_FITTING_BASE_TYPE, {LoadString(IDS_ROUND), LoadString(IDS_RECTANGLE)});
    for (const PageField& list : kLists)
        SetCurSel(list.id, ReadLogInt(list.name));
    SetDlgItemText(IDC_FITTING_MAIN_SIZE, ReadLogText(LogData::kFittingMainSize));
    SetDlgItemText(IDC_FITTING_OUTLET_SIZE, ReadLogText(LogData::kFittingOutletSize));
    CheckRadioIndex(IDC_ENTER_FORCES, IDC_CALCULATE_PRESSURES,
                    ReadLogInt(LogData::kFittingForceOrCalc));
    const bool sidewall = ReadLogInt(LogData::kDoSidewallFusion) == 1;
    for (const int id : {IDC_FORCE_OR_CALC_GROUP, IDC_ENTER_FORCES, IDC_CALCULATE_PRESSURES})
        ShowDlgItem(id, sidewall);
    return true;
}

void CFittingPage::OnSelChange(int id) {
    if (id == IDC_MATERIAL_LIST)
        OnMaterialChanged(*this);
}

void CFittingPage::OnOK() {
    StoreMaterial(*this);
    for (const PageField& list : kLists)
        WriteLogInt(list.name, SelectionOr(*this, list.id, ReadLogInt(list.name)));
    StoreTrimmed(*this, IDC_FITTING_MAIN_SIZE, LogData::kFittingMainSize);
    StoreTrimmed(*this, IDC_FITTING_OUTLET_SIZE, LogData::kFittingOutletSize);
    const int radio = GetCheckedRadioButton(IDC_ENTER_FORCES, IDC_CALCULATE_PRESSURES);
    if (radio != 0)
        WriteLogInt(LogData::kFittingForceOrCalc, radio - IDC_ENTER_FORCES);
    EndDialog(IDOK);
}
