#pragma once
// The probe Diagnostics dialog, template 170: polls the Vantrek's raw status
// five times a second, shows it, writes new channel offsets, and clears or
// restores the Vantrek's report buffer.

#include "framework/SetupPageDlg.h"

#include <QByteArray>

class CDiagnosticsDlg : public CSetupPageDlg {
public:
    explicit CDiagnosticsDlg(QWidget* parent);
    ~CDiagnosticsDlg() override;

    static const DlgTemplate& Template170();

    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnCommand(int id) override;

    bool LinkIsOpen() const { return m_bLinkOpen; }
    int PressureOffset() const { return m_nPressOffset; }
    int TemperatureOffset() const { return m_nTempOffset; }
    bool ChangeRequested() const { return m_bChange; }

    // Shows one status line.
    void ShowStatus(const QByteArray& line);

private:
    // True when a line feed completed a line, which is then in m_line.
    bool ReceiveLine();
    void OnChangeOffset();
    void OnClear();
    void OnLast();

    static constexpr int kLineBuffer = 3000;
    int m_nPressOffset = 0;
    int m_nTempOffset = 0;
    bool m_bChange = false;
    bool m_bLinkOpen = false;
    bool m_bAnswered = false; // a good reply has come
    char m_szLine[kLineBuffer] = {};
    int m_nLineLen = 0;
    QByteArray m_line; // the line last completed
};
