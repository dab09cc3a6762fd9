#pragma once
// Wizard step 2 for a sidewall joint: the fitting's material, type, sizes and
// base shape, and for a hydraulic sidewall machine whether the pressures come
// from the fitting's label or are calculated from its base.

#include "framework/SetupPageDlg.h"

class CFittingPage : public CSetupPageDlg {
public:
    explicit CFittingPage(QWidget* parent);
    static const DlgTemplate& Template165();

    bool OnInitDialog() override;
    void OnSelChange(int id) override;
    void OnOK() override;
};
