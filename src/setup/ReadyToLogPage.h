#pragma once
// Wizard step 8: the last page before logging. "Start" sends the joint to the
// Vantrek; "Cancel" leaves the wizard, "<< Back" returns to the heater page.

#include "framework/SetupPageDlg.h"

class CReadyToLogPage : public CSetupPageDlg {
public:
    explicit CReadyToLogPage(QWidget* parent);
    static const DlgTemplate& Template163();

    bool OnInitDialog() override;
    void OnCommand(int id) override;

    // 1 when the page was left with "Cancel" rather than "<< Back".
    int CancelFlag() const { return m_nCancel; }

private:
    int m_nCancel = 0;
};
