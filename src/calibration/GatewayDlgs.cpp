#include "calibration/GatewayDlgs.h"

#include "calibration/CalibArchive.h"
#include "calibration/Resource.h"

const DlgTemplate& CCheckVantrekDlg::Template177() {
    static const DlgTemplate tmpl{
        IDD_CHECK_VANTREK,
        "Check Vantrek",
        32,
        40,
        95,
        78,
        {
            {IDC_STATIC, Ctl::Static, "Please make sure Vantrek is turned on.", 6, 8, 83, 18,
             Style::Center},
            {IDOK, Ctl::DefButton, "Connect", 6, 32, 40, 14},
            {IDCANCEL, Ctl::Button, "Exit", 49, 32, 40, 14},
            {IDC_VIEW_CALIB_DATA, Ctl::Button, "View Calibration Data", 6, 54, 83, 14},
            {IDC_HIDDEN_STRIP, Ctl::Button, "", -1, 0, 113, 2},
        }};
    return tmpl;
}

CCheckVantrekDlg::CCheckVantrekDlg(QWidget* parent) : CSetupPageDlg(Template177(), parent) {}

bool CCheckVantrekDlg::OnInitDialog() {
    // The strip is a button drawn as nothing: only who knows of it taps it.
    if (QWidget* strip = GetDlgItem(IDC_HIDDEN_STRIP)) {
        strip->setStyleSheet(QStringLiteral("border: none; background: transparent;"));
        strip->setFocusPolicy(Qt::NoFocus);
    }
    return true;
}

void CCheckVantrekDlg::OnOK() {
    m_nChoice = 1;
    EndDialog(IDOK);
}

void CCheckVantrekDlg::OnCommand(int id) {
    if (id == IDC_HIDDEN_STRIP) {
        m_nChoice = 2;
        EndDialog(IDOK);
    } else if (id == IDC_VIEW_CALIB_DATA) {
        ViewCalibrationData();
    } else {
        CSetupPageDlg::OnCommand(id);
    }
}

const DlgTemplate& CAccessCodeDlg::Template179() {
    static const DlgTemplate tmpl{
        IDD_ACCESS_CODE,
        "Access Code",
        33,
        50,
        93,
        50,
        {
            {IDC_ACCESS_CODE, Ctl::Edit, "", 8, 8, 77, 12, Style::Password},
            {IDOK, Ctl::DefButton, "OK", 6, 28, 38, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 49, 28, 38, 14},
        }};
    return tmpl;
}

CAccessCodeDlg::CAccessCodeDlg(QWidget* parent) : CSetupPageDlg(Template179(), parent) {}

void CAccessCodeDlg::OnOK() {
    m_strCode = GetDlgItemText(IDC_ACCESS_CODE);
    EndDialog(IDOK);
}
