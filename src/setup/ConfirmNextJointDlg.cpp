#include "setup/ConfirmNextJointDlg.h"

#include "platform/MessageBox.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

const DlgTemplate& CConfirmNextJointDlg::Template184() {
    static const DlgTemplate tmpl{IDD_CONFIRM_NEXT_JOINT,
                                  "",
                                  kPageX,
                                  0,
                                  kPageWidth,
                                  150,
                                  {
                                      {IDC_JOINT_SUMMARY, Ctl::Edit, "", 4, 4, 148, 124,
                                       Style::Multiline | Style::ReadOnly | Style::VScroll},
                                      {1, Ctl::DefButton, "Yes", 4, 132, 46, 14},
                                      {IDC_CONFIRM_NO, Ctl::Button, "No", 55, 132, 46, 14},
                                      {2, Ctl::Button, "Cancel", 106, 132, 46, 14},
                                  }};
    return tmpl;
}

CConfirmNextJointDlg::CConfirmNextJointDlg(const QString& title, const QString& body,
                                           QWidget* parent)
    : CSetupPageDlg(Template184(), parent), m_strTitle(title), m_strBody(body) {}

bool CConfirmNextJointDlg::OnInitDialog() {
    setWindowTitle(m_strTitle);
    // The summary's lines end in CR LF; the edit breaks lines at LF alone.
    QString shown = m_strBody;
    SetDlgItemText(IDC_JOINT_SUMMARY, shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    return true;
}

void CConfirmNextJointDlg::OnOK() {
    EndDialog(IDYES);
}

void CConfirmNextJointDlg::OnCancel() {
    EndDialog(kCancelled);
}

void CConfirmNextJointDlg::OnCommand(int id) {
    if (id == IDC_CONFIRM_NO)
        EndDialog(IDNO);
    else
        CSetupPageDlg::OnCommand(id);
}
