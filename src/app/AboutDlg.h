#pragma once
// The About box, template 100.

#include "framework/Dialog.h"

constexpr int IDC_ABOUT_TEXT = 1087;

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(QWidget* parent);
    bool OnInitDialog() override;

    static const DlgTemplate& Template100();
    // Name, protocol version and maker's notice, one per line.
    static QString AboutText();
};
