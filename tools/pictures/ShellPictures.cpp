// The main window, the About box and the Settings dialog.

#include "Pictures.h"

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VtkApp.h"
#include "diagnostics/SettingsDlg.h"
#include "framework/SettingsStore.h"

int WriteShellPictures() {
    int failures = 0;
    int argc = 1;
    char name[] = "vtq-ppc";
    char* argv[] = {name, nullptr};
    CVtkApp app(argc, argv);
    if (!app.InitInstance(CommandLine{}))
        return 1;
    CMainFrame* frame = app.MainFrame();
    failures += !SavePicture(*frame, QStringLiteral("main"));

    CAboutDlg about(frame);
    failures += !SavePicture(about, QStringLiteral("about"));

    CSettingsDlg settings(frame);
    failures += !SavePicture(settings, QStringLiteral("settings"));

    // Every setting away from its default.
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 7);
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 3);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 1);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -12);
    CSettingsDlg changed(frame);
    failures += !SavePicture(changed, QStringLiteral("settings-changed"));
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 0);
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 0);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 0);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);
    return failures;
}
