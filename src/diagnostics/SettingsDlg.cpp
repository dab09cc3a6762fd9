#include "diagnostics/SettingsDlg.h"

#include "calibration/CalibrationEntry.h"
#include "framework/SettingsStore.h"
#include "platform/MessageBox.h"

#include <QLineEdit>

namespace {
const QString kPressUnitInx = QStringLiteral("Press Unit Inx");
const QString kTempUnitInx = QStringLiteral("Temp Unit Inx");
const QString kDemoMode = QStringLiteral("Demo Mode");
const QString kComPort = QStringLiteral("COM Port");
const QString kTempOffset = QStringLiteral("Temp Offset");

constexpr int kTapTimer = 1;
constexpr int kTapWindowTicks = 30; // of 100 ms: three seconds
constexpr int kOffsetRange = 200;   // an offset lies strictly within +-200
} // namespace

const DlgTemplate& CSettingsDlg::Template145() {
    static const DlgTemplate tmpl{
        IDD_SETTINGS,
        "Settings",
        13,
        20,
        134,
        135,
        {
            {IDC_STATIC, Ctl::Group, "General", 4, 2, 126, 30},
            {IDC_PORT_LABEL, Ctl::Static, "Port", 10, 15, 20, 10, Style::Notify},
            {IDC_PORT_LIST, Ctl::ComboList, "", 30, 12, 44, 100, 0,
             "COM1\nCOM2\nCOM3\nCOM4\nCOM5\nCOM6\nCOM7\nCOM8\nCOM9\nCOM10\nCOM11\nCOM12\nCOM13\nCOM"
             "14\n"
             "COM15\nCOM16\nCOM17\nCOM18\nCOM19\nCOM20"},
            {IDC_DEMO_MODE, Ctl::CheckBox, "", 86, 14, 10, 10},
            {IDC_STATIC, Ctl::Static, "Demo", 97, 15, 28, 10},
            {IDC_STATIC, Ctl::Group, "Pressure Units", 4, 35, 126, 28},
            // Spread so that each label ends well before the next button.
            {IDC_PRESS_PSI, Ctl::Radio, "psi", 7, 47, 25, 10, Style::Group},
            {IDC_PRESS_BAR, Ctl::Radio, "bar", 32, 47, 28, 10},
            {IDC_PRESS_KGCM2, Ctl::Radio, "Kg/cm²", 60, 47, 41, 10},
            {IDC_PRESS_MPA, Ctl::Radio, "MPa", 101, 47, 27, 10},
            {IDC_TEMP_FRAME, Ctl::Group, "Temperature Units", 4, 66, 126, 28},
            {IDC_TEMP_F, Ctl::Radio, "°F", 8, 78, 28, 10, Style::Group},
            {IDC_TEMP_C, Ctl::Radio, "°C", 40, 78, 28, 10},
            {IDC_STATIC, Ctl::Static, "Temperature offset: ", 6, 101, 72, 10},
            {IDC_TEMP_OFFSET, Ctl::Edit, "", 78, 99, 30, 12},
            {1, Ctl::DefButton, "OK", 20, 117, 42, 14},
            {2, Ctl::Button, "Cancel", 72, 117, 42, 14},
        }};
    return tmpl;
}

CSettingsDlg::CSettingsDlg(QWidget* parent) : CSetupPageDlg(Template145(), parent) {}

bool CSettingsDlg::OnInitDialog() {
    m_nTapCount = 0;
    m_nTapTicks = 0;
    m_nPressUnit = ReadSettingInt(kKeySettings, kPressUnitInx, 0);
    m_nTempUnit = ReadSettingInt(kKeySettings, kTempUnitInx, 0);
    m_nDemoMode = ReadSettingInt(kKeySettings, kDemoMode, 0);
    m_nPort = ReadSettingInt(kKeySettings, kComPort, 5);
    m_nTempOffset = ReadTempOffset();

    // A unit index outside its group (a store edited by hand) shows the
    // default unit, which is also what the calculations use for it.
    CheckRadioIndex(IDC_PRESS_PSI, IDC_PRESS_MPA, m_nPressUnit);
    CheckRadioIndex(IDC_TEMP_F, IDC_TEMP_C, m_nTempUnit);
    CheckDlgButton(IDC_DEMO_MODE, m_nDemoMode != 0);
    SetCurSel(IDC_PORT_LIST, m_nPort);
    SetDlgItemInt(IDC_TEMP_OFFSET, m_nTempOffset);

    // A label close to its own button, as on the handheld, leaves the four
    // pressure units room to stand apart on one line.
    for (const int id :
         {IDC_PRESS_PSI, IDC_PRESS_BAR, IDC_PRESS_KGCM2, IDC_PRESS_MPA, IDC_TEMP_F, IDC_TEMP_C})
        GetDlgItem(id)->setStyleSheet(QStringLiteral("spacing: 2px"));

    SetTimer(kTapTimer, 100);
    return true;
}

void CSettingsDlg::OnOK() {
    bool ok = false;
    const int offset = GetDlgItemInt(IDC_TEMP_OFFSET, &ok);
    // An offset out of range is refused like one that is not a number: the
    // operator must not take it for stored when it is not.
    if (!ok || offset <= -kOffsetRange || offset >= kOffsetRange) {
        MessageBox(QStringLiteral("Please enter the temperature offset as a whole number "
                                  "from -199 to 199, for example -5."),
                   QString(), MB_OK | MB_ICONEXCLAMATION);
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_TEMP_OFFSET))) {
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }
    const int press = GetCheckedRadioButton(IDC_PRESS_PSI, IDC_PRESS_MPA);
    const int temp = GetCheckedRadioButton(IDC_TEMP_F, IDC_TEMP_C);
    m_nPressUnit = press ? press - IDC_PRESS_PSI : -1;
    m_nTempUnit = temp ? temp - IDC_TEMP_F : -1;
    m_nDemoMode = IsDlgButtonChecked(IDC_DEMO_MODE) ? 1 : 0;
    m_nPort = GetCurSel(IDC_PORT_LIST);
    m_nTempOffset = offset;

    WriteSettingInt(kKeySettings, kPressUnitInx, m_nPressUnit);
    WriteSettingInt(kKeySettings, kTempUnitInx, m_nTempUnit);
    WriteSettingInt(kKeySettings, kDemoMode, m_nDemoMode);
    WriteSettingInt(kKeySettings, kComPort, m_nPort);
    WriteSettingInt(kKeySettings, kTempOffset, m_nTempOffset);
    EndDialog(IDOK);
}

void CSettingsDlg::OnStaticClicked(int id) {
    if (id != IDC_PORT_LABEL)
        return;
    if (m_nTapCount == 0)
        m_nTapTicks = 0;
    if (m_nTapCount < 3) {
        ++m_nTapCount;
        return;
    }
    m_nTapCount = 0;
    RunCalibrationEntry();
}

void CSettingsDlg::OnTimer(int id) {
    if (id != kTapTimer)
        return;
    if (m_nTapTicks < kTapWindowTicks)
        ++m_nTapTicks;
    else
        m_nTapCount = 0;
}

void CSettingsDlg::RunCalibrationEntry() {
    RunCalibrationEntrySequence(this);
}
