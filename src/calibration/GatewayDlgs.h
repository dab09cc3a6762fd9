#pragma once
// The gateway of the calibration mode, template 177, and the access code
// dialog, template 179.

#include "framework/SetupPageDlg.h"

class CCheckVantrekDlg : public CSetupPageDlg {
public:
    explicit CCheckVantrekDlg(QWidget* parent);

    static const DlgTemplate& Template177();

    // 0 after "Exit", 1 after "Connect", 2 after a tap on the hidden strip.
    int Choice() const { return m_nChoice; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    int m_nChoice = 0;
};

class CAccessCodeDlg : public CSetupPageDlg {
public:
    explicit CAccessCodeDlg(QWidget* parent);

    static const DlgTemplate& Template179();

    // What was typed, if the dialog was left with OK; empty otherwise.
    QString Code() const { return m_strCode; }

    void OnOK() override;

private:
    QString m_strCode;
};
