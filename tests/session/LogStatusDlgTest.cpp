#include "SessionFixture.h"

#include "framework/Globals.h"
#include "platform/Power.h"
#include "setup/JointRecord.h"
#include "setup/Units.h"

TEST_F(SessionTest, OpensReadyAndConnectsOnRequest) {
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready"));
    EXPECT_EQ(Text(IDC_SETUP), QStringLiteral("Setup..."));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT),
              QStringLiteral("Turn on Vantrek®\nand connect to\ncheck status."));
    EXPECT_FALSE(dlg->IsDlgItemVisible(IDC_STOPWATCH_FRAME));
    EXPECT_FALSE(dlg->IsDlgItemVisible(IDC_REC_FRAME));
    EXPECT_FALSE(dlg->IsDlgItemVisible(IDC_BATTERY_SYMBOL));
    EXPECT_FALSE(dlg->IsDlgItemVisible(IDC_DEMO_BANNER));
    EXPECT_EQ(Text(IDC_PRESS_FRAME), QStringLiteral("psi"));
    EXPECT_EQ(dlg->TimerInterval(1), 100);
    EXPECT_EQ(dlg->LinkState(), 0);
    EXPECT_EQ(dlg->size(), QSize(201, 228));

    // Not connected: ticks do nothing but count nothing.
    Tick(3);
    EXPECT_EQ(dlg->IdleTicks(), 0);
    EXPECT_EQ(dlg->TimerInterval(1), 300);

    // Connect asks first; Cancel leaves it.
    prompter.Answer(IDCANCEL);
    dlg->ClickDlgItem(IDC_CONNECT);
    EXPECT_EQ(dlg->LinkState(), 0);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Check Vantrek®"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_OKCANCEL | MB_ICONINFORMATION);
    ConnectNow();
    EXPECT_EQ(Text(IDC_CONNECT), QStringLiteral("Disconn."));
    dlg->ClickDlgItem(IDC_CONNECT);
    EXPECT_EQ(dlg->LinkState(), 0);
    EXPECT_EQ(Text(IDC_CONNECT), QStringLiteral("Connect"));
}

TEST_F(SessionTest, PollsAndShowsTheStatus) {
    SetFakePowerStatus(PowerStatus{57, true, true});
    ConnectNow();
    Tick();
    EXPECT_EQ(Command(), QByteArray("Wp01L0s0D0p0\r\n"));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Log/Status  [bat: 57%] (chrg.)"));

    Status s;
    EXPECT_EQ(Exchange(s.Line()), QByteArray("Wp01L0s0D0p0\r\n"));
    EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral("189"));
    EXPECT_EQ(Text(IDC_TEMP_VALUE), QStringLiteral("430"));
    EXPECT_EQ(Text(IDC_STOPWATCH), QStringLiteral("0:00:05"));
    EXPECT_EQ(Text(IDC_VERSION_TEXT), QStringLiteral("KVTQ v2.1.4 c2024/01/15"));
    EXPECT_EQ(dlg->VantrekId(), QByteArray("KVTQ21420240115"));
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready"));
    EXPECT_EQ(dlg->IdleTicks(), 0);

    // Without the identity the texts are emptied.
    s.ident = false;
    Exchange(s.Line());
    EXPECT_EQ(Text(IDC_VERSION_TEXT), QString());
    EXPECT_EQ(dlg->VantrekId(), QByteArray());

    SetFakePowerStatus(std::optional<PowerStatus>());
    Tick();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Log/Status  [bat: - ]"));
}

