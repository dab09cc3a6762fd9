// What a download may never do, whatever the link or the Vantrek does: call
// a wrong report complete, put one that did not come whole under a report's
// name, or change a whole report or its backup on the disk. Each test drives
// the Log/Status window as the operator does, the test playing the Vantrek.

#include "SessionFixture.h"

#include "framework/Globals.h"
#include "platform/Clock.h"
#include "setup/JointRecord.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <deque>
#include <sys/resource.h>

namespace {
const QString kCardFolder = QStringLiteral("/Storage Card/Joint Reports");

QString CutPath(const QString& suffix = QString()) {
    return ReportPath().chopped(4) + QStringLiteral(" (incomplete)") + suffix +
           QStringLiteral(".kjr");
}

class IntegrityTest : public DownloadTest {
protected:
    void SetUp() override {
        QDir().mkpath(Card());
        DownloadTest::SetUp();
    }
    QString Card() const { return TestMediaFolder() + kCardFolder; }
    // The report whole in the report folder and on the card, as a first
    // download left it.
    void SaveWholeReport() {
        WriteFile(ReportPath(), CleanReport());
        WriteFile(Card() + QLatin1Char('/') + QFileInfo(ReportPath()).fileName(), CleanReport());
    }
    // The last message box's text.
    QString Said() const {
        return prompter.Shown().empty() ? QString() : prompter.Shown().back().text;
    }
};
} // namespace

