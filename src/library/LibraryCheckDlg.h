#pragma once
// "Check...": the procedure check of one joint, as vtq-report check prints
// it (one line per criterion, the verdict last). Shows what a worker has
// already read; touches no file.

#include "framework/SetupPageDlg.h"

#include <QStringList>

class CLibraryCheckDlg : public CSetupPageDlg {
public:
    CLibraryCheckDlg(QString file, QStringList lines, QWidget* parent);
    static const DlgTemplate& Template401();

    bool OnInitDialog() override;

private:
    QString m_strFile;
    QStringList m_lines;
};
