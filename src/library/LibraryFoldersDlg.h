#pragma once
// "Folders": the folders the library scans besides the device's and the
// backup folder's "Joint Reports", and the backup folder itself ([Storage]
// Card), so that nobody edits the settings file by hand. Touches no folder:
// it only keeps their names.

#include "framework/SetupPageDlg.h"

#include <QStringList>
#include <functional>

class CLibraryFoldersDlg : public CSetupPageDlg {
public:
    explicit CLibraryFoldersDlg(QWidget* parent);
    static const DlgTemplate& Template400();

    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;

    // Asks the user for a folder; empty for Cancel.
    std::function<QString(const QString& title)> m_askFolder;

    // Set by OK: the added folders and the named backup folder.
    QStringList m_folders;
    QString m_strCard;
};