TEST_F(SessionTest, TemperatureTexts) {
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 1);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -3);
    Open(); // units are loaded when the window is made
    ConnectNow();
    Tick();
    Command();
    struct Case {
        int temp;
        char flag;
        int demo;
        const char* shown;
    };
    for (const Case& c :
         {Case{212, '1', 0, "97"}, Case{777, '1', 0, "ERR"}, Case{0, '1', 0, "-0-"},
          Case{212, '0', 1, "---"}, Case{212, '1', 1, "230"}, Case{20, '1', 0, "-9"}}) {
        WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), c.demo);
        Status s;
        s.temp = c.temp;
        s.flag = c.flag;
        Exchange(s.Line());
        EXPECT_EQ(Text(IDC_TEMP_VALUE), QString::fromLatin1(c.shown)) << c.temp << c.flag;
        EXPECT_EQ(Text(IDC_TEMP_FRAME), QStringLiteral("°C"));
    }
    EXPECT_EQ(Text(IDC_TEMP_OFFSET_TEXT), QStringLiteral("Temp Offset: -3°C"));
    // Demonstration mode shows its banner from the next tick on.
    EXPECT_FALSE(dlg->IsDlgItemVisible(IDC_DEMO_BANNER));
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    Tick();
    EXPECT_TRUE(dlg->IsDlgItemVisible(IDC_DEMO_BANNER));

    // On the Heater Temperature page the caption alternates with the logged
    // temperature.
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 0);
    dlg->m_nPage = 7;
    Status s;
    s.temp = 392;
    Exchange(s.Line());
    EXPECT_EQ(Text(IDC_TEMP_FRAME), QStringLiteral("* Log 197 °C"));
    EXPECT_EQ(dlg->LoggedTemp(), QStringLiteral("197 °C"));
    Exchange(s.Line());
    EXPECT_EQ(Text(IDC_TEMP_FRAME), QStringLiteral("°C"));
    dlg->m_nPage = 6;
    Exchange(s.Line());
    EXPECT_EQ(dlg->LoggedTemp(), QString());

    // An offset no Settings dialog could store, at the integer limits, and a
    // demonstration pressure index there too: the offset reads as none.
    for (const int extreme : {INT_MAX, INT_MIN}) {
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), extreme);
        WriteSettingInt(kKeySettings, QStringLiteral("Demo PSI Inx"), extreme);
        dlg->OnResetButton();
        Exchange(s.Line());
        EXPECT_EQ(Text(IDC_TEMP_VALUE), QStringLiteral("200"));
        EXPECT_EQ(TempOffsetText(), QString());
    }
}

TEST_F(SessionTest, BatteryWarningBlinksOnlyAtTwenty) {
    ConnectNow();
    Tick();
    Command();
    Status s;
    s.battery = 20;
    QStringList captions;
    for (int i = 0; i < 4; ++i) {
        Exchange(s.Line());
        captions << Text(IDC_PRESS_FRAME) + (dlg->IsDlgItemVisible(IDC_BATTERY_SYMBOL) ? "+" : "");
    }
    EXPECT_EQ(captions, (QStringList{"psi [BAT!]+", "psi", "psi [BAT!]+", "psi"}));
    for (int level : {19, 21}) {
        s.battery = level;
        Exchange(s.Line());
        Exchange(s.Line());
        EXPECT_EQ(Text(IDC_PRESS_FRAME), QStringLiteral("psi")) << level;
    }
}

TEST_F(SessionTest, SilentLinkIsResetAndReopened) {
    ConnectNow();
    Tick();
    Command();
    Exchange(Status().Line());
    // Five silent ticks: still waiting; the sixth restarts polling.
    Tick(5);
    EXPECT_EQ(dlg->Step(), 1);
    Tick();
    EXPECT_EQ(dlg->Step(), 0);
    EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral("---"));
    EXPECT_EQ(Text(IDC_TEMP_VALUE), QStringLiteral("---"));
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready (bt:6)"));
    // From then on every tick polls.
    Tick();
    EXPECT_EQ(Command(), QByteArray("Wp01L0s0D0p0\r\n"));
    while (dlg->IdleTicks() < 30)
        Tick();
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QString());
    Tick();
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Reconnect in 4 seconds..."));
    Tick(13);
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Reconnect in 0 seconds..."));
    Tick();
    EXPECT_EQ(dlg->IdleTicks(), 0); // reconnected
    EXPECT_EQ(dlg->LinkState(), 1);
    // One reply sets everything back.
    Tick();
    Command();
    Exchange(Status().Line());
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready"));
}

