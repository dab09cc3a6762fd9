#pragma once
// Asks whether the last joint's setup is to be used again, showing it.

#include "framework/SetupPageDlg.h"

class CConfirmNextJointDlg : public CSetupPageDlg {
public:
    // Results: IDYES, IDNO, or kCancelled for "Cancel" and for closing.
    static constexpr int kCancelled = 99999;

    CConfirmNextJointDlg(const QString& title, const QString& body, QWidget* parent);
    static const DlgTemplate& Template184();

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;

private:
    QString m_strTitle;
    QString m_strBody;
};
