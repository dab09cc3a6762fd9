#include "app/AboutDlg.h"

#include "framework/Strings.h"
#include "link/CommandText.h"

const DlgTemplate& CAboutDlg::Template100() {
    static const DlgTemplate tmpl{100,
                                  "About Kelvorn VTQ-PPC",
                                  0,
                                  0,
                                  160,
                                  165,
                                  {
                                      {IDC_STATIC, Ctl::Icon, "#128", 8, 10, 21, 20},
                                      {IDC_ABOUT_TEXT, Ctl::Static, "", 36, 10, 118, 90},
                                      {1, Ctl::DefButton, "OK", 59, 144, 42, 14},
                                  }};
    return tmpl;
}

QString CAboutDlg::AboutText() {
    return AppName() + QLatin1Char('\n') + QLatin1String(kProtocolVersion) + QLatin1Char('\n') +
           LoadString(IDS_MAKERS_NOTICE);
}

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(Template100(), parent) {}

bool CAboutDlg::OnInitDialog() {
    SetDlgItemText(IDC_ABOUT_TEXT, AboutText());
    return true;
}