TEST_F(SessionTest, RepliesAfterASilenceBringLiveValuesBackAtOnce) {
    ConnectNow();
    Tick();
    Command();
    Tick(8); // the Vantrek is silent; from the sixth tick on every tick polls
    Status s;
    s.psi = 321;
    int ticks = 0;
    while (Text(IDC_PRESS_VALUE) != QStringLiteral("321") && ticks < 5) {
        // The Vantrek is back and answers every poll.
        for (qsizetype i = Pending().count("Wp01"); i > 0; --i)
            Reply(s.Line());
        Tick();
        ++ticks;
    }
    EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral("321"));
    EXPECT_LE(ticks, 3);
    EXPECT_EQ(dlg->IdleTicks(), 0);
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready"));
}

TEST_F(SessionTest, UnexpectedLineRestartsAndFlushes) {
    ConnectNow();
    Tick();
    Command();
    Reply("garbage");
    Tick();
    EXPECT_EQ(dlg->Step(), 0);
    EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral("---"));
    Tick();
    EXPECT_EQ(Command(), QByteArray("Wp01L0s0D0p0\r\n"));
}

TEST_F(SessionTest, LoggingDisplayStopAndStopwatchReset) {
    WriteSettingText(kKeyLogData, LogData::kPistonArea, QStringLiteral("3.14"));
    WriteSettingText(kKeyLogData, LogData::kPipeAreaInch, QStringLiteral("19.314511"));
    WriteSettingText(kKeyLogData, LogData::kHeatIfp, QStringLiteral("75"));
    ConnectNow();
    Tick();
    Command();
    Status s;
    s.state = '1';
    Exchange(s.Line());
    EXPECT_EQ(dlg->LinkState(), 2);
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Logging..."));
    EXPECT_EQ(Text(IDC_SETUP), QStringLiteral("Stop"));
    EXPECT_TRUE(dlg->IsDlgItemVisible(IDC_REC_FRAME));
    EXPECT_TRUE(dlg->IsDlgItemVisible(IDC_STOPWATCH_RESET));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("12 data points\n\nElapsed 0:01:02"));
    EXPECT_EQ(Text(IDC_REC_VALUES).split(QLatin1Char('\n')).size(), 4);
    // Logging began: the demonstration pressures are those recommended.
    const QString bead = Text(IDC_REC_VALUES).section(QLatin1Char('\n'), 0, 0);
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Demo PSI 1"), -1), bead.toInt());
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Demo PSI 2"), -1), 0); // "-----"
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Demo PSI Inx"), 0), 1);
    EXPECT_EQ(ReadSettingText(kKeyLogData, LogData::kRecHeat, QString()), bead);

    // Reset moves the demonstration pressure on to the next phase.
    dlg->ClickDlgItem(IDC_STOPWATCH_RESET);
    EXPECT_EQ(Exchange(s.Line()), QByteArray("Wp01L0s1D0p0\r\n"));
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Demo PSI Inx"), 0), 2);

    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDC_SETUP);
    EXPECT_EQ(prompter.Shown().back().caption, QStringLiteral("Stop Logging?"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Logging stopped."));
    EXPECT_FALSE(dlg->IsDlgItemEnabled(IDC_SETUP));
    // The stop request goes out once.
    EXPECT_EQ(Exchange(s.Line()), QByteArray("Wp01L2s0D0p0\r\n"));
    s.state = '0';
    EXPECT_EQ(Exchange(s.Line()), QByteArray("Wp01L0s0D0p0\r\n"));
    EXPECT_EQ(Text(IDC_STATUS_FRAME), QStringLiteral("Ready"));
}
