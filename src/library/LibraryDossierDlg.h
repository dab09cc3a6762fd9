#pragma once
// "Job dossier...": the job (its number matched whole, in any case), the
// dates it covers, the PDF file and the paper. OK checks what was typed,
// and asks before a file there is written over. Writes nothing: the window
// writes the dossier on a worker.

#include "framework/SetupPageDlg.h"

#include <QDate>
#include <functional>

class CLibraryDossierDlg : public CSetupPageDlg {
public:
    explicit CLibraryDossierDlg(QWidget* parent);
    static const DlgTemplate& Template404();

    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnEditChange(int id) override;
    void OnOK() override;

    // Where to save, asked of the user (empty: Cancel); tests answer.
    std::function<QString(const QString& suggested)> m_askFile;
    // How many joints of a job the library has: a line for the dialog.
    std::function<QString(const QString& job)> m_describe;

    // Given to start with, and set by OK.
    QString m_job;
    QDate m_since, m_until; // null: open
    QString m_file;
    bool m_letter = false;
    bool m_force = false; // the user said to write over the file there

private:
    void Describe();
};
