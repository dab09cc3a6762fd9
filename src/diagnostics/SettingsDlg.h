#pragma once
// The Settings dialog, template 145: serial port, demo mode, units and
// temperature offset, stored under "Settings". Four taps on its "Port" label
// within three seconds start the calibration entry sequence.

#include "diagnostics/Resource.h"
#include "framework/SetupPageDlg.h"

class CSettingsDlg : public CSetupPageDlg {
public:
    explicit CSettingsDlg(QWidget* parent);

    static const DlgTemplate& Template145();

    bool OnInitDialog() override;
    void OnOK() override;
    void OnStaticClicked(int id) override;
    void OnTimer(int id) override;

    int TapCount() const { return m_nTapCount; }
    int TapTicks() const { return m_nTapTicks; }

protected:
    // The fourth tap's action; a separate step so that it can be watched.
    virtual void RunCalibrationEntry();

private:
    int m_nTempUnit = -1;
    int m_nPressUnit = -1;
    int m_nDemoMode = 0;
    int m_nPort = -1;
    int m_nTempOffset = 0;
    int m_nTapCount = 0;
    int m_nTapTicks = 0;
};
