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
            {IDC_STATIC, Ctl::Static, "Forget the files missing for more than", 6, 6, 170, 10},
            {IDC_LIB_FORGET_DAYS, Ctl::Edit, "", 178, 4, 30, 13, Style::Number, nullptr, 5},
            {IDC_STATIC, Ctl::Static, "days:", 212, 6, 60, 10},
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
                  (item.dateTime.isEmpty() ? QStringLiteral("not a joint report")
                                           : QStringLiteral("joint %1 of %2, job %3")
                                                 .arg(item.jointNumber)
                                                 .arg(item.dateTime, SafeLine(item.job))) +
                      QStringLiteral(" — missing since %1 — %2")
                          .arg(LibraryTimeText(item.missingSince), SafeLine(item.path)));
    SetDlgItemText(IDC_LIB_FORGET_COUNT,
                   m_items.empty()       ? QStringLiteral("No file has been missing that long.")
                   : m_items.size() == 1 ? QStringLiteral("1 missing file will be forgotten; the "
                                                          "report itself is not touched.")
                                         : QStringLiteral("%1 missing files will be forgotten; "
                                                          "the reports themselves are not touched.")
                                               .arg(m_items.size()));
    EnableDlgItem(IDOK, !m_items.empty());
}

void CLibraryForgetDlg::OnOK() {
    m_fileIds.clear();
    for (const ForgetItem& item : m_items)
        m_fileIds.push_back(item.fileId);
    EndDialog(IDOK);
}
