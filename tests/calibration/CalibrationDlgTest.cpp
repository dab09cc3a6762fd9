// The Calibration dialog with the test playing the Vantrek on a
// pseudo-terminal, and end to end against the simulator's calibration
// dialogue.

#include "calibration/CalibrationDlg.h"
#include "calibration/CalibArchive.h"
#include "calibration/CalibReport.h"
#include "calibration/Resource.h"
#include "framework/SettingsStore.h"
#include "link/PtyVantrek.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "support/Simulator.h"
#include "support/TestEnv.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

namespace {
QStringList Archives() {
    return QDir(TestRootFolder() + QStringLiteral("/Calibration"))
        .entryList({QStringLiteral("*.kdc")}, QDir::Files);
}

CCalibRecord OnlyArchive() {
    CCalibRecord r;
    const QStringList names = Archives();
    EXPECT_EQ(names.size(), 1);
    CalibFileError error;
    if (!names.isEmpty()) {
        EXPECT_TRUE(LoadCalibArchive(TestRootFolder() + QStringLiteral("/Calibration/") + names[0],
                                     r, error));
    }
    return r;
}

class CalibrationDlgTest : public ::testing::Test {
protected:
    PtyVantrek vantrek{5};
    ScriptedPrompter prompter;
    std::unique_ptr<CCalibrationDlg> dlg;

    void SetUp() override {
        ASSERT_TRUE(vantrek.Ok());
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        SetFixedLocalTime(QDateTime(QDate(2026, 3, 4), QTime(10, 20, 30)));
    }
    void Open() {
        dlg = std::make_unique<CCalibrationDlg>(nullptr);
        dlg->Create();
        ASSERT_TRUE(dlg->LinkIsOpen());
    }
    // Sends `bytes`, ticks once, and returns what the dialog answered.
    QByteArray Tick(const QByteArray& bytes = QByteArray()) {
        if (!bytes.isEmpty()) {
            EXPECT_TRUE(vantrek.Deliver(bytes));
        }
        dlg->OnTimer(1);
        return vantrek.Written();
    }
    QString View() const { return dlg->GetDlgItemText(IDC_CALIB_LOG); }
};
} // namespace

TEST_F(CalibrationDlgTest, AnswersEachPromptAndArchivesOnce) {
    WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"), QStringLiteral("KVTQ-0007"));
    Open();
    EXPECT_EQ(dlg->TimerInterval(1), 200);
    EXPECT_EQ(Tick("\r\nVantrek"), QByteArray()); // the first tick only asks for the button
    EXPECT_EQ(View(), QStringLiteral("Press the Vantrek button to start calibration."));
    EXPECT_EQ(dlg->TimerInterval(1), 100);
    EXPECT_EQ(dlg->Step(), 2);

    // A carriage return alone adds nothing; a line feed adds CR LF.
    EXPECT_EQ(Tick(), QByteArray());
    EXPECT_EQ(View(), QStringLiteral("---\n"));
    EXPECT_EQ(Tick(" KVTQ\r\n-->>"), QByteArray()); // the line ends the pass
    EXPECT_EQ(Tick(), QByteArray("GO\r"));
    EXPECT_EQ(dlg->Step(), 4);
    // The date request is answered at its 33rd character, without a line end.
    EXPECT_EQ(Tick("\r\nCal Date (yyyymmdd) = 20240115 : "), QByteArray());
    EXPECT_EQ(Tick(), QByteArray("20260304\r"));
    EXPECT_EQ(Tick("Serial Number is 0 : "), QByteArray("7\r"));
    EXPECT_TRUE(Archives().isEmpty());
    // The second prompt ends the calibration: EXIT, and the archive.
    EXPECT_EQ(Tick("\r\n-->>"), QByteArray());
    EXPECT_EQ(Tick(), QByteArray("EXIT\r"));
    EXPECT_TRUE(dlg->ArchiveWritten());
    EXPECT_EQ(OnlyArchive().m_strSessionLog,
              QStringLiteral("---\r\nVantrek KVTQ\r\n-->>\r\nCal Date (yyyymmdd) = 20240115 : "
                             "Serial Number is 0 : \r\n-->>"));
    // A third prompt sends EXIT again, with no second archive; nor does Exit.
    SetFixedLocalTime(QDateTime(QDate(2026, 3, 4), QTime(10, 21, 0)));
    EXPECT_EQ(Tick("-->>"), QByteArray("EXIT\r"));
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDCANCEL);
    EXPECT_EQ(Tick(), QByteArray("EXIT\r"));
    EXPECT_EQ(Archives().size(), 1);
    EXPECT_EQ(dlg->Result(), IDCANCEL);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Are you sure you want to exit?"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Exit Calibration?"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_YESNO);
}

