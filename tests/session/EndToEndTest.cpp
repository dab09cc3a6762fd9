// The Log/Status window against the Vantrek simulator, a process of its own
// on a pseudo-terminal: a joint is uploaded, logged, stopped and downloaded,
// over a clean link and over one that garbles, drops and stalls replies.

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/ReportStorage.h"
#include "session/Resource.h"
#include "setup/JointRecord.h"
#include "support/Simulator.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One joint from "Start" to the downloaded report; the report's path, or an
// empty text when the window did not get that far.
QString RunJoint(ScriptedPrompter& prompter) {
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    WriteSettingText(kKeyLogData, LogData::kJobNumber, QStringLiteral("A-17"));
    WriteSettingText(kKeyLogData, LogData::kEmployeeId, QStringLiteral("Kim"));
    WriteSettingInt(kKeyLogData, LogData::kJointNumber, 4);
    WriteSettingText(kKeyLogData, LogData::kNotes, QStringLiteral("Cold day"));
    SetFixedLocalTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30, 0)));

    CLogStatusDlg dlg(nullptr);
    dlg.Create();
    prompter.Answer(IDOK);
    dlg.ClickDlgItem(IDC_CONNECT);
    EXPECT_EQ(dlg.LinkState(), 1);
    dlg.Records().BuildJointInfoRecord(); // what "Start" leaves behind

    if (!TickUntil(dlg, [&] { return dlg.LinkState() == 2; }))
        return QString();
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATUS_FRAME).left(10), QStringLiteral("Logging..."));
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kParameterEntered, 0), 1);
    // Let it log for a while, then stop.
    if (!TickUntil(dlg, [&] {
            return dlg.GetDlgItemText(IDC_PROGRESS_TEXT).section(QLatin1Char(' '), 0, 0).toInt() >=
                   60;
        }))
        return QString();
    prompter.Answer(IDYES);
    dlg.ClickDlgItem(IDC_SETUP);
    if (!TickUntil(dlg, [&] { return dlg.IsEnded(); }))
        return QString();
    return g_strReportPath;
}
} // namespace

TEST(EndToEnd, JointIsUploadedLoggedStoppedAndDownloaded) {
    Simulator sim({QStringLiteral("--time-scale"), QStringLiteral("50"),
                   QStringLiteral("--block-records"), QStringLiteral("24")});
    ASSERT_TRUE(sim.Started());
    ScriptedPrompter prompter;
    const QString path = RunJoint(prompter);
    EXPECT_EQ(path,
              ReportFolder() +
                  QStringLiteral("/DL Job A-17 Joint 4 by Kim on 2026-12-06 at 09-30-00.kjr"));
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kJointNumber, 0), 5);

    // The file is exactly what the simulator sent, and its header counts
    // every sample in it.
    const QByteArray file = ReadFile(path);
    EXPECT_EQ(file, sim.ReportFromTranscript());
    const qsizetype header = file.indexOf("NR");
    ASSERT_GT(header, 0);
    const qsizetype samples = file.size() - file.indexOf('\0', header) - 1;
    EXPECT_GE(samples, 60 * 4);
    EXPECT_EQ(file.mid(header + 2, 5).toInt() * 4, samples);
    // The record came back as it went: the operator and the notes.
    EXPECT_TRUE(file.contains(QByteArray("\0K\0i\0m", 6)));
    EXPECT_TRUE(file.contains(QByteArray("\0C\0o\0l\0d", 8)));
}

TEST(EndToEnd, ALinkThatGarblesDropsDelaysAndStallsStillGivesTheWholeReport) {
    // Noise before a sixth of the replies; the acknowledgement of the joint
    // information and one data block lost; stray lines before the notes and a
    // data block, whose answers then come late, and one block so late that
    // the watchdog asks again; and a stall in the middle.
    Simulator sim({QStringLiteral("--time-scale"),    QStringLiteral("50"),
                   QStringLiteral("--block-records"), QStringLiteral("16"),
                   QStringLiteral("--noise"),         QStringLiteral("15"),
                   QStringLiteral("--seed"),          QStringLiteral("3"),
                   QStringLiteral("--drop-reply"),    QStringLiteral("Wp02:"),
                   QStringLiteral("--drop-reply"),    QStringLiteral("Wp12-0002"),
                   QStringLiteral("--stray-before"),  QStringLiteral("Wp3R"),
                   QStringLiteral("--stray-before"),  QStringLiteral("Wp12-0001"),
                   QStringLiteral("--hold-reply"),    QStringLiteral("Wp12-0003"),
                   QStringLiteral("--hold"),          QStringLiteral("2.2"),
                   QStringLiteral("--stall-after"),   QStringLiteral("30"),
                   QStringLiteral("--stall"),         QStringLiteral("2")});
    ASSERT_TRUE(sim.Started());
    ScriptedPrompter prompter;
    const QString path = RunJoint(prompter);
    ASSERT_FALSE(path.isEmpty());
    const QByteArray file = ReadFile(path);
    EXPECT_EQ(file, sim.ReportFromTranscript());
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kJointNumber, 0), 5);
    // Every fault did strike.
    const QByteArray transcript = ReadFile(sim.TranscriptPath());
    EXPECT_EQ(transcript.count("! dropped"), 2);
    EXPECT_EQ(transcript.count("! stray"), 2);
    EXPECT_EQ(transcript.count("! held back"), 3);
    EXPECT_TRUE(transcript.contains("! stalled"));
    EXPECT_GE(transcript.count("! noise"), 3);
}
