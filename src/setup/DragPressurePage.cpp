#include "setup/DragPressurePage.h"

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"
#include "setup/Units.h"

namespace {
constexpr int kDragLimit = 6;
}

const DlgTemplate& CDragPressurePage::Template153() {
    static const DlgTemplate tmpl{
        IDD_DRAG_PRESSURE_PAGE,
        "Drag Pressure",
        kPageX,
        kClosingPageY,
        kPageWidth,
        84,
        {
            {IDC_STATIC, Ctl::Static,
             "Follow proper procedure to measure drag pressure and enter it below.\n(Press "
             "\"Next\" without entering a value to accept default drag pressure.)",
             4, 4, 148, 42},
            {IDC_DRAG_PRESSURE, Ctl::Edit, "", 4, 50, 50, 12, 0, nullptr, kDragLimit},
            {2, Ctl::Button, "<< Back", 4, 66, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 66, 50, 14},
        }};
    return tmpl;
}

CDragPressurePage::CDragPressurePage(QWidget* parent) : CSetupPageDlg(Template153(), parent) {}

bool CDragPressurePage::OnInitDialog() {
    const PressUnitInfo& unit = PressUnit(ReadSettingInt(kKeySettings, kPressUnitInx, 0));
    m_strDefault = QString::fromUtf16(unit.defaultDrag);
    setWindowTitle(LoadString(IDS_DRAG_PRESSURE_DEFAULT) + m_strDefault + QLatin1Char(' ') +
                   QString::fromUtf16(unit.text) + QLatin1Char(')'));
    return true;
}

void CDragPressurePage::OnOK() {
    const QString text = GetDlgItemText(IDC_DRAG_PRESSURE);
    // Blanks alone are no drag pressure either: offer the default.
    if (text.trimmed().isEmpty()) {
        SetDlgItemText(IDC_DRAG_PRESSURE, m_strDefault);
        return;
    }
    WriteLogText(LogData::kDragPressure, text + QLatin1Char(' ') + g_strPressUnit);
    EndDialog(IDOK);
}
