// Renders the shell's windows to PNG files for a person to look at:
//   VTQ_RENDER_DIR=/tmp/shots test_app --gtest_also_run_disabled_tests --gtest_filter='*Render*'
#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VtkApp.h"
#include "diagnostics/SettingsDlg.h"
#include "framework/Fonts.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

TEST(ShellRender, DISABLED_WritesPictures) {
    const QString dir = qEnvironmentVariable("VTQ_RENDER_DIR", QStringLiteral("/tmp"));
    QDir().mkpath(dir);
    int argc = 1;
    char name[] = "vtq-ppc";
    char* argv[] = {name, nullptr};
    CVtkApp app(argc, argv);
    ASSERT_TRUE(app.InitInstance(CommandLine{}));
    CMainFrame* frame = app.MainFrame();
    QApplication::processEvents();
    EXPECT_TRUE(frame->grab().save(dir + QStringLiteral("/main.png")));

    CSettingsDlg settings(frame);
    settings.Create();
    settings.show();
    QApplication::processEvents();
    EXPECT_TRUE(settings.grab().save(dir + QStringLiteral("/settings.png")));

    CAboutDlg about(frame);
    about.Create();
    about.show();
    QApplication::processEvents();
    EXPECT_TRUE(about.grab().save(dir + QStringLiteral("/about.png")));
}
