#include "library/LibraryForgetDlg.h"

#include "library/JointTable.h"
#include "library/Resource.h"

const DlgTemplate& CLibraryForgetDlg::Template402() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_FORGET,
        "Forget missing",
        20,
        20,
        340,
        200,
        {
            {IDC_STATIC, Ctl::Static, "Forget the files missing for more than", 6, 6, 150, 10},
            {IDC_LIB_FORGET_DAYS, Ctl::Edit, "", 158, 4, 30, 13, Style::Number, nullptr, 5},
            {IDC_STATIC, Ctl::Static, "days:", 192, 6, 60, 10},
            {IDC_LIB_FORGET_LIST, Ctl::ListBox, "", 6, 22, 328, 138,
             Style::VScroll | Style::Border},
            {IDC_LIB_FORGET_COUNT, Ctl::Static, "", 6, 164, 328, 10},
            {IDOK, Ctl::DefButton, "Forget", 228, 180, 50, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 284, 180, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryForgetDlg::CLibraryForgetDlg(QWidget* parent) : CSetupPageDlg(Template402(), parent) {}

bool CLibraryForgetDlg::OnInitDialog() {
    SetDlgItemInt(IDC_LIB_FORGET_DAYS, kDefaultDays);
    Fill();
    return true;
}

void CLibraryForgetDlg::OnEditChange(int id) {
    if (id == IDC_LIB_FORGET_DAYS && IsCreated())
        Fill();
}

void CLibraryForgetDlg::Fill() {
    bool ok = false;
    const int days = GetDlgItemInt(IDC_LIB_FORGET_DAYS, &ok);
    m_ageMs = qint64(ok ? days : 0) * 24 * 3600 * 1000;
    m_items = m_missing ? m_missing(m_ageMs) : std::vector<ForgetItem>();
    ResetContent(IDC_LIB_FORGET_LIST);
    for (const ForgetItem& item : m_items)
        AddString(IDC_LIB_FORGET_LIST,
                  QStringLiteral("%1   joint %2, job %3 — missing since %4")
                      .arg(SafeLine(item.path))
                      .arg(item.jointNumber)
                      .arg(SafeLine(item.job), LibraryTimeText(item.missingSince)));
    SetDlgItemText(IDC_LIB_FORGET_COUNT,
                   m_items.empty()
                       ? QStringLiteral("No file has been missing that long.")
                       : QStringLiteral("%1 missing files will be forgotten; the reports "
                                        "themselves are not touched.")
                             .arg(m_items.size()));
    EnableDlgItem(IDOK, !m_items.empty());
}

void CLibraryForgetDlg::OnOK() {
    m_fileIds.clear();
    for (const ForgetItem& item : m_items)
        m_fileIds.push_back(item.fileId);
    EndDialog(IDOK);
}
