#include "setup/SidewallParamsPage.h"

#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

#include <vector>

namespace {
constexpr int kValueLimit = 5;

// The rows of the base group: a label and the value it names.
struct BaseRow {
    int label;
    int value;
};
constexpr BaseRow kBaseRows[] = {
    {IDC_BASE_LABEL_1, IDC_BASE_VALUE_1},
    {IDC_BASE_LABEL_2, IDC_BASE_VALUE_2},
    {IDC_BASE_LABEL_3, IDC_BASE_VALUE_3},
};

struct BaseField {
    int label; // string id
    const QString& name;
};
std::vector<BaseField> BaseFields(bool rectangle) {
    if (rectangle)
        return {{IDS_BASE_HOLE_DIAMETER, LogData::kFittingBaseHoleDiameter},
                {IDS_BASE_LENGTH, LogData::kFittingBaseLength},
                {IDS_BASE_WIDTH, LogData::kFittingBaseWidth}};
    return {{IDS_OD, LogData::kFittingOd}, {IDS_WALL_THICKNESS, LogData::kFittingWallThickness}};
}

const PageField kForces[] = {
    {IDC_BEAD_FORCE, LogData::kRecBeadForceOrIfp},
    {IDC_SOAK_FORCE, LogData::kRecSoakForceOrIfp},
    {IDC_FUSE_FORCE, LogData::kRecFuseForceOrIfp},
};
const PageField kMechanical[] = {
    {IDC_BEAD_FORCE, LogData::kFittingHeatPressure},
    {IDC_FUSE_FORCE, LogData::kFittingFusePressure},
};
const char16_t* const kForceDefaults[] = {u"60", u"0", u"30"};
} // namespace

const DlgTemplate& CSidewallParamsPage::Template183() {
    static const DlgTemplate tmpl{
        IDD_SIDEWALL_PARAMS_PAGE,
        "Sidewall Parameters",
        kPageX,
        0,
        kPageWidth,
        132,
        {
            {IDC_FORCES_GROUP, Ctl::Group, "", 4, 2, 148, 38},
            {IDC_STATIC, Ctl::Static, "Bead", 10, 14, 40, 8},
            {IDC_SOAK_FORCE_LABEL, Ctl::Static, "Soak", 56, 14, 40, 8},
            {IDC_STATIC, Ctl::Static, "Fuse", 102, 14, 40, 8},
            {IDC_BEAD_FORCE, Ctl::Edit, "", 10, 24, 40, 12, 0, nullptr, kValueLimit},
            {IDC_SOAK_FORCE, Ctl::Edit, "", 56, 24, 40, 12, 0, nullptr, kValueLimit},
            {IDC_FUSE_FORCE, Ctl::Edit, "", 102, 24, 40, 12, 0, nullptr, kValueLimit},
            {IDC_BASE_GROUP, Ctl::Group, "", 4, 44, 148, 68, Style::Hidden},
            {IDC_BASE_LABEL_1, Ctl::Static, "", 10, 58, 80, 8, Style::Hidden},
            {IDC_BASE_VALUE_1, Ctl::Edit, "", 96, 56, 50, 12, Style::Hidden, nullptr, kValueLimit},
            {IDC_BASE_LABEL_2, Ctl::Static, "", 10, 72, 80, 8, Style::Hidden},
            {IDC_BASE_VALUE_2, Ctl::Edit, "", 96, 70, 50, 12, Style::Hidden, nullptr, kValueLimit},
            {IDC_BASE_LABEL_3, Ctl::Static, "", 10, 86, 80, 8, Style::Hidden},
            {IDC_BASE_VALUE_3, Ctl::Edit, "", 96, 84, 50, 12, Style::Hidden, nullptr, kValueLimit},
            {IDC_BASE_INCHES, Ctl::Radio, "Inches", 10, 99, 50, 10, Style::Group | Style::Hidden},
            {IDC_BASE_MM, Ctl::Radio, "mm", 70, 99, 40, 10, Style::Hidden},
            {2, Ctl::Button, "<< Back", 4, 116, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 116, 50, 14},
        }};
    return tmpl;
}

CSidewallParamsPage::CSidewallParamsPage(QWidget* parent) : CSetupPageDlg(Template183(), parent) {}

bool CSidewallParamsPage::OnInitDialog() {
    m_bMechanical = IsTarvexMech();
    // The same test the gauge pressure calculation makes, so the page asks
    // for a base exactly when the pressures are calculated from one.
    m_bCalculate = !m_bMechanical && ReadLogInt(LogData::kFittingForceOrCalc) != 0;
    m_bRectangle = ReadLogInt(LogData::kFittingBaseType) == 1;
    SetDlgItemText(IDC_FORCES_GROUP,
                   LoadString(m_bCalculate ? IDS_HDR_IFP_COLON : IDS_HDR_REC_FORCES));

    if (m_bMechanical) {
        for (const PageField& field : kMechanical)
            SetDlgItemText(field.id, ReadLogText(field.name));
        ShowDlgItem(IDC_SOAK_FORCE, false);
        ShowDlgItem(IDC_SOAK_FORCE_LABEL, false);
        return true;
    }
    for (int i = 0; i < 3; ++i) {
        const QString fallback = QString::fromUtf16(kForceDefaults[i]);
        // Calculated pressures start from the usual values every time.
        SetDlgItemText(kForces[i].id,
                       m_bCalculate ? fallback : ReadLogText(kForces[i].name, fallback));
    }
    if (!m_bCalculate)
        return true;

    SetDlgItemText(IDC_BASE_GROUP,
                   LoadString(m_bRectangle ? IDS_RECTANGLE_FITTING_BASE : IDS_ROUND_FITTING_BASE));
    const std::vector<BaseField> fields = BaseFields(m_bRectangle);
    for (const int id : {IDC_BASE_GROUP, IDC_BASE_INCHES, IDC_BASE_MM})
        ShowDlgItem(id, true);
    for (size_t row = 0; row < fields.size(); ++row) {
        SetDlgItemText(kBaseRows[row].label, LoadString(fields[row].label));
        SetDlgItemText(kBaseRows[row].value, ReadLogText(fields[row].name));
        ShowDlgItem(kBaseRows[row].label, true);
        ShowDlgItem(kBaseRows[row].value, true);
    }
    CheckRadioIndex(IDC_BASE_INCHES, IDC_BASE_MM, ReadLogInt(LogData::kFittingDimensionsUnit));
    return true;
}

void CSidewallParamsPage::OnOK() {
    if (m_bMechanical) {
        for (const PageField& field : kMechanical)
            StoreTrimmed(*this, field.id, field.name);
        EndDialog(IDOK);
        return;
    }
    for (const PageField& field : kForces)
        StoreTrimmed(*this, field.id, field.name);
    if (m_bCalculate) {
        const std::vector<BaseField> fields = BaseFields(m_bRectangle);
        for (size_t row = 0; row < fields.size(); ++row)
            StoreTrimmed(*this, kBaseRows[row].value, fields[row].name);
        const int radio = GetCheckedRadioButton(IDC_BASE_INCHES, IDC_BASE_MM);
        if (radio != 0)
            WriteLogInt(LogData::kFittingDimensionsUnit, radio - IDC_BASE_INCHES);
    }
    EndDialog(IDOK);
}
