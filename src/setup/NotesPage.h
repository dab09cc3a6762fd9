#pragma once
// Wizard step 4: the joint's notes, shown after the prefix (temperature offset
// and fitting base) that goes to the Vantrek in front of them.

#include "framework/SetupPageDlg.h"

class CNotesPage : public CSetupPageDlg {
public:
    // The notes record carries at most this many characters of prefix and notes.
    static constexpr int kNotesRecordChars = 100;

    explicit CNotesPage(QWidget* parent);
    static const DlgTemplate& Template167();

    bool OnInitDialog() override;
    void OnEditChange(int id) override;
    void OnOK() override;

    const QString& Prefix() const { return m_strPrefix; }
    int Capacity() const { return m_nCapacity; }

private:
    // The capacity less the notes' length: below 0 when stored notes no
    // longer fit beside the prefix.
    int CharactersLeft() const;
    void ShowCharactersLeft();

    QString m_strPrefix;
    int m_nPrefixLength = 0;
    int m_nCapacity = kNotesRecordChars;
    QString m_strLabel;
};
