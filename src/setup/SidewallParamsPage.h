#pragma once
// Wizard step 3 on the fitting path: the bead, soak and fuse forces from the
// fitting's label, or the interfacial pressures and the fitting base to
// calculate from; for a Tarvex Mech. machine the heat and fuse gauge
// pressures themselves.

#include "framework/SetupPageDlg.h"

class CSidewallParamsPage : public CSetupPageDlg {
public:
    explicit CSidewallParamsPage(QWidget* parent);
    static const DlgTemplate& Template183();

    bool OnInitDialog() override;
    void OnOK() override;

private:
    bool m_bMechanical = false;
    bool m_bCalculate = false;
    bool m_bRectangle = false;
};
