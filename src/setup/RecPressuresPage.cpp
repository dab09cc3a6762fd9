#include "setup/RecPressuresPage.h"

#include "framework/Strings.h"
#include "setup/GaugePressure.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

const DlgTemplate& CRecPressuresPage::Template164() {
    static const DlgTemplate tmpl{
        IDD_REC_PRESSURES_PAGE,
        "Recommended Pressures",
        kPageX,
        kClosingPageY,
        kPageWidth,
        84,
        {
            {IDC_REC_PRESSURE_LABELS, Ctl::Static, "", 24, 4, 50, 60},
            {IDC_REC_PRESSURE_VALUES, Ctl::Static, "", 74, 4, 56, 60, Style::Right},
            {2, Ctl::Button, "<< Back", 4, 66, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 66, 50, 14},
        }};
    return tmpl;
}

CRecPressuresPage::CRecPressuresPage(QWidget* parent) : CSetupPageDlg(Template164(), parent) {
    m_font = QFont(QStringLiteral("Tahoma"));
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setPixelSize(18);
    m_font.setWeight(QFont::Bold);
}

bool CRecPressuresPage::OnInitDialog() {
    SetDlgItemFont(IDC_REC_PRESSURE_LABELS, m_font);
    SetDlgItemFont(IDC_REC_PRESSURE_VALUES, m_font);
    SetDlgItemText(IDC_REC_PRESSURE_LABELS, LoadString(IDS_PRESSURE_LABELS));
    SetDlgItemText(IDC_REC_PRESSURE_VALUES, ComputeRecommendedPressures());
    return true;
}
