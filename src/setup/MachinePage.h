#pragma once
// Wizard step 0: the fusion machine, its piston area and whether the joint is
// a sidewall fusion. The list logic is CMachineListModel's; the page shows it.

#include "framework/SetupPageDlg.h"
#include "setup/MachineListModel.h"

class CMachinePage : public CSetupPageDlg {
public:
    explicit CMachinePage(QWidget* parent);
    static const DlgTemplate& Template136();

    bool OnInitDialog() override;
    void OnSelChange(int id) override;
    void OnOK() override;

private:
    void CopyControlsToModel();
    void ShowModel();

    CMachineListModel m_model;
};
