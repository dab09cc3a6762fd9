// The Log/Status window against the Vantrek simulator, a process of its own
// on a pseudo-terminal: a joint is uploaded, logged, stopped and downloaded,
// over a clean link, over one that garbles, drops and stalls replies, and
// with each fault a link or a Vantrek may have.

#include "SessionFixture.h"

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "link/BlockReply.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/ReportStorage.h"
#include "session/Resource.h"
#include "setup/JointRecord.h"
#include "support/Simulator.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>

namespace {
// The words of a block reply as the report file keeps them.
QByteArray Words(const QByteArray& reply) {
    std::vector<quint16> words;
    BlockWords(reply, words);
    return WordBytes(words);
}

const QString kTitle = QStringLiteral("DL Job A-17 Joint 4 by Kim on 2026-12-06 at 09-30-00");

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

namespace {
struct Fault {
    const char* name;
    QStringList options;
    const char* struck; // what the transcript notes when the fault strikes
    // A cut download: the data blocks that came whole (else it is complete).
    int cutAfterBlocks = -1;
    int attempts = 1;
};

// Named in the test's name and messages.
void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.name;
}

class FaultRun : public ::testing::TestWithParam<Fault> {};
} // namespace

// Each fault, from the upload to the placed report. A report of that name
// (another joint under an old record) and another whole report are on the
// disk and the card before; none of them may change, and what the download
// placed is beside them, byte for byte what the simulator sent.
TEST_P(FaultRun, GivesWhatCameByteForByteAndChangesNoReport) {
    const Fault& fault = GetParam();
    const QString card = TestMediaFolder() + QStringLiteral("/Storage Card/Joint Reports");
    const QString folder = ReportFolder();
    for (const QString& where : {folder, card}) {
        WriteFile(where + QLatin1Char('/') + kTitle + QStringLiteral(".kjr"), "another joint");
        WriteFile(where + QStringLiteral("/DL Job 9 Joint 1 by Lee on 2026-01-02 at 08-00-00.kjr"),
                  "a whole report");
    }
    const auto before = FilesIn(folder);
    const auto cardBefore = FilesIn(card);
    Simulator sim(QStringList{QStringLiteral("--time-scale"), QStringLiteral("50"),
                              QStringLiteral("--block-records"), QStringLiteral("16")} +
                  fault.options);
    ASSERT_TRUE(sim.Started());
    ScriptedPrompter prompter;
    const QString path = RunJoint(prompter);
    ASSERT_FALSE(path.isEmpty());
    const QByteArray transcript = ReadFile(sim.TranscriptPath());
    EXPECT_TRUE(transcript.contains(fault.struck)) << fault.struck;
    // A later attempt went on where the one before stopped.
    EXPECT_EQ(transcript.count("> Wp12-0000\n"), 1);
    EXPECT_EQ(transcript.count("> Wp2R"), fault.attempts);

    for (const auto& [name, bytes] : before)
        EXPECT_EQ(ReadFile(folder + QLatin1Char('/') + name), bytes) << name.toStdString();
    for (const auto& [name, bytes] : cardBefore)
        EXPECT_EQ(ReadFile(card + QLatin1Char('/') + name), bytes) << name.toStdString();
    const bool cut = fault.cutAfterBlocks >= 0;
    const QString name =
        kTitle + (cut ? QStringLiteral(" (incomplete).kjr") : QStringLiteral(" (2).kjr"));
    EXPECT_EQ(path, folder + QLatin1Char('/') + name);
    EXPECT_EQ(FilesIn(folder).size(), before.size() + 1); // nothing else, no ".part"
    const QByteArray placed = ReadFile(path);
    EXPECT_EQ(ReadFile(card + QLatin1Char('/') + name), placed);
    if (!cut) {
        EXPECT_EQ(placed, sim.ReportFromTranscript());
        return;
    }
    // What came: the records, the header counting 16 records a block, and
    // the blocks before the fault.
    QByteArray expected = "VTQPv0.2.5" + Words(sim.ReplyTo("Wp2R")) + Words(sim.ReplyTo("Wp3R")) +
                          Words(sim.ReplyTo("Wp4R"));
    QByteArray header = BlockPayload(sim.ReplyTo("Wp11"));
    const QByteArray announced = header.mid(15);
    header.replace(15, 5, QByteArray::number(16 * fault.cutAfterBlocks).rightJustified(5, '0'));
    expected += header + '\0';
    for (int block = 0; block < fault.cutAfterBlocks; ++block)
        expected += Words(sim.ReplyTo("Wp12-" + QByteArray::number(block).rightJustified(4, '0')));
    EXPECT_EQ(placed, expected);
    bool said = false;
    for (const ShownMessage& m : prompter.Shown())
        said = said || m.text.contains(QStringLiteral("%1 of %2 records")
                                           .arg(16 * fault.cutAfterBlocks)
                                           .arg(announced.toInt()));
    EXPECT_TRUE(said);
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, FaultRun,
    ::testing::Values(
        Fault{"ReplySentTwice",
              {QStringLiteral("--twice"), QStringLiteral("Wp12-0001")},
              "! sent twice"},
        Fault{"RepliesOutOfOrder",
              {QStringLiteral("--swap"), QStringLiteral("Wp12-0002")},
              "! held reply sent"},
        Fault{"OverrunInABlock",
              {QStringLiteral("--overrun"), QStringLiteral("Wp12-0001")},
              "! overrun: 16"},
        Fault{"OverrunInAStatusReply",
              {QStringLiteral("--overrun"), QStringLiteral("Wp01@3")},
              "! overrun: 16"},
        Fault{"VantrekLosesItsReport",
              {QStringLiteral("--lose-report-at"), QStringLiteral("2")},
              "> Wp12-0002\n< Pw12:eom\n> Wp12-0002\n< Pw12:eom",
              2},
        Fault{"VantrekRestartsMidDownload",
              {QStringLiteral("--reset-at-block"), QStringLiteral("2"),
               QStringLiteral("--reset-seconds"), QStringLiteral("5")},
              "! reset",
              -1,
              2},
        Fault{"StrayLineBeforeAnUploadAcknowledgement",
              {QStringLiteral("--stray-before"), QStringLiteral("Wp02:")},
              "! stray"},
        Fault{"UploadRefused", {QStringLiteral("--refuse"), QStringLiteral("Wp02:")}, "! refused"},
        Fault{"LastBlockHoldsMoreThanAnnounced",
              {QStringLiteral("--announce-fewer"), QStringLiteral("5")},
              "< Pw11:"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