TEST_F(CalibrationDlgTest, PatternsMustMatchWhole) {
    WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"), QStringLiteral("KVTQ-0042"));
    Open();
    Tick();
    // A fourth character '>' that is no prompt hides the other patterns too;
    // near misses of the date and serial requests are not answered.
    EXPECT_EQ(Tick("-->x\r\nabc>Cal Date (yyyymmdd) = 20240115 : \r\n"), QByteArray());
    EXPECT_EQ(Tick(), QByteArray());
    EXPECT_EQ(Tick(), QByteArray());
    EXPECT_EQ(Tick("Cal Date [yyyymmdd] = 20240115 : \r\nSerial Number is 5 : \r\n"), QByteArray());
    EXPECT_EQ(Tick(), QByteArray());
    EXPECT_EQ(Tick(), QByteArray());
    EXPECT_EQ(dlg->Step(), 2);
    EXPECT_EQ(Tick("Serial Number is 0 : "), QByteArray("42\r"));
}

TEST_F(CalibrationDlgTest, AnOverlongLineNeverOverrunsItsBuffer) {
    Open();
    Tick();
    Tick(QByteArray(2998, 'a') + "bcd");
    EXPECT_EQ(dlg->LineLength(), 2999);
    Tick("e\n");
    const QByteArray line = dlg->Line();
    EXPECT_EQ(line.size(), 3001);
    EXPECT_EQ(line.right(4), QByteArray("ab\r\n"));
    EXPECT_EQ(dlg->LineLength(), 0);
    EXPECT_TRUE(dlg->SessionLog().endsWith(QStringLiteral("abcde\r\n")));
}

TEST_F(CalibrationDlgTest, ExitAsksFirstAndArchivesWhatCameEvenWithoutCalibration) {
    Open();
    Tick();
    Tick("noise only");
    prompter.Answer(IDNO);
    dlg->ClickDlgItem(IDCANCEL);
    EXPECT_FALSE(dlg->IsEnded());
    EXPECT_TRUE(Archives().isEmpty());
    EXPECT_EQ(Tick(), QByteArray());
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDCANCEL);
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(OnlyArchive().m_strSessionLog, QStringLiteral("---noise only"));
    EXPECT_EQ(OnlyArchive().m_strVantrekSerial, QStringLiteral("KVTQ-0000"));
}

TEST_F(CalibrationDlgTest, APortThatCannotOpenClosesTheDialogWithTwoMessages) {
    MapComPort(5, TestRootFolder() + QStringLiteral("/no-such-device"));
    CCalibrationDlg failed(nullptr);
    failed.Create();
    EXPECT_TRUE(failed.IsEnded());
    EXPECT_EQ(failed.TimerInterval(1), 0);
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Could not open COM port!"));
    EXPECT_EQ(prompter.Shown()[1].text,
              QStringLiteral("Could not connect to Vantrek®.  Please make sure Bluetooth® is "
                             "turned on."));
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(prompter.Shown()[1].type, MB_OK);
}

TEST(CalibrationEndToEnd, SimulatorsCalibrationIsArchivedWithItsValues) {
    for (const bool asksSerial : {false, true}) {
        SCOPED_TRACE(asksSerial);
        QDir(TestRootFolder() + QStringLiteral("/Calibration")).removeRecursively();
        Simulator sim(asksSerial ? QStringList{QStringLiteral("--serial"), QStringLiteral("0")}
                                 : QStringList{});
        ASSERT_TRUE(sim.Started());
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"),
                         QStringLiteral("KVTQ-0042"));
        WriteSettingText(kKeyCalibration, QStringLiteral("Technician"), QStringLiteral("Kim"));
        CCalibrationDlg dlg(nullptr);
        dlg.Create();
        ASSERT_TRUE(dlg.LinkIsOpen());
        dlg.OnTimer(1);
        ASSERT_TRUE(sim.PressButton());
        ASSERT_TRUE(TickUntil(dlg, [&] { return dlg.ArchiveWritten(); }));

        const CCalibRecord r = OnlyArchive();
        const QString report = BuildCalibReport(r);
        EXPECT_TRUE(report.contains(QStringLiteral("400°F\t401°F\r\n440°F\t438°F\r\n500°F\t501°F"
                                                   "\r\n540°F\t538°F\r\n")));
        EXPECT_TRUE(report.contains(QStringLiteral("50psi\t49.8psi\r\n250psi\t250.6psi\r\n"
                                                   "750psi\t751.1psi\r\n1500psi\t1498.7psi\r\n")));
        EXPECT_TRUE(report.contains(QStringLiteral("CJC_Scale = 1.00213\r\nCJC_Offset = -0.412")));
        EXPECT_TRUE(report.contains(QStringLiteral("Technician: Kim\r\n")));
        EXPECT_EQ(r.m_strVantrekSerial, QStringLiteral("KVTQ-0042"));
        EXPECT_TRUE(r.m_strSessionLog.contains(
            asksSerial ? QStringLiteral("Serial Number set to 42") : QStringLiteral("is 42")));
    }
}
