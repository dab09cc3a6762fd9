#pragma once
// Wizard step 1: who makes the joint, the job and the joint number.

#include "framework/SetupPageDlg.h"

class COperatorPage : public CSetupPageDlg {
public:
    explicit COperatorPage(QWidget* parent);
    static const DlgTemplate& Template134();

    bool OnInitDialog() override;
    void OnOK() override;
};
