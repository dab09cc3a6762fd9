// Renders the Log/Status window for a person to look at:
//   VTQ_RENDER_DIR=/tmp/shots test_session --gtest_also_run_disabled_tests
//   --gtest_filter='*Render*'
#include "SessionFixture.h"

#include "framework/Fonts.h"
#include "setup/JointRecord.h"

#include <QApplication>
#include <QDir>

TEST_F(SessionTest, DISABLED_RenderWritesPictures) {
    const QString dir = qEnvironmentVariable("VTQ_RENDER_DIR", QStringLiteral("/tmp"));
    QDir().mkpath(dir);
    LoadProgramFonts();
    Open();
    auto shot = [&](const char* name) {
        dlg->show();
        QApplication::processEvents();
        EXPECT_TRUE(dlg->grab().save(dir + QLatin1Char('/') + QLatin1String(name)));
    };
    shot("logstatus-ready.png");
    ConnectNow();
    Tick();
    Command();
    Exchange(Status().Line());
    shot("logstatus-connected.png");
    WriteSettingText(kKeyLogData, LogData::kPistonArea, QStringLiteral("3.14"));
    WriteSettingText(kKeyLogData, LogData::kPipeAreaInch, QStringLiteral("19.314511"));
    for (const QString* n : {&LogData::kHeatIfp, &LogData::kFuseIfp, &LogData::kCoolIfp})
        WriteSettingText(kKeyLogData, *n, QStringLiteral("75"));
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    Status s;
    s.state = '1';
    s.battery = 20;
    Exchange(s.Line());
    shot("logstatus-logging.png");
}
