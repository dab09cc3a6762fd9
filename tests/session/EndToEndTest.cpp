// The Log/Status window against the Vantrek simulator, a process of its own
// on a pseudo-terminal: a joint is uploaded, logged, stopped and downloaded.

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "link/BlockReply.h"
#include "link/PtyVantrek.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/ReportStorage.h"
#include "session/Resource.h"
#include "setup/JointRecord.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <thread>

namespace {
QString SimulatorPath() {
    return QCoreApplication::applicationDirPath() +
           QStringLiteral("/../tools/vantrek-sim/vantrek-sim");
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST(EndToEnd, JointIsUploadedLoggedStoppedAndDownloaded) {
    const QString link = TestRootFolder() + QStringLiteral("/vantrek");
    const QString transcript = TestRootFolder() + QStringLiteral("/transcript");
    QProcess sim;
    sim.start(SimulatorPath(), {QStringLiteral("--link"), link, QStringLiteral("--transcript"),
                                transcript, QStringLiteral("--time-scale"), QStringLiteral("50"),
                                QStringLiteral("--block-records"), QStringLiteral("24")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    MapComPort(5, link);
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    WriteSettingText(kKeyLogData, LogData::kJobNumber, QStringLiteral("A-17"));
    WriteSettingText(kKeyLogData, LogData::kEmployeeId, QStringLiteral("Kim"));
    WriteSettingInt(kKeyLogData, LogData::kJointNumber, 4);
    WriteSettingText(kKeyLogData, LogData::kNotes, QStringLiteral("Cold day"));
    SetFixedLocalTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30, 0)));

    ScriptedPrompter prompter;
    auto dlg = std::make_unique<CLogStatusDlg>(nullptr);
    dlg->Create();
    prompter.Answer(IDOK);
    dlg->ClickDlgItem(IDC_CONNECT);
    ASSERT_EQ(dlg->LinkState(), 1);
    dlg->Records().BuildJointInfoRecord(); // what "Start" leaves behind

    // Ticks as the timer would give them, with a moment between them for the
    // simulator to answer; bounded so a broken link cannot hang the test.
    auto tickUntil = [&](auto done) {
        for (int i = 0; i < 1500 && !done(); ++i) {
            dlg->OnTimer(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    };
    ASSERT_TRUE(tickUntil([&] { return dlg->LinkState() == 2; }));
    EXPECT_EQ(dlg->GetDlgItemText(IDC_STATUS_FRAME).left(10), QStringLiteral("Logging..."));
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kParameterEntered, 0), 1);
    // Let it log for a while, then stop.
    ASSERT_TRUE(tickUntil([&] {
        return dlg->GetDlgItemText(IDC_PROGRESS_TEXT).section(QLatin1Char(' '), 0, 0).toInt() >= 60;
    }));
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDC_SETUP);
    ASSERT_TRUE(tickUntil([&] { return dlg->IsEnded(); }));
    const QString path = g_strReportPath;
    EXPECT_EQ(path,
              ReportFolder() +
                  QStringLiteral("/DL Job A-17 Joint 4 by Kim on 2026-12-06 at 09-30-00.kjr"));
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kJointNumber, 0), 5);
    dlg.reset();
    sim.terminate();
    sim.waitForFinished(5000);

    // The samples in the file are exactly those the simulator sent.
    QByteArray samples;
    for (const QByteArray& line : ReadFile(transcript).split('\n')) {
        if (!line.startsWith("< Pw12:"))
            continue;
        std::vector<quint16> words;
        ASSERT_TRUE(BlockWords(line.mid(2), words));
        samples += WordBytes(words);
    }
    const QByteArray file = ReadFile(path);
    ASSERT_GE(samples.size(), 60 * 4);
    EXPECT_TRUE(file.endsWith(samples));
    const qsizetype header = file.indexOf("NR");
    ASSERT_GT(header, 0);
    EXPECT_EQ(file.mid(header + 2).left(file.indexOf('\0', header) - header - 2).toInt() * 4,
              samples.size());
    // The record came back as it went: the operator and the notes.
    EXPECT_TRUE(file.contains(QByteArray("\0K\0i\0m", 6)));
    EXPECT_TRUE(file.contains(QByteArray("\0C\0o\0l\0d", 8)));
}
