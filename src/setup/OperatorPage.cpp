#include "setup/OperatorPage.h"

#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

#include <QLineEdit>
#include <algorithm>

namespace {
constexpr int kIdLimit = 20;
constexpr int kFirstJoint = 1;
constexpr int kLastJoint = 99999;

// The IDs become part of the report's file name, so they must not hold a
// character that a file name cannot.
bool HasForbiddenChar(const QString& text) {
    const QString forbidden = LoadString(IDS_FORBIDDEN_CHARS);
    return std::any_of(text.begin(), text.end(), [&](QChar c) { return forbidden.contains(c); });
}
} // namespace

const DlgTemplate& COperatorPage::Template134() {
    static const DlgTemplate tmpl{
        IDD_OPERATOR_PAGE,
        "Operator",
        kPageX,
        0,
        kPageWidth,
        70,
        {
            {IDC_STATIC, Ctl::Static, "ID #:", 4, 6, 34, 8},
            {IDC_EMPLOYEE_ID, Ctl::Edit, "", 40, 4, 112, 12, 0, nullptr, kIdLimit},
            {IDC_STATIC, Ctl::Static, "Job #:", 4, 21, 34, 8},
            {IDC_JOB_NUMBER, Ctl::Edit, "", 40, 19, 112, 12, 0, nullptr, kIdLimit},
            {IDC_STATIC, Ctl::Static, "Joint #:", 4, 36, 34, 8},
            {IDC_JOINT_NUMBER, Ctl::Edit, "", 40, 34, 40, 12, Style::Number},
            {2, Ctl::Button, "<< Back", 4, 52, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 52, 50, 14},
        }};
    return tmpl;
}

COperatorPage::COperatorPage(QWidget* parent) : CSetupPageDlg(Template134(), parent) {}

bool COperatorPage::OnInitDialog() {
    SetDlgItemText(IDC_EMPLOYEE_ID, ReadLogText(LogData::kEmployeeId));
    SetDlgItemText(IDC_JOB_NUMBER, ReadLogText(LogData::kJobNumber));
    SetDlgItemInt(IDC_JOINT_NUMBER, ReadLogInt(LogData::kJointNumber, kFirstJoint));
    return true;
}

void COperatorPage::OnOK() {
    bool ok = false;
    const int joint = GetDlgItemInt(IDC_JOINT_NUMBER, &ok);
    if (!ok || joint < kFirstJoint || joint > kLastJoint) {
        MessageBox(QStringLiteral("Please enter a Joint # from %1 to %2.")
                       .arg(kFirstJoint)
                       .arg(kLastJoint),
                   LoadString(IDS_ERROR), MB_OK | MB_ICONEXCLAMATION);
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_JOINT_NUMBER))) {
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }
    if (HasForbiddenChar(GetDlgItemText(IDC_EMPLOYEE_ID)) ||
        HasForbiddenChar(GetDlgItemText(IDC_JOB_NUMBER))) {
        MessageBox(LoadString(IDS_FORBIDDEN_CHARS_MSG), LoadString(IDS_ERROR), MB_OK | MB_ICONSTOP);
        return;
    }
    StoreTrimmed(*this, IDC_EMPLOYEE_ID, LogData::kEmployeeId);
    StoreTrimmed(*this, IDC_JOB_NUMBER, LogData::kJobNumber);
    WriteLogInt(LogData::kJointNumber, joint);
    EndDialog(IDOK);
}
