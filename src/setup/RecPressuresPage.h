#pragma once
// Wizard step 6: the recommended gauge pressures, computed and stored when
// the page opens, in large bold figures the operator can read at the machine.

#include "framework/SetupPageDlg.h"

#include <QFont>

class CRecPressuresPage : public CSetupPageDlg {
public:
    explicit CRecPressuresPage(QWidget* parent);
    static const DlgTemplate& Template164();

    bool OnInitDialog() override;

private:
    QFont m_font;
};
