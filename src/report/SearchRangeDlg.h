#pragma once
// "Front-end Search Range": how much of the log, in percent, the front-end
// search looks at.

#include "framework/SetupPageDlg.h"

class CSearchRangeDlg : public CSetupPageDlg {
public:
    explicit CSearchRangeDlg(QWidget* parent);
    static const DlgTemplate& Template175();

    bool OnInitDialog() override;
    void OnOK() override;

    // The chosen range: 5, 10, ... 100, or 0 with nothing chosen.
    int m_nPercent = 0;
};
