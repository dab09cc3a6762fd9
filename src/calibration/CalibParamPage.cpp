#include "calibration/CalibParamPage.h"

#include "calibration/Resource.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

namespace {
constexpr int kClockTimer = 1;
const QString kSerialName = QStringLiteral("Serial Number");
const QString kSerialPrefix = QStringLiteral("KVTQ-");

// The free-text values in the order Save writes them, with their edits.
struct FreeText {
    const char* name;
    int id;
};
constexpr FreeText kFreeTexts[11] = {
    {"Technician", IDC_TECHNICIAN},
    {"Company", IDC_COMPANY},
    {"Pyrometer Model", IDC_PYRO_MODEL},
    {"Pyrometer Serial", IDC_PYRO_SERIAL},
    {"Pyrometer Cert", IDC_PYRO_CERT},
    {"Pyrometer Expiration", IDC_PYRO_EXPIRE},
    {"Press Calib Model", IDC_PRESS_CAL_MODEL},
    {"Press Calib Serial", IDC_PRESS_CAL_SERIAL},
    {"Press Calib Cert", IDC_PRESS_CAL_CERT},
    {"Press Calib Expire", IDC_PRESS_CAL_EXPIRE},
    {"Xdcr Serial Number", IDC_XDCR_SERIAL},
};
} // namespace

const DlgTemplate& CCalibParamPage::Template180() {
    static const DlgTemplate tmpl{
        IDD_CALIB_PARAMS,
        "",
        0,
        0,
        129,
        572,
        {
            {IDC_STATIC, Ctl::Static, "Calibration Technician's Name:", 4, 3, 121, 9},
            {IDC_TECHNICIAN, Ctl::Edit, "", 4, 12, 121, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "Calibration Company:", 4, 28, 121, 9},
            {IDC_COMPANY, Ctl::Edit, "", 4, 37, 121, 12, 0, nullptr, 100},
            {IDC_DATE_TIME, Ctl::Static, "Check date and time:\nyyyy-mm-dd   hh:mm:ss", 4, 53, 121,
             30},
            {IDC_HINT, Ctl::Static,
             "If date and time incorrect,\ntap Start > Settings > System > Clocks & Alarm\n\n"
             "Once set, tap Start > Kelvorn VTQ-PPC",
             4, 85, 121, 50},
            {IDC_STATIC, Ctl::Group, "Temperature Calibrator", 2, 138, 125, 74},
            {IDC_STATIC, Ctl::Static, "Model:", 6, 152, 27, 9},
            {IDC_PYRO_MODEL, Ctl::Edit, "", 34, 150, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "S/N:", 6, 167, 27, 9},
            {IDC_PYRO_SERIAL, Ctl::Edit, "", 34, 165, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "Cert.:", 6, 182, 27, 9},
            {IDC_PYRO_CERT, Ctl::Edit, "", 34, 180, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "Expire:", 6, 197, 27, 9},
            {IDC_PYRO_EXPIRE, Ctl::Edit, "", 34, 195, 89, 12},
            {IDC_STATIC, Ctl::Group, "Pressure Calibrator", 2, 216, 125, 74},
            {IDC_STATIC, Ctl::Static, "Model:", 6, 230, 27, 9},
            {IDC_PRESS_CAL_MODEL, Ctl::Edit, "", 34, 228, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "S/N:", 6, 245, 27, 9},
            {IDC_PRESS_CAL_SERIAL, Ctl::Edit, "", 34, 243, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "Cert.:", 6, 260, 27, 9},
            {IDC_PRESS_CAL_CERT, Ctl::Edit, "", 34, 258, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Static, "Expire:", 6, 275, 27, 9},
            {IDC_PRESS_CAL_EXPIRE, Ctl::Edit, "", 34, 273, 89, 12, 0, nullptr, 100},
            {IDC_STATIC, Ctl::Group, "Pressure Xdcr Serial Number", 2, 294, 125, 46},
            {IDC_STATIC, Ctl::Static, "(For Kelvorn production use. Optional for others.)", 6, 305,
             117, 17},
            {IDC_XDCR_SERIAL, Ctl::Edit, "", 6, 323, 117, 12},
            {IDC_STATIC, Ctl::Static,
             "Tap Save to save data entered without calibration.\n\nTap Cancel to exit without "
             "saving.",
             4, 345, 121, 38},
            {IDC_STATIC, Ctl::Group, "", 2, 386, 125, 154},
            {IDC_STATIC, Ctl::Static,
             "To begin calibration, make sure Vantrek is turned on and the blue LED is "
             "flashing.\n\nDisconnect the pressure transducer and install the calibration plug.  "
             "Wait for the red LED to come on then replace the plug with the pressure transducer.",
             6, 394, 117, 94},
            {IDC_STATIC, Ctl::Static, "Check Vantrek serial number:", 6, 490, 117, 9},
            {IDC_STATIC, Ctl::Static, "s/n: KVTQ-", 6, 503, 42, 9},
            {IDC_SERIAL_DIGITS, Ctl::Edit, "", 48, 501, 30, 12, Style::Number, nullptr, 4},
            {IDC_STATIC, Ctl::Static, "Tap OK and follow the onscreen instructions.", 6, 518, 117,
             18},
            {IDOK, Ctl::Button, "OK", 4, 552, 38, 14},
            {IDC_SAVE, Ctl::Button, "Save", 46, 552, 38, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 88, 552, 38, 14},
        }};
    return tmpl;
}

