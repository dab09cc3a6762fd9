#pragma once

#include "framework/Dialog.h"

// The common base of the program's windows: a dialog that keeps the size and
// position of its template.
class CSetupPageDlg : public CDialog {
public:
    CSetupPageDlg(const DlgTemplate& tmpl, QWidget* parent) : CDialog(tmpl, parent) {
        m_bFullScreen = false;
    }
};
