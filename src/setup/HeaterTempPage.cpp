#include "setup/HeaterTempPage.h"

#include "framework/Globals.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

namespace {
constexpr int kTempLimit = 3;
}

const DlgTemplate& CHeaterTempPage::Template162() {
    static const DlgTemplate tmpl{
        IDD_HEATER_TEMP_PAGE,
        "Heater Temperature",
        kPageX,
        kClosingPageY,
        kPageWidth,
        76,
        {
            {IDC_STATIC, Ctl::Static,
             "Press \"Log\" on the probe to record temperature reading.  Optional external "
             "temperature reading may be entered here:",
             4, 4, 148, 34},
            {IDC_HEATER_TEMP, Ctl::Edit, "", 4, 42, 30, 12, 0, nullptr, kTempLimit},
            {IDC_HEATER_TEMP_UNIT, Ctl::Static, "", 37, 44, 20, 8},
            {2, Ctl::Button, "<< Back", 4, 58, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 58, 50, 14},
        }};
    return tmpl;
}

CHeaterTempPage::CHeaterTempPage(QWidget* parent) : CSetupPageDlg(Template162(), parent) {}

bool CHeaterTempPage::OnInitDialog() {
    SetDlgItemText(IDC_HEATER_TEMP_UNIT, g_strTempUnit);
    return true;
}

void CHeaterTempPage::OnOK() {
    const QString entry = GetDlgItemText(IDC_HEATER_TEMP).trimmed();
    WriteLogText(LogData::kExtHtrTemp, entry.isEmpty()
                                           ? QStringLiteral("---")
                                           : TrimOrDash(entry + QLatin1Char(' ') + g_strTempUnit));
    EndDialog(IDOK);
}
