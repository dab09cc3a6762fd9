#pragma once
// "Append Notes to Report": the report's notes, read-only, and new notes to
// add after them. Appended notes cannot be changed afterwards, so both OK and
// Cancel ask first when something was typed.

#include "framework/SetupPageDlg.h"

class CAppendNotesDlg : public CSetupPageDlg {
public:
    // `notes` is the report's notes text, "---" when it has none.
    CAppendNotesDlg(const QString& notes, QWidget* parent);
    static const DlgTemplate& Template174();

    bool OnInitDialog() override;
    void OnEditChange(int id) override;
    void OnOK() override;
    void OnCancel() override;

    QString m_strExisting;
    int m_nExistingLength = 0;
    int m_nCharsLeft = 0;
    // The notes to store: the existing ones, " + " and the new ones.
    QString m_strCombined;
    // The new notes: shown in the edit at the start, what was typed at OK.
    QString m_strTyped;

private:
    void ShowCharsLeft(int left);
};
