#pragma once
// "Folders": the folders the library scans besides the device's and the
// backup folder's "Joint Reports", and the backup folder itself ([Storage]
// Card), so that nobody edits the settings file by hand; and where the
// library's joints lie as the last scan found them: each root with its
// state (present, offline with its reason, suspect), its joints, its last
// complete scan and its volume, and the folders below a root that lie on
// another file system (not entered: they can be added as folders); and how
// often folders that cannot be watched (shares) are rescanned. A root can be said to be here now (a
// folder that was a mount point) or retired (a card reformatted, with a new volume). Touches no
// folder: it shows what the index says.

#include "framework/SetupPageDlg.h"
#include "library/LibraryStore.h"

#include <QStringList>
#include <functional>
#include <vector>

class CLibraryFoldersDlg : public CSetupPageDlg {
public:
    CLibraryFoldersDlg(std::vector<LibraryRoot> roots, QWidget* parent);
    static const DlgTemplate& Template400();

    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;
    void OnOK() override;

    // One line of the roots' list for `root`, which holds `joints`.
    static QString RootLine(const LibraryRoot& root, const RootJoints& joints = {});

    // Asks the user for a folder; empty for Cancel.
    std::function<QString(const QString& title)> m_askFolder;
    // The joints of each root, as the index counts them.
    QHash<qint64, RootJoints> m_joints;
    // Minutes between rescans of folders that cannot be watched; set by OK.
    int m_nRescanMinutes = 15;
    // An office's library (on a server): named folders only.
    bool m_bOffice = false;

    // Set by OK: the added folders and the named backup folder; the roots
    // retired and the folders said to be here now.
    QStringList m_folders;
    QString m_strCard;
    std::vector<qint64> m_retired;
    QStringList m_hereNow;

private:
    struct Line {
        qint64 rootId = 0; // 0: a folder on another file system
        QString folder;
    };
    void AddFolder(const QString& folder);
    void FillRoots();

    std::vector<LibraryRoot> m_roots;
    std::vector<Line> m_lines;
};
