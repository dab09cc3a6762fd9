#include "library/LibraryFoldersDlg.h"

#include "library/JointTable.h"
#include "library/LibraryFolders.h"
#include "library/LibraryScanner.h"
#include "library/NamedRoots.h"
#include "library/Resource.h"

#include <QListWidget>

const DlgTemplate& CLibraryFoldersDlg::Template400() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_FOLDERS,
        "Folders",
        20,
        20,
        420,
        262,
        {
            {IDC_LIB_FOLDERS_LABEL, Ctl::Static, "More folders of joint reports:", 6, 4, 350, 10},
            {IDC_LIB_FOLDER_LIST, Ctl::ListBox, "", 6, 16, 352, 52, Style::VScroll | Style::Border},
            {IDC_LIB_ADD, Ctl::Button, "Add...", 364, 16, 50, 14},
            {IDC_LIB_REMOVE, Ctl::Button, "Remove", 364, 34, 50, 14},
            {IDC_LIB_CARD_LABEL, Ctl::Static,
             "Backup folder (its \"Joint Reports\" is scanned):", 6, 74, 350, 10},
            {IDC_LIB_CARD, Ctl::Edit, "", 6, 86, 352, 13},
            {IDC_LIB_CARD_BROWSE, Ctl::Button, "Browse...", 364, 86, 50, 14},
            {IDC_STATIC, Ctl::Static, "Where the joints lie, as the last scan found them:", 6, 106,
             350, 10},
            {IDC_LIB_ROOT_LIST, Ctl::ListBox, "", 6, 118, 352, 98, Style::VScroll | Style::Border},
            {IDC_LIB_HERE, Ctl::Button, "Here now", 364, 118, 50, 14, Style::Disabled},
            {IDC_LIB_RETIRE, Ctl::Button, "Retire", 364, 136, 50, 14, Style::Disabled},
            {IDC_LIB_ADD_OTHER, Ctl::Button, "Scan it too", 364, 154, 50, 14, Style::Disabled},
            {IDC_STATIC, Ctl::Static, "Folders that cannot be watched (shares) are scanned every",
             6, 224, 214, 10},
            {IDC_LIB_RESCAN_MINUTES, Ctl::Edit, "", 222, 222, 26, 13, Style::Number},
            {IDC_STATIC, Ctl::Static, "minutes", 252, 224, 60, 10},
            {IDOK, Ctl::DefButton, "OK", 308, 242, 50, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 364, 242, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryFoldersDlg::CLibraryFoldersDlg(std::vector<LibraryRoot> roots, QWidget* parent)
    : CSetupPageDlg(Template400(), parent), m_roots(std::move(roots)) {}

// The state first, so that it shows however long the path is.
QString CLibraryFoldersDlg::RootLine(const LibraryRoot& root, const RootJoints& joints) {
    QStringList parts;
    if (!root.known)
        parts << QStringLiteral("not scanned yet");
    else if (!root.reachable)
        parts << QStringLiteral("offline: ") + root.reason;
    else if (root.suspect)
        parts << QStringLiteral("suspect: ") + root.reason;
    else
        parts << QStringLiteral("present");
    if (joints.joints > 0)
        parts
            << (joints.present == joints.joints
                    ? QStringLiteral("%1 joints").arg(joints.joints)
                    : QStringLiteral("%1 joints, %2 there").arg(joints.joints).arg(joints.present));
    if (root.completeAt > 0)
        parts << QStringLiteral("scanned whole %1").arg(LibraryTimeText(root.completeAt));
    // A named root is the office's name, with this desk's folder for it.
    QString where =
        root.kind == RootKind::Named
            ? SafeLine(root.key) + (root.pathText.isEmpty()
                                        ? QString()
                                        : QStringLiteral(" at ") + SafeLine(root.pathText))
            : SafeLine(root.known && !root.pathText.isEmpty() ? root.pathText : root.source);
    if (root.kind == RootKind::Volume)
        where +=
            root.volumeLabel.isEmpty()
                ? QStringLiteral(" (card %1)").arg(root.volumeUuid)
                : QStringLiteral(" (card %1, %2)").arg(SafeLine(root.volumeLabel), root.volumeUuid);
    parts << where;
    return parts.join(QStringLiteral(" — "));
}

void CLibraryFoldersDlg::FillRoots() {
    ResetContent(IDC_LIB_ROOT_LIST);
    m_lines.clear();
    for (const LibraryRoot& root : m_roots) {
        if (std::find(m_retired.begin(), m_retired.end(), root.id) != m_retired.end())
            continue;
        AddString(IDC_LIB_ROOT_LIST, RootLine(root, m_joints.value(root.id)));
        m_lines.push_back({root.id, root.kind == RootKind::Named ? root.key : root.pathText});
        for (const QString& other : root.otherFileSystems) {
            AddString(IDC_LIB_ROOT_LIST,
                      QStringLiteral("    on another file system, not scanned — %1")
                          .arg(SafeLine(other)));
            m_lines.push_back({0, other});
        }
    }
    OnSelChange(IDC_LIB_ROOT_LIST);
}

bool CLibraryFoldersDlg::OnInitDialog() {
    if (m_bOffice) {
        // An office's library scans its named folders only; this desk's
        // folders for them are shown, and set with "vtq-library map".
        SetDlgItemText(IDC_LIB_FOLDERS_LABEL,
                       QStringLiteral("This computer's folders of the office's named folders "
                                      "(vtq-library map NAME FOLDER):"));
        for (const RootMapping& m : RootMappings())
            AddString(IDC_LIB_FOLDER_LIST, m.name + QStringLiteral(" = ") + SafeLine(m.folder));
        SetDlgItemText(IDC_LIB_CARD_LABEL,
                       QStringLiteral("Backup folder (not scanned in an office's library):"));
        for (int id : {IDC_LIB_ADD, IDC_LIB_REMOVE, IDC_LIB_CARD, IDC_LIB_CARD_BROWSE})
            EnableDlgItem(id, false);
    } else {
        for (const QString& f : AddedLibraryFolders())
            AddString(IDC_LIB_FOLDER_LIST, f);
    }
    SetDlgItemText(IDC_LIB_CARD, NamedBackupCard());
    SetDlgItemInt(IDC_LIB_RESCAN_MINUTES, m_nRescanMinutes);
    FillRoots();
    return true;
}

void CLibraryFoldersDlg::AddFolder(const QString& folder) {
    const QString path = LibraryRootPath(folder);
    for (int i = 0; i < GetCount(IDC_LIB_FOLDER_LIST); ++i)
        if (GetLBText(IDC_LIB_FOLDER_LIST, i) == path)
            return;
    AddString(IDC_LIB_FOLDER_LIST, path);
    SetCurSel(IDC_LIB_FOLDER_LIST, GetCount(IDC_LIB_FOLDER_LIST) - 1);
}

void CLibraryFoldersDlg::OnSelChange(int id) {
    if (id != IDC_LIB_ROOT_LIST)
        return;
    const int sel = GetCurSel(IDC_LIB_ROOT_LIST);
    const Line* line = sel >= 0 && size_t(sel) < m_lines.size() ? &m_lines[size_t(sel)] : nullptr;
    const LibraryRoot* root = nullptr;
    for (const LibraryRoot& r : m_roots)
        if (line && r.id == line->rootId)
            root = &r;
    // A named root's folder can be said to be right although it holds none
    // of what the indexer found there.
    EnableDlgItem(IDC_LIB_HERE,
                  root && root->known && !root->reachable &&
                      ((root->kind == RootKind::Path && !m_hereNow.contains(root->pathText)) ||
                       (root->kind == RootKind::Named && !root->pathText.isEmpty() &&
                        !m_hereNow.contains(root->key))));
    EnableDlgItem(IDC_LIB_RETIRE, root != nullptr);
    EnableDlgItem(IDC_LIB_ADD_OTHER, !m_bOffice && line && line->rootId == 0);
}

void CLibraryFoldersDlg::OnCommand(int id) {
    const int sel = GetCurSel(IDC_LIB_ROOT_LIST);
    const Line* line = sel >= 0 && size_t(sel) < m_lines.size() ? &m_lines[size_t(sel)] : nullptr;
    if (id == IDC_LIB_ADD && m_askFolder) {
        const QString folder = m_askFolder(QStringLiteral("Add a folder of joint reports"));
        if (!folder.isEmpty())
            AddFolder(folder);
    } else if (id == IDC_LIB_REMOVE) {
        const int at = GetCurSel(IDC_LIB_FOLDER_LIST);
        if (auto* list = qobject_cast<QListWidget*>(GetDlgItem(IDC_LIB_FOLDER_LIST));
            list && at >= 0)
            delete list->takeItem(at);
    } else if (id == IDC_LIB_CARD_BROWSE && m_askFolder) {
        const QString folder = m_askFolder(QStringLiteral("Backup folder"));
        if (!folder.isEmpty())
            SetDlgItemText(IDC_LIB_CARD, LibraryRootPath(folder));
    } else if (id == IDC_LIB_HERE && line && line->rootId > 0) {
        m_hereNow << line->folder;
        OnSelChange(IDC_LIB_ROOT_LIST);
    } else if (id == IDC_LIB_RETIRE && line && line->rootId > 0) {
        m_retired.push_back(line->rootId);
        FillRoots();
    } else if (id == IDC_LIB_ADD_OTHER && line && line->rootId == 0) {
        AddFolder(line->folder);
    } else {
        CSetupPageDlg::OnCommand(id);
    }
}

void CLibraryFoldersDlg::OnOK() {
    m_folders.clear();
    for (int i = 0; i < GetCount(IDC_LIB_FOLDER_LIST); ++i)
        m_folders << GetLBText(IDC_LIB_FOLDER_LIST, i);
    m_strCard = GetDlgItemText(IDC_LIB_CARD).trimmed();
    const int minutes = GetDlgItemText(IDC_LIB_RESCAN_MINUTES).trimmed().toInt();
    if (minutes > 0)
        m_nRescanMinutes = std::min(minutes, 1440);
    EndDialog(IDOK);
}
