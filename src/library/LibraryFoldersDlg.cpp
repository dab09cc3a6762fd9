#include "library/LibraryFoldersDlg.h"

#include "library/LibraryFolders.h"
#include "library/LibraryScanner.h"
#include "library/Resource.h"

#include <QListWidget>

const DlgTemplate& CLibraryFoldersDlg::Template400() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_FOLDERS,
        "Folders",
        20,
        20,
        300,
        150,
        {
            {IDC_STATIC, Ctl::Static, "More folders of joint reports:", 6, 4, 288, 10},
            {IDC_LIB_FOLDER_LIST, Ctl::ListBox, "", 6, 16, 232, 70, Style::VScroll | Style::Border},
            {IDC_LIB_ADD, Ctl::Button, "Add...", 244, 16, 50, 14},
            {IDC_LIB_REMOVE, Ctl::Button, "Remove", 244, 34, 50, 14},
            {IDC_STATIC, Ctl::Static, "Backup folder (its \"Joint Reports\" is scanned):", 6, 92,
             288, 10},
            {IDC_LIB_CARD, Ctl::Edit, "", 6, 104, 232, 13},
            {IDC_LIB_CARD_BROWSE, Ctl::Button, "Browse...", 244, 104, 50, 14},
            {IDOK, Ctl::DefButton, "OK", 188, 130, 50, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 244, 130, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryFoldersDlg::CLibraryFoldersDlg(QWidget* parent) : CSetupPageDlg(Template400(), parent) {}

bool CLibraryFoldersDlg::OnInitDialog() {
    for (const QString& f : AddedLibraryFolders())
        AddString(IDC_LIB_FOLDER_LIST, f);
    SetDlgItemText(IDC_LIB_CARD, NamedBackupCard());
    return true;
}

void CLibraryFoldersDlg::OnCommand(int id) {
    if (id == IDC_LIB_ADD && m_askFolder) {
        const QString folder = m_askFolder(QStringLiteral("Add a folder of joint reports"));
        if (folder.isEmpty())
            return;
        const QString path = LibraryRootPath(folder);
        for (int i = 0; i < GetCount(IDC_LIB_FOLDER_LIST); ++i)
            if (GetLBText(IDC_LIB_FOLDER_LIST, i) == path)
                return;
        AddString(IDC_LIB_FOLDER_LIST, path);
        SetCurSel(IDC_LIB_FOLDER_LIST, GetCount(IDC_LIB_FOLDER_LIST) - 1);
    } else if (id == IDC_LIB_REMOVE) {
        const int sel = GetCurSel(IDC_LIB_FOLDER_LIST);
        if (auto* list = qobject_cast<QListWidget*>(GetDlgItem(IDC_LIB_FOLDER_LIST));
            list && sel >= 0)
            delete list->takeItem(sel);
    } else if (id == IDC_LIB_CARD_BROWSE && m_askFolder) {
        const QString folder = m_askFolder(QStringLiteral("Backup folder"));
        if (!folder.isEmpty())
            SetDlgItemText(IDC_LIB_CARD, LibraryRootPath(folder));
    } else {
        CSetupPageDlg::OnCommand(id);
    }
}

void CLibraryFoldersDlg::OnOK() {
    m_folders.clear();
    for (int i = 0; i < GetCount(IDC_LIB_FOLDER_LIST); ++i)
        m_folders << GetLBText(IDC_LIB_FOLDER_LIST, i);
    m_strCard = GetDlgItemText(IDC_LIB_CARD).trimmed();
    EndDialog(IDOK);
}