TEST_F(IntegrityTest, AReplyThatComesTwiceIsNeverTakenForTheNextBlock) {
    DownloadToBlocks();
    EXPECT_EQ(Exchange(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    EXPECT_EQ(Exchange(kBlocks[1]), QByteArray("Wp12-0002\r\n"));
    // Block 1 again, asked for once, then an older one out of its turn: the
    // count would be met, but neither answers "Wp12-0002".
    EXPECT_EQ(Answer(kBlocks[1]), QByteArray());
    EXPECT_EQ(Answer(kBlocks[0]), QByteArray());
    EXPECT_FALSE(dlg->IsEnded());
    Reply(kBlocks[2]);
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
}

TEST_F(IntegrityTest, AVantrekThatLosesItsReportCutsTheDownloadAndReplacesNothing) {
    // "Last..." brought back a report saved whole before; the Vantrek loses
    // it after the first block.
    SaveWholeReport();
    const auto before = FilesIn(ReportFolder());
    const auto card = FilesIn(Card());
    DownloadToBlocks();
    EXPECT_EQ(Exchange(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    // An empty block before the count is asked for once more.
    EXPECT_EQ(Answer(Block("Pw12:", "")), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp12-0001\r\n"));
    Reply(Block("Pw12:", ""));
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(ReadFile(ReportFolder() + QLatin1Char('/') + name), bytes) << name.toStdString();
    for (const auto& [name, bytes] : card)
        EXPECT_EQ(ReadFile(Card() + QLatin1Char('/') + name), bytes) << name.toStdString();
    // What came, with the count of what came: two of six records.
    const QByteArray cut =
        ReportStart(Block("Pw11:", "SI0005TS00950NR00002")) + FileWords(kBlocks[0]);
    EXPECT_EQ(ReadFile(CutPath()), cut);
    EXPECT_EQ(ReadFile(Card() + QLatin1Char('/') + QFileInfo(CutPath()).fileName()), cut);
    EXPECT_TRUE(Said().contains(QStringLiteral("2 of 6 records"))) << Said().toStdString();
    EXPECT_EQ(g_strReportPath, CutPath());
}

TEST_F(IntegrityTest, ACutDownloadWithoutALocalCopyLeavesTheBackupAlone) {
    // The report was removed from the handheld; the card still has it.
    SaveWholeReport();
    QFile::remove(ReportPath());
    DownloadToBlocks();
    Exchange(kBlocks[0]);
    dlg.reset(); // the operator closes the window
    EXPECT_EQ(ReadFile(Card() + QLatin1Char('/') + QFileInfo(ReportPath()).fileName()),
              CleanReport());
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_TRUE(QFile::exists(CutPath()));
}

TEST_F(IntegrityTest, ACutDownloadNeverTakesTheReportsName) {
    // Cut off with no namesake anywhere: the name says what it is, and a
    // later whole download takes the report's own name beside it.
    DownloadToBlocks();
    Exchange(kBlocks[0]);
    dlg.reset();
    const QByteArray cut =
        ReportStart(Block("Pw11:", "SI0005TS00950NR00002")) + FileWords(kBlocks[0]);
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_EQ(ReadFile(CutPath()), cut);
    Open();
    DownloadToBlocks();
    Exchange(kBlocks[0]);
    Exchange(kBlocks[1]);
    Reply(kBlocks[2]);
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
    EXPECT_EQ(ReadFile(CutPath()), cut);
    // A second cut download goes beside the first, never over it.
    QFile::remove(ReportPath());
    Open();
    DownloadToBlocks();
    dlg.reset();
    EXPECT_EQ(ReadFile(CutPath()), cut);
    EXPECT_EQ(ReadFile(CutPath(QStringLiteral(" (2)"))),
              ReportStart(Block("Pw11:", "SI0005TS00950NR00000")));
}

TEST_F(IntegrityTest, ABlockThatLostDigitsIsAskedForAgain) {
    DownloadToBlocks();
    EXPECT_EQ(Exchange(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    // A receive overrun took one record's eight digits: every form holds.
    // It is asked for again once a copy of it could no longer be on its way,
    // so that the same text then would be the Vantrek's.
    EXPECT_EQ(Answer(Block("Pw12:", "000a0fa1")), QByteArray());
    Tick(2);
    EXPECT_EQ(Pending(), QByteArray());
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp12-0001\r\n"));
    // The first request's answer may still come: the next waits for it or
    // for three quiet ticks.
    EXPECT_EQ(Answer(kBlocks[1]), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp12-0002\r\n"));
    // Times that run back from the block before: damaged too.
    EXPECT_EQ(Answer(Block("Pw12:", "0001012c00190130")), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp12-0002\r\n"));
    Reply(kBlocks[2]);
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
}

TEST_F(IntegrityTest, ABlockThatStaysDamagedCutsTheDownloadThere) {
    DownloadToBlocks();
    Exchange(kBlocks[0]);
    // One digit lost: no record of it can be trusted, however often it comes.
    const QByteArray damaged = Block("Pw12:", "000a0fa1000f0fa");
    for (int repeat = 0; repeat < 3; ++repeat) {
        EXPECT_EQ(Answer(damaged), QByteArray());
        Tick();
        EXPECT_EQ(Pending(), QByteArray("Wp12-0001\r\n"));
    }
    Reply(damaged);
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_EQ(ReadFile(CutPath()),
              ReportStart(Block("Pw11:", "SI0005TS00950NR00002")) + FileWords(kBlocks[0]));
}

TEST_F(IntegrityTest, AttemptsThatBringNothingNewEndTheDownload) {
    // The Vantrek answers up to the second block, then never again to the
    // third; after each restart it offers the report and starts over.
    Status waiting;
    waiting.state = '2';
    ConnectNow();
    int attempts = 0;
    for (int tick = 0; tick < 400 && !dlg->IsEnded(); ++tick) {
        const QByteArray sent = Pending();
        QByteArray reply;
        if (sent.startsWith("Wp01"))
            reply = waiting.Line();
        else if (sent == "Wp2R\r\n")
            reply = kInfo, ++attempts;
        else if (sent == "Wp3R\r\n")
            reply = kNotes;
        else if (sent == "Wp4R\r\n")
            reply = kReserve;
        else if (sent == "Wp11\r\n")
            reply = kHeader6;
        else if (sent == "Wp12-0000\r\n" || sent == "Wp12-0001\r\n")
            reply = kBlocks[sent.at(8) - '0'];
        if (!reply.isEmpty())
            Reply(reply);
        Tick();
        // While the report is not taken whole, no new joint can be set up.
        if (attempts > 0) {
            EXPECT_FALSE(dlg->IsDlgItemEnabled(IDC_SETUP)) << tick;
        }
    }
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_EQ(attempts, 4); // the first, and three that brought nothing new
    EXPECT_EQ(ReadFile(CutPath()), ReportStart(Block("Pw11:", "SI0005TS00950NR00004")) +
                                       FileWords(kBlocks[0]) + FileWords(kBlocks[1]));
    ASSERT_EQ(prompter.Shown().size(), 2u) << Said().toStdString(); // Connect, and the cut
    EXPECT_TRUE(Said().contains(QStringLiteral("4 of 6 records")));
}

TEST_F(IntegrityTest, AVantrekThatRestartsIsAskedAgainFromTheBlockNotYetTaken) {
    DownloadToBlocks();
    EXPECT_EQ(Exchange(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    // Back from a restart, the Vantrek says it is idle: that attempt is over.
    Status idle;
    EXPECT_EQ(Answer(idle.Line()), QByteArray());
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp01L0s0D0p0\r\n"));
    // It offers the report again: the same records, so on from block 1.
    Status waiting;
    waiting.state = '2';
    EXPECT_EQ(Exchange(waiting.Line()), QByteArray("Wp2R\r\n"));
    Exchange(kInfo);
    Exchange(kNotes);
    Exchange(kReserve);
    EXPECT_EQ(Exchange(kHeader6), QByteArray("Wp12-0001\r\n"));
    EXPECT_EQ(Exchange(kBlocks[1]), QByteArray("Wp12-0002\r\n"));
    Reply(kBlocks[2]);
    Tick();
    ASSERT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
}

TEST_F(IntegrityTest, AFailedWriteNeverTakesTheReportsName) {
    // A full disk: files stop growing in the middle of the first block.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t soft = limit.rlim_cur;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(ReportStart().size() + 4);
    setrlimit(RLIMIT_FSIZE, &limit);
    StartDownload();
    Exchange(kInfo);
    Exchange(kNotes);
    Exchange(kReserve);
    Exchange(kHeader6);
    for (int i = 0; i < 3 && !dlg->IsEnded(); ++i) {
        Reply(kBlocks[i]);
        Tick();
        Pending();
    }
    dlg.reset();
    limit.rlim_cur = soft;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_NE(g_strReportPath, ReportPath());
    EXPECT_TRUE(Said().startsWith(QStringLiteral("Could not save data to:\n")));
}

TEST_F(IntegrityTest, ADownloadLeftByAKilledRunIsRecoveredNotOverwritten) {
    // A run killed after the first block left its ".part".
    const QByteArray left = ReportStart() + FileWords(kBlocks[0]);
    WriteFile(ReportPath() + QStringLiteral(".part"), left);
    Open(); // the window opens: it is put in place and said
    const QString recovered = ReportPath().chopped(4) + QStringLiteral(" (recovered).kjr");
    EXPECT_EQ(ReadFile(recovered),
              ReportStart(Block("Pw11:", "SI0005TS00950NR00002")) + FileWords(kBlocks[0]));
    EXPECT_FALSE(QFile::exists(ReportPath() + QStringLiteral(".part")));
    EXPECT_TRUE(Said().contains(QFileInfo(recovered).fileName()));
    // A whole one, left by another run after this window opened, takes its
    // name when the next download starts, before that download could.
    dlg.reset();
    Open();
    WriteFile(ReportPath() + QStringLiteral(".part"), CleanReport());
    DownloadToBlocks();
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
    EXPECT_EQ(ReadFile(recovered),
              ReportStart(Block("Pw11:", "SI0005TS00950NR00002")) + FileWords(kBlocks[0]));
}

TEST_F(IntegrityTest, ADamagedStatusReplyChangesNothing) {
    ConnectNow();
    Tick();
    Command();
    Status s;
    Exchange(s.Line());
    const QByteArray id = dlg->VantrekId();
    ASSERT_EQ(id, QByteArray("KVTQ21420240115"));
    // A control byte in the identification, digits lost from the pressure:
    // each reply still answers its poll, but shows and keeps nothing.
    QByteArray controlByte = s.Line();
    controlByte[58] = '\x03';
    Status lost = s;
    lost.psi = 321;
    QByteArray shifted = lost.Line();
    shifted.remove(30, 2);
    for (const QByteArray& damaged : {controlByte, shifted}) {
        EXPECT_EQ(Exchange(damaged), QByteArray("Wp01L0s0D0p0\r\n"));
        EXPECT_EQ(dlg->VantrekId(), id);
        EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral("189"));
        EXPECT_EQ(Text(IDC_VERSION_TEXT), QStringLiteral("KVTQ v2.1.4 c2024/01/15"));
    }
}

TEST_F(IntegrityTest, LateCopiesOfPollsNeverAnswerLaterPolls) {
    // A Vantrek slower than the watchdog: it answers every command it hears,
    // in turn, seven ticks after it came. The watchdog's copy of each poll is
    // answered too, later; taken for the answer to the next poll, every late
    // copy would send one more, and two polls would circulate for ever.
    std::deque<int> heard; // the tick each unanswered command came
    Status s;
    ConnectNow();
    int ticks = 0;
    int alone = 0; // ticks with one command outstanding
    for (int tick = 0; tick < 100; ++tick) {
        if (!heard.empty() && tick - heard.front() >= 7) {
            Reply(s.Line());
            heard.pop_front();
        }
        Tick();
        for (qsizetype i = Pending().count('\n'); i > 0; --i)
            heard.push_back(tick);
        EXPECT_LE(heard.size(), 2u) << tick;
        if (tick >= 40) {
            ++ticks;
            alone += heard.size() == 1;
        }
    }
    EXPECT_GT(alone, ticks / 2);
}

TEST_F(IntegrityTest, AnUploadIsAcknowledgedOnlyByALineThatCanBeItsAnswer) {
    SetFixedLocalTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30, 0)));
    ConnectNow();
    Tick();
    Pending();
    Status idle;
    dlg->Records().BuildJointInfoRecord();
    // A silence: the watchdog polls on every tick. The Vantrek heard every
    // poll; it answers the first, and the next poll goes out before the
    // answers to the others come.
    Tick(8);
    const int copies = int(Pending().count("Wp01"));
    ASSERT_GT(copies, 1);
    EXPECT_EQ(Answer(idle.Line()), QByteArray());
    Tick(3);
    EXPECT_TRUE(Pending().startsWith("Wp01"));
    // None of those answers is the next poll's, so none starts the upload.
    for (int i = 0; i < copies; ++i)
        EXPECT_EQ(Answer(idle.Line()), QByteArray()) << i;
    const QByteArray info = Answer(idle.Line());
    ASSERT_TRUE(info.startsWith("Wp02:")) << info.toStdString();
    // The Vantrek refuses the record: it goes again, and only then the notes
    // (once the first copy cannot be answered any more).
    EXPECT_EQ(Answer("Pw02 ERR bad field"), QByteArray());
    Tick();
    EXPECT_EQ(Pending(), info);
    EXPECT_EQ(Answer("Pw02 OK"), QByteArray());
    Tick(3);
    EXPECT_TRUE(Pending().startsWith("Wp03:"));
    EXPECT_TRUE(Exchange("Pw03 OK").startsWith("Wp04:"));
    EXPECT_EQ(Exchange("Pw04 OK"), QByteArray("Wp01L0s0D0p0\r\n"));
    // It does not log: the joint goes again, whole; when it never logs, the
    // operator is told.
    for (int send = 2; send <= 3; ++send) {
        EXPECT_TRUE(Exchange(idle.Line()).startsWith("Wp02:")) << send;
        EXPECT_TRUE(Exchange("Pw02 OK").startsWith("Wp03:"));
        EXPECT_TRUE(Exchange("Pw03 OK").startsWith("Wp04:"));
        EXPECT_TRUE(Exchange("Pw04 OK").startsWith("Wp01"));
    }
    prompter.Clear();
    EXPECT_TRUE(Exchange(idle.Line()).startsWith("Wp01"));
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_TRUE(Said().startsWith(QStringLiteral("The Vantrek® did not take the joint.")));
}
