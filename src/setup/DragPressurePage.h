#pragma once
// Wizard step 5: the machine's drag pressure, measured by the operator. An
// empty field is filled with the usual drag pressure of the pressure unit,
// for the operator to see and accept with a second "Next >>".

#include "framework/SetupPageDlg.h"

class CDragPressurePage : public CSetupPageDlg {
public:
    explicit CDragPressurePage(QWidget* parent);
    static const DlgTemplate& Template153();

    bool OnInitDialog() override;
    void OnOK() override;

    const QString& DefaultText() const { return m_strDefault; }

private:
    QString m_strDefault;
};
