#include "calibration/CalibSummaryDlg.h"

#include "calibration/CalibReport.h"
#include "calibration/Resource.h"

#include <QPlainTextEdit>

const DlgTemplate& CCalibSummaryDlg::Template182() {
    static const DlgTemplate tmpl{IDD_CALIB_SUMMARY,
                                  "",
                                  0,
                                  0,
                                  137,
                                  155,
                                  {
                                      {IDC_STATIC, Ctl::Static, "Summary", 4, 2, 80, 9},
                                      {IDC_SUMMARY, Ctl::Edit, "", 4, 12, 129, 72,
                                       Style::Multiline | Style::VScroll | Style::ReadOnly},
                                      {IDC_STATIC, Ctl::Static, "Session Log", 4, 87, 80, 9},
                                      {IDC_SESSION_LOG, Ctl::Edit, "", 4, 97, 129, 39,
                                       Style::Multiline | Style::VScroll | Style::ReadOnly},
                                      {IDCANCEL, Ctl::Button, "Exit", 48, 139, 40, 14},
                                      {IDOK, Ctl::DefButton, "OK", 92, 139, 40, 14, Style::Hidden},
                                  }};
    return tmpl;
}

CCalibSummaryDlg::CCalibSummaryDlg(QWidget* parent, const CCalibRecord& record)
    : CDialog(Template182(), parent), m_record(record) {}

bool CCalibSummaryDlg::OnInitDialog() {
    // Targets and measured values stand in two close columns.
    if (auto* summary = qobject_cast<QPlainTextEdit*>(GetDlgItem(IDC_SUMMARY)))
        summary->setTabStopDistance(56);
    // The edits show line ends as the handheld wrote them, "\r\n".
    QString report = BuildCalibReport(m_record);
    QString log = m_record.m_strSessionLog;
    SetDlgItemText(IDC_SUMMARY, report.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    SetDlgItemText(IDC_SESSION_LOG, log.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    return true;
}
