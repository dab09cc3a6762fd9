#include "report/SearchRangeDlg.h"

#include "framework/Format.h"
#include "report/Resource.h"

const DlgTemplate& CSearchRangeDlg::Template175() {
    static const DlgTemplate tmpl{IDD_SEARCH_RANGE,
                                  "Front-end Search Range",
                                  20,
                                  40,
                                  120,
                                  44,
                                  {
                                      {IDC_SEARCH_RANGE_LIST, Ctl::ComboList, "", 30, 4, 60, 80},
                                      {1, Ctl::DefButton, "OK", 8, 24, 48, 14},
                                      {2, Ctl::Button, "Cancel", 64, 24, 48, 14},
                                  }};
    return tmpl;
}

CSearchRangeDlg::CSearchRangeDlg(QWidget* parent) : CSetupPageDlg(Template175(), parent) {}

bool CSearchRangeDlg::OnInitDialog() {
    for (int percent = 5; percent <= 100; percent += 5)
        AddString(IDC_SEARCH_RANGE_LIST, Format(QStringLiteral("%d%%"), {percent}));
    // Always offered at the whole range, whatever was chosen before.
    SetCurSel(IDC_SEARCH_RANGE_LIST, GetCount(IDC_SEARCH_RANGE_LIST) - 1);
    return true;
}

void CSearchRangeDlg::OnOK() {
    m_nPercent = (GetCurSel(IDC_SEARCH_RANGE_LIST) + 1) * 5;
    EndDialog(IDOK);
}