CCalibParamPage::CCalibParamPage(QWidget* parent) : CContainerPage(Template180(), parent) {}

bool CCalibParamPage::OnInitDialog() {
    m_boldFont = QFont(QStringLiteral("Tahoma"));
    m_boldFont.setPixelSize(14);
    m_boldFont.setWeight(QFont::Bold);
    m_boldFont.setStyleHint(QFont::SansSerif);
    SetDlgItemFont(IDC_DATE_TIME, m_boldFont);

    for (int n = 0; n < 11; ++n) {
        m_strValues[n] =
            ReadSettingText(kKeyCalibration, QString::fromLatin1(kFreeTexts[n].name), QString());
        SetDlgItemText(kFreeTexts[n].id, m_strValues[n]);
    }
    m_strSerialDigits =
        ReadSettingText(kKeyCalibration, kSerialName, QStringLiteral("KVTQ-0000")).right(4);
    SetDlgItemText(IDC_SERIAL_DIGITS, m_strSerialDigits);
    SetTimer(kClockTimer, 300);
    return true;
}

QString CCalibParamPage::DateTimeLabel(const QDateTime& now) {
    const QDate d = now.date();
    int hour = now.time().hour();
    const bool pm = hour >= 12;
    if (hour > 12)
        hour -= 12;
    return QString::asprintf("Check date and time: %04d/%02d/%02d  %02d:%02d:%02d", d.year(),
                             d.month(), d.day(), hour, now.time().minute(), now.time().second()) +
           (pm ? QStringLiteral(" PM") : QStringLiteral(" AM"));
}

void CCalibParamPage::OnTimer(int id) {
    if (id == kClockTimer)
        SetDlgItemText(IDC_DATE_TIME, DateTimeLabel(CurrentLocalTime()));
}

bool CCalibParamPage::TakeValues() {
    for (int n = 0; n < 11; ++n)
        m_strValues[n] = GetDlgItemText(kFreeTexts[n].id);
    m_strSerialDigits = GetDlgItemText(IDC_SERIAL_DIGITS);
    return true;
}

bool CCalibParamPage::Save() {
    if (!TakeValues())
        return false;
    for (int n = 0; n < 11; ++n)
        WriteSettingText(kKeyCalibration, QString::fromLatin1(kFreeTexts[n].name), m_strValues[n]);
    bool digits = m_strSerialDigits.size() >= 4;
    for (int n = 0; digits && n < 4; ++n)
        digits =
            m_strSerialDigits[n] >= QLatin1Char('0') && m_strSerialDigits[n] <= QLatin1Char('9');
    if (!digits) {
        MessageBox(QStringLiteral("KVTQ serial number must be 4 digits!"),
                   QStringLiteral("Invalid Serial Number"), MB_OK | MB_ICONERROR);
        return false;
    }
    WriteSettingText(kKeyCalibration, kSerialName, kSerialPrefix + m_strSerialDigits.left(4));
    return true;
}

void CCalibParamPage::OnCommand(int id) {
    if (id == IDC_SAVE) {
        if (Save())
            MessageBox(QStringLiteral("Parameters saved."));
        return;
    }
    CContainerPage::OnCommand(id);
}

void CCalibParamPage::OnOK() {
    if (Save())
        PostToContainer(WM_PAGE_ACCEPTED);
}

void CCalibParamPage::OnCancel() {
    PostToContainer(WM_PAGE_CANCELLED);
}
