#pragma once
// Wizard step 2 for a butt-fusion joint: pipe material, size, wall and the
// four interfacial pressures. "Next >>" computes the pipe wall area that the
// gauge pressures are based on and refuses a pipe it cannot compute.

#include "framework/SetupPageDlg.h"

class CPipePage : public CSetupPageDlg {
public:
    explicit CPipePage(QWidget* parent);
    static const DlgTemplate& Template138();

    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;
    void OnOK() override;

private:
    void ShowPipeAreaButton();
};
