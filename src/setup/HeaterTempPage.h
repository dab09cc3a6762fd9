#pragma once
// Wizard step 7: the heater temperature. The probe's reading is logged by the
// Log/Status window while this page is open; the operator may also type a
// reading taken with another thermometer.

#include "framework/SetupPageDlg.h"

class CHeaterTempPage : public CSetupPageDlg {
public:
    explicit CHeaterTempPage(QWidget* parent);
    static const DlgTemplate& Template162();

    bool OnInitDialog() override;
    void OnOK() override;
};
