#pragma once
// The pipe area typed directly, for the machines whose gauge pressures are
// based on it rather than on the pipe's size and wall.

#include "framework/SetupPageDlg.h"

class CPipeAreaDlg : public CSetupPageDlg {
public:
    explicit CPipeAreaDlg(QWidget* parent);
    static const DlgTemplate& Template172();

    bool OnInitDialog() override;
    void OnOK() override;
};
