#include "setup/ReadyToLogPage.h"

#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

const DlgTemplate& CReadyToLogPage::Template163() {
    static const DlgTemplate tmpl{
        IDD_READY_TO_LOG_PAGE,
        "Ready to Log Data",
        kPageX,
        kClosingPageY,
        kPageWidth,
        66,
        {
            {IDC_LOGGED_TEMP, Ctl::Static, "", 4, 4, 148, 10},
            {IDC_STATIC, Ctl::Static,
             "Press \"Start\" to begin logging pressure profile, then close carriage to heat "
             "pipe.",
             4, 18, 148, 26},
            {2, Ctl::Button, "<< Back", 4, 48, 46, 14},
            {1, Ctl::DefButton, "Start", 55, 48, 46, 14},
            {IDC_READY_CANCEL, Ctl::Button, "Cancel", 106, 48, 46, 14},
        }};
    return tmpl;
}

CReadyToLogPage::CReadyToLogPage(QWidget* parent) : CSetupPageDlg(Template163(), parent) {}

bool CReadyToLogPage::OnInitDialog() {
    m_nCancel = 0;
    SetDlgItemText(IDC_LOGGED_TEMP, LoadString(IDS_LOGGED) + ReadLogText(LogData::kHtrTemp));
    return true;
}

void CReadyToLogPage::OnCommand(int id) {
    if (id == IDC_READY_CANCEL) {
        m_nCancel = 1;
        EndDialog(IDCANCEL);
        return;
    }
    CSetupPageDlg::OnCommand(id);
}
