#include "SessionFixture.h"

#include "framework/Globals.h"
#include "link/BlockReply.h"
#include "platform/Clock.h"
#include "platform/Power.h"
#include "session/ReportDownload.h"
#include "session/ReportStorage.h"
#include "setup/JointRecord.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Makes a folder refuse new files, as a write-protected card does: by its
// permissions, or for root, whom permissions do not stop, by the immutable
// attribute. The folder is writable again when this ends.
class WriteProtected {
public:
    explicit WriteProtected(const QString& folder) : m_folder(folder) {
        m_ok = geteuid() == 0 ? SetImmutable(true)
                              : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~WriteProtected() {
        if (geteuid() == 0)
            SetImmutable(false);
        else
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool Ok() const { return m_ok; }

private:
    bool SetImmutable(bool on) const {
        const int fd = open(m_folder.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        return ok;
    }
    QString m_folder;
    bool m_ok = false;
};

} // namespace

TEST_F(DownloadTest, WholeReportIsSavedBackedUpAndShown) {
    QDir().mkpath(TestMediaFolder() + QStringLiteral("/Storage Card"));
    WriteSettingInt(kKeyLogData, LogData::kJointNumber, 7);
    StartDownload();
    const QByteArray info = JointInfoBlock(QStringLiteral("1234"), 7, QStringLiteral("55"));
    EXPECT_EQ(Exchange(info), QByteArray("Wp3R\r\n"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (B)"));
    const QString path =
        ReportFolder() + QStringLiteral("/DL Job 1234 Joint 7 by 55 on 2010-09-24 at 16-05-09.kjr");
    EXPECT_EQ(g_strReportPath, path);
    EXPECT_EQ(Exchange(kNotes), QByteArray("Wp4R\r\n"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (C)"));
    // Anything but the reserve data is waited through.
    EXPECT_EQ(Answer("Pw01 something else"), QByteArray());
    EXPECT_EQ(Exchange(kReserve), QByteArray("Wp11\r\n"));
    EXPECT_EQ(Exchange(kHeader), QByteArray("Wp12-0000\r\n"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (E)"));
    // Three records: two in the first block, one in the second.
    const QByteArray block0 = Block("Pw12:", "0000000A0005000B");
    const QByteArray block1 = Block("Pw12:", "000a0fa1");
    EXPECT_EQ(Exchange(block0), QByteArray("Wp12-0001\r\n"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (0)"));
    Reply(block1);
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(dlg->Result(), IDCANCEL);
    EXPECT_FALSE(dlg->IsPolling());
    EXPECT_EQ(dlg->Step(), 6);

    const QByteArray expected = "VTQPv0.2.5" + FileWords(info) + FileWords(kNotes) +
                                FileWords(kReserve) + "SI0005TS00950NR00003" + '\0' +
                                FileWords(block0) + FileWords(block1);
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(ReadFile(TestMediaFolder() + QStringLiteral("/Storage Card/Joint Reports/") +
                       QFileInfo(path).fileName()),
              expected);
    EXPECT_TRUE(g_bReportChanged);
    EXPECT_EQ(g_nSearchPercent, 100);
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kJointNumber, 0), 8);
    EXPECT_TRUE(prompter.Shown().size() == 1)
        << prompter.Shown().size(); // only the Connect question
}

TEST_F(DownloadTest, ABackupNeverReplacesAnOlderCopy) {
    const QString backup = TestMediaFolder() + QStringLiteral("/Storage Card/Joint Reports");
    const QString copy = backup + QLatin1Char('/') + QFileInfo(ReportPath()).fileName();
    ASSERT_TRUE(QDir().mkpath(backup));
    QFile older(copy);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly) && older.write("older copy") == 10);
    older.close();
    const QByteArray header = Block("Pw11:", "SI0005TS00950NR00001");
    auto download = [&] {
        DownloadToBlocks(header);
        Reply(Block("Pw12:", "0000000A"));
        Tick();
        ASSERT_TRUE(dlg->IsEnded());
    };
    {
        WriteProtected card(backup);
        ASSERT_TRUE(card.Ok()) << "the folder could not be write-protected";
        download();
    }
    EXPECT_EQ(prompter.Shown().back().text,
              QStringLiteral("Could not save data to SD card!\nPlease make sure card is present "
                             "and unlocked."));
    EXPECT_EQ(ReadFile(copy), QByteArray("older copy"));

    // Another report of the same name on the card: the copy goes beside it.
    QFile::remove(ReportPath());
    Open();
    download();
    const QByteArray report = ReportStart(header) + FileWords(Block("Pw12:", "0000000A"));
    EXPECT_EQ(ReadFile(copy), QByteArray("older copy"));
    EXPECT_EQ(ReadFile(copy.chopped(4) + QStringLiteral(" (2).kjr")), report);
    EXPECT_EQ(QDir(backup).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(DownloadTest, MissingNotesAreReplacedAndNoCardIsSaid) {
    StartDownload();
    Exchange(JointInfoBlock(QStringLiteral("J"), 1, QStringLiteral("E")));
    // Asked for three times more, then given up for the empty notes.
    for (int repeat = 0; repeat < 3; ++repeat) {
        EXPECT_EQ(Answer("Pw03:garbled"), QByteArray());
        Tick();
        EXPECT_EQ(Pending(), QByteArray("Wp3R\r\n"));
    }
    EXPECT_EQ(Answer("Pw03:garbled"), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp4R\r\n"));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (B)"));
    Exchange(kReserve);
    Exchange(Block("Pw11:", "SI0005TS00000NR00000"));
    Reply(Block("Pw12:", ""));
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    const QByteArray file = ReadFile(g_strReportPath);
    EXPECT_TRUE(file.contains(FileWords(QByteArray(kEmptyNotesBlock)) + FileWords(kReserve)));
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].text.left(23), QStringLiteral("Storage card not found!"));
}

TEST_F(DownloadTest, DamagedRepliesAreAskedForAgainAndTheReportIsWhole) {
    StartDownload();
    const QByteArray info = JointInfoBlock(QStringLiteral("1234"), 7, QStringLiteral("55"));
    const QByteArray header = Block("Pw11:", "SI0005TS00950NR00003");
    const QByteArray block0 = Block("Pw12:", "0000000A0005000B");
    const QByteArray block1 = Block("Pw12:", "000a0fa1");
    // Each request's answer comes damaged once; the tick after it brings
    // nothing, so the same request goes out again.
    const struct {
        QByteArray damaged, good, request, next;
    } steps[] = {
        {Block("Pw03:", "03e7zz"), kNotes, "Wp3R\r\n", "Wp4R\r\n"},
        {Block("Pw04:", "0000000"), kReserve, "Wp4R\r\n", "Wp11\r\n"},
        {Block("Pw11:", QByteArray("SI0005TS00950NR\0\x01", 17)), header, "Wp11\r\n",
         "Wp12-0000\r\n"},
        {Block("Pw12:", "0000000A0005000"), block0, "Wp12-0000\r\n", "Wp12-0001\r\n"},
        {"Pw12:000a\x13\x07"
         "a1eom",
         block1, "Wp12-0001\r\n", ""},
    };
    ASSERT_EQ(Exchange(info), QByteArray("Wp3R\r\n"));
    for (const auto& step : steps) {
        EXPECT_EQ(Answer(step.damaged), QByteArray()) << step.request.toStdString();
        Tick();
        EXPECT_EQ(Pending(), step.request);
        EXPECT_EQ(Answer(step.good), QByteArray());
        // The first request may still be answered too: the next one waits
        // for that or for three quiet ticks.
        if (!step.next.isEmpty()) {
            Tick(3);
            EXPECT_EQ(Pending(), step.next);
        }
    }
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(g_strReportPath), "VTQPv0.2.5" + FileWords(info) + FileWords(kNotes) +
                                             FileWords(kReserve) + "SI0005TS00950NR00003" + '\0' +
                                             FileWords(block0) + FileWords(block1));
}

TEST_F(DownloadTest, NoiseFollowedByTheBlockAsksNothingTwice) {
    StartDownload();
    Exchange(JointInfoBlock(QStringLiteral("5"), 5, QStringLiteral("5")));
    Exchange(kNotes);
    Exchange(kReserve);
    Exchange(Block("Pw11:", "SI0005TS00950NR00004"));
    Reply("\x01\x02 noise");
    Reply(Block("Pw12:", "0001002200030044"));
    Tick();
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp12-0001\r\n"));
    Tick();
    EXPECT_EQ(Pending(), QByteArray());

    // Nor when the block after the noise is still arriving at the next tick.
    Reply("\x01\x02 noise");
    const QByteArray block = Block("Pw12:", "0005006600070088") + "\r\n";
    ASSERT_TRUE(vantrek.Deliver(block.left(9)));
    Tick();
    Tick();
    EXPECT_EQ(Pending(), QByteArray());
    ASSERT_TRUE(vantrek.Deliver(block.mid(9)));
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(Pending(), QByteArray());
}

TEST_F(DownloadTest, UploadCutOffByARestartIsSentAgainWhole) {
    SetFixedLocalTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30, 0)));
    Status idle;
    Status logging;
    logging.state = '1';
    // Answers every poll with `status` until the window sends something else.
    auto answerPolls = [&](const Status& status) {
        QByteArray sent;
        for (int i = 0; i < 6 && (sent.isEmpty() || sent.startsWith("Wp01")); ++i) {
            sent = Answer(status.Line());
        }
        return sent;
    };
    const char* acks[] = {"Pw02 OK", "Pw03 OK", "Pw04 OK"};
    auto cutOffUpload = [&](int lost) {
        Open();
        ConnectNow();
        Tick();
        Pending();
        dlg->Records().BuildJointInfoRecord();
        const QByteArray info = dlg->Records().Text();
        EXPECT_EQ(Exchange(idle.Line()), info);
        // The acknowledgement of record `lost` never comes.
        for (int i = 0; i < lost; ++i)
            Exchange(acks[i]);
        Tick(6);
        EXPECT_EQ(dlg->Step(), 0) << lost;
        return info;
    };
    for (int lost = 0; lost < 3; ++lost) {
        const QByteArray info = cutOffUpload(lost);
        // The Vantrek is not logging: the joint goes again, all three records.
        EXPECT_EQ(answerPolls(idle), info) << lost;
        EXPECT_TRUE(Exchange(acks[0]).startsWith("Wp03:"));
        EXPECT_TRUE(Exchange(acks[1]).startsWith("Wp04:"));
        EXPECT_EQ(Exchange(acks[2]), QByteArray("Wp01L0s0D0p0\r\n"));
        Exchange(logging.Line());
        EXPECT_EQ(dlg->LinkState(), 2);
    }
    // An upload that reached the Vantrek before the cut is not sent twice.
    cutOffUpload(2);
    EXPECT_TRUE(answerPolls(logging).startsWith("Wp01"));
    EXPECT_EQ(dlg->LinkState(), 2);
    EXPECT_TRUE(answerPolls(idle).startsWith("Wp01"));
}

TEST_F(DownloadTest, HostileNamesStayInTheReportFolder) {
    StartDownload();
    Exchange(JointInfoBlock(QStringLiteral("../../etc"), 3, QStringLiteral("a/b\\c:\x01*")));
    const QFileInfo saved(g_strReportPath);
    EXPECT_EQ(saved.absolutePath(), ReportFolder());
    EXPECT_EQ(saved.fileName(),
              QStringLiteral("DL Job .._.._etc Joint 3 by a_b_c___ on 2010-09-24 at 16-05-09.kjr"));
    EXPECT_TRUE(QFile::exists(g_strReportPath + QStringLiteral(".part")));
    EXPECT_EQ(SafeFileNamePart(QStringLiteral("Job 12-A.b")), QStringLiteral("Job 12-A.b"));
    EXPECT_EQ(SafeFileNamePart(QStringLiteral("..")), QStringLiteral("__"));
    EXPECT_EQ(SafeFileNamePart(QString(QChar(0xd800))), QStringLiteral("_"));
    // Invisible format characters and noncharacters cannot disguise a name;
    // other characters beyond 16 bits stay.
    EXPECT_EQ(SafeFileNamePart(QStringLiteral("12\u202Efdp.exe\u2066\u200F\uFDD0\uFFFE\U000E0001")),
              QStringLiteral("12_fdp.exe_____"));
    EXPECT_EQ(SafeFileNamePart(QStringLiteral("Gauge \U0001F527")),
              QStringLiteral("Gauge \U0001F527"));
    Open();
    StartDownload();
    Exchange(JointInfoBlock(QStringLiteral("J\u202E7"), 3, QStringLiteral("Kim")));
    EXPECT_EQ(QFileInfo(g_strReportPath).fileName(),
              QStringLiteral("DL Job J_7 Joint 3 by Kim on 2010-09-24 at 16-05-09.kjr"));
}

TEST_F(DownloadTest, RefusedNameFallsBackToTheShortName) {
    // A folder of the report's name stands where the file would go.
    const QString title = QStringLiteral("DL Job 1234 Joint 7 by 55 on 2010-09-24 at 16-05-09.kjr");
    ASSERT_TRUE(QDir().mkpath(ReportFolder() + QLatin1Char('/') + title));
    QDir().mkpath(TestMediaFolder() + QStringLiteral("/SD Card"));
    StartDownload();
    Exchange(JointInfoBlock(QStringLiteral("1234"), 7, QStringLiteral("55")));
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].text,
              QStringLiteral("Could not save data to:\n") + ReportFolder() + QLatin1Char('/') +
                  title + QStringLiteral("\nTrying to save data to:\nDL 2010-09-24 at 16-05-09"));
    EXPECT_EQ(prompter.Shown()[1].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(g_strReportPath, ReportFolder() + QStringLiteral("/DL 2010-09-24 at 16-05-09.kjr"));
    Exchange(kNotes);
    Exchange(kReserve);
    Exchange(Block("Pw11:", "SI0005TS00000NR00000"));
    Reply(Block("Pw12:", ""));
    Tick();
    // The backup copy keeps the short name too.
    EXPECT_TRUE(
        QFile::exists(TestMediaFolder() +
                      QStringLiteral("/SD Card/Joint Reports/DL 2010-09-24 at 16-05-09.kjr")));
}

TEST_F(DownloadTest, ReportThatCannotBeSavedTwiceMayBeCleared) {
    // A file where the report folder should be: nothing can be saved.
    QDir().mkpath(TestRootFolder());
    QFile blocker(ReportFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartDownload();
    EXPECT_EQ(Exchange(JointInfoBlock(QStringLiteral("1"), 1, QStringLiteral("2"))),
              QByteArray("Wp3R\r\n"));
    EXPECT_TRUE(
        prompter.Shown().back().text.startsWith(QStringLiteral("Could not create folder\n")));
    EXPECT_EQ(g_strReportPath, QString());

    // A report that cannot be created twice in a row offers to clear it.
    QFile::remove(ReportFolder());
    CReportDownload download;
    const QString title = QStringLiteral("DL Job 1 Joint 1 by 2 on 2010-09-24 at 16-05-09.kjr");
    QDir().mkpath(ReportFolder() + QLatin1Char('/') + title);
    QDir().mkpath(ReportFolder() + QStringLiteral("/DL 2010-09-24 at 16-05-09.kjr"));
    const QByteArray block = JointInfoBlock(QStringLiteral("1"), 1, QStringLiteral("2"));
    using Part = CReportDownload::Part;
    download.BeginAttempt();
    EXPECT_EQ(download.Offer(Part::JointInfo, block, false), CReportDownload::Verdict::Taken);
    EXPECT_FALSE(download.TakeClearQuestion());
    download.EndAttempt();
    download.BeginAttempt();
    download.Offer(Part::JointInfo, block, false);
    EXPECT_TRUE(download.TakeClearQuestion());
    EXPECT_EQ(download.m_nFailedSaves, 2);
    EXPECT_EQ(g_strReportPath, QString());
}

TEST_F(DownloadTest, CutOffDownloadLeavesACompleteFile) {
    StartDownload();
    const QByteArray info = JointInfoBlock(QStringLiteral("9"), 2, QStringLiteral("8"));
    Exchange(info);
    Exchange(kNotes);
    Exchange(kReserve);
    Exchange(Block("Pw11:", "SI0005TS00950NR00003"));
    Exchange(Block("Pw12:", "0000000a"));
    const QString path = g_strReportPath;
    // The operator closes the window in the middle of the download: what
    // came is kept under a name that says so, and shown.
    dlg.reset();
    const QString cut = path.chopped(4) + QStringLiteral(" (incomplete).kjr");
    EXPECT_EQ(ReadFile(cut), "VTQPv0.2.5" + FileWords(info) + FileWords(kNotes) +
                                 FileWords(kReserve) + "SI0005TS00950NR00001" + '\0' +
                                 FileWords(Block("Pw12:", "0000000a")));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(g_bReportChanged);
    EXPECT_EQ(g_strReportPath, cut);
    EXPECT_EQ(Shown(QStringLiteral("The download")),
              QStringLiteral("The download was cut off: 1 of 3 records came.\n\nWhat came is "
                             "saved as:\n") +
                  QFileInfo(cut).fileName());

    // Cut off right after the header: every later part is there, empty.
    QFile::remove(cut);
    Open();
    StartDownload();
    Exchange(info);
    dlg.reset();
    EXPECT_EQ(ReadFile(cut), "VTQPv0.2.5" + FileWords(info) +
                                 FileWords(QByteArray(kEmptyNotesBlock)) + QByteArray(10, '\0') +
                                 QByteArray(1, '\0'));
    EXPECT_FALSE(
        Shown(QStringLiteral("The download was cut off before the records came.")).isEmpty());
}

TEST_F(DownloadTest, UploadSendsTheThreeRecordsInTurn) {
    ConnectNow();
    Tick();
    Command();
    dlg->Records().BuildJointInfoRecord();
    ASSERT_EQ(dlg->Records().RecordBuildState, 2);
    const QByteArray info = dlg->Records().Text();
    Status s;
    EXPECT_EQ(Exchange(s.Line()), info);
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Setting up to log data. (1)"));
    EXPECT_EQ(ReadSettingInt(kKeyLogData, LogData::kParameterEntered, 0), 1);
    EXPECT_TRUE(Exchange("Pw02 OK").startsWith("Wp03:"));
    const QByteArray reserve = Exchange("Pw03 OK");
    EXPECT_TRUE(reserve.startsWith("Wp04:"));
    // The identity of the last status reply goes with the reserve data.
    EXPECT_TRUE(reserve.contains(TextDigits(QStringLiteral("VTQPv0.2.5 KVTQ21420240115")).mid(4)));
    EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Setting up to log data.. (3)"));
    EXPECT_FALSE(dlg->IsDlgItemEnabled(IDC_SETUP));
    EXPECT_EQ(Exchange("Pw04 OK"), QByteArray("Wp01L0s0D0p0\r\n"));
    EXPECT_EQ(dlg->Records().RecordBuildState, 0);
    EXPECT_TRUE(dlg->IsDlgItemEnabled(IDC_SETUP));
    EXPECT_EQ(dlg->Step(), 1);
}

TEST(ReportHeader, SkippedTextsKeepTheFieldsInStep) {
    // An empty Machine ID (with its zero word) and a model of 21 characters
    // ("Unlisted" name of 18 and " SW") before the operator's texts.
    QByteArray d;
    for (int v : {2011, 1, 2, 3, 4, 5})
        d += WordDigits(v);
    d += TextDigits(QString()) + WordDigits(67) +
         TextDigits(QStringLiteral("ABCDEFGHIJKLMNOPQR SW")) + TextDigits(QStringLiteral("12.5")) +
         WordDigits(1);
    d += TextDigits(QStringLiteral("Operator with a long name")) +
         TextDigits(QStringLiteral("J-77")) + WordDigits(12);
    const CReportDownload::Header h = CReportDownload::ReadHeader(Block("Pw02:", d));
    EXPECT_EQ(h.year, 2011);
    EXPECT_EQ(h.second, 5);
    // Only the texts that name the file are cut to 20 characters.
    EXPECT_EQ(h.employeeId, QStringLiteral("Operator with a long"));
    EXPECT_EQ(h.jobNumber, QStringLiteral("J-77"));
    EXPECT_EQ(h.jointNumber, 12);
}

TEST_F(DownloadTest, NoiseNeverReachesTheReport) {
    StartDownload();
    const QByteArray info = JointInfoBlock(QStringLiteral("5"), 5, QStringLiteral("5"));
    Exchange(info);
    Exchange(kNotes);
    // A reserve block with a damaged word is waited through.
    EXPECT_EQ(Answer(Block("Pw04:", "00zz")), QByteArray());
    Exchange(kReserve);
    Exchange(Block("Pw11:", "SI0005TS00950NR00002"));
    for (const QByteArray& noise :
         {QByteArray("\x01\x02 noise"), QByteArray("Pw12:00x0eom"), QByteArray("Pw01")})
        EXPECT_EQ(Answer(noise), QByteArray()) << noise.toStdString();
    Reply(Block("Pw12:", "0001002200030044"));
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_TRUE(ReadFile(g_strReportPath)
                    .endsWith(QByteArray("NR00002") + '\0' +
                              FileWords(Block("Pw12:", "0001002200030044"))));
}

TEST(BackupFolder, TheNamedFolderStandsForTheCard) {
    ScriptedPrompter prompter;
    // No value and no card: said as before.
    EXPECT_FALSE(EnsureBackupFolder());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_TRUE(prompter.Shown()[0].text.startsWith(QStringLiteral("Storage card not found!")));

    // A named folder is taken even with a card mounted, and made when missing.
    QDir().mkpath(TestMediaFolder() + QStringLiteral("/Storage Card"));
    const QString named = TestRootFolder() + QStringLiteral("/my sd");
    WriteSettingText(QStringLiteral("Storage"), QStringLiteral("Card"), named + QLatin1Char('/'));
    EXPECT_TRUE(EnsureBackupFolder());
    EXPECT_EQ(g_strBackupFolder, named + QStringLiteral("/Joint Reports"));
    EXPECT_TRUE(QFileInfo(g_strBackupFolder).isDir());
    EXPECT_EQ(prompter.Shown().size(), 1u);

    // A file where the folder should be: it cannot be made, and that is said.
    const QString blocked = TestRootFolder() + QStringLiteral("/file");
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    WriteSettingText(QStringLiteral("Storage"), QStringLiteral("Card"), blocked);
    EXPECT_FALSE(EnsureBackupFolder());
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].text, QStringLiteral("Could not create folder\n") + blocked +
                                            QStringLiteral("/Joint Reports\n\nReports will be "
                                                           "saved\nin main memory only\nand not "
                                                           "backup!"));
}

TEST_F(DownloadTest, EveryAnswerLateBehindAStrayLineGivesTheCleanReport) {
    Status reportWaiting;
    reportWaiting.state = '2';
    const QByteArray answers[] = {kInfo,      kNotes,     kReserve,  kHeader6,
                                  kBlocks[0], kBlocks[1], kBlocks[2]};
    const QByteArray next[] = {"Wp3R\r\n",      "Wp4R\r\n",      "Wp11\r\n", "Wp12-0000\r\n",
                               "Wp12-0001\r\n", "Wp12-0002\r\n", ""};
    // Lines that answer nothing asked: noise, a status line, an acknowledgement.
    const QByteArray strays[] = {reportWaiting.Line(), "\x01\x02 noise", "Pw04 OK"};
    StartDownload();
    for (size_t i = 0; i < std::size(answers); ++i) {
        EXPECT_EQ(Answer(strays[i % std::size(strays)]), QByteArray()) << i;
        // A quiet tick: the answer is only slow, and nothing is asked twice.
        Tick();
        EXPECT_EQ(Pending(), QByteArray()) << i;
        EXPECT_EQ(Answer(answers[i]), next[i]) << i;
    }
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(g_strReportPath), CleanReport());
}

TEST_F(DownloadTest, ASecondAnswerToARepeatedRequestIsNeverTakenForTheNextBlock) {
    StartDownload();
    Exchange(kInfo);
    Exchange(kNotes);
    Exchange(kReserve);
    ASSERT_EQ(Exchange(kHeader6), QByteArray("Wp12-0000\r\n"));
    // A damaged line with the block's head: asked again. Both answers come.
    EXPECT_EQ(Answer("Pw12:0000\x7f"
                     "0a0005000beom"),
              QByteArray());
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp12-0000\r\n"));
    EXPECT_EQ(Answer(kBlocks[0]), QByteArray());
    EXPECT_EQ(Answer(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    // Again, and the second answer is so late that the next request has gone.
    EXPECT_EQ(Answer("Pw12:000a0fa1000f0fa"), QByteArray());
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp12-0001\r\n"));
    EXPECT_EQ(Answer(kBlocks[1]), QByteArray());
    Tick(2);
    EXPECT_EQ(Pending(), QByteArray());
    Tick();
    EXPECT_EQ(Pending(), QByteArray("Wp12-0002\r\n"));
    EXPECT_EQ(Answer(kBlocks[1]), QByteArray());
    Reply(kBlocks[2]);
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(ReadFile(g_strReportPath), CleanReport());
}

TEST_F(DownloadTest, AfterASilenceOneCommandIsOutstandingAndALateBlockIsTaken) {
    // A slow Vantrek: it answers each command it hears, in turn, two ticks
    // later (`extra` more for the next answer), and hears and says nothing
    // while it is silent.
    struct Heard {
        QByteArray command;
        int age = 0;
    };
    std::deque<Heard> heard;
    int extra = 0;
    QByteArray answered;
    bool checking = false;
    Status status;
    auto answerTo = [&](const QByteArray& command) -> QByteArray {
        if (command.startsWith("Wp01"))
            return status.Line();
        const std::map<QByteArray, QByteArray> blocks = {
            {"Wp2R", kInfo}, {"Wp3R", kNotes}, {"Wp4R", kReserve}, {"Wp11", kHeader6}};
        return blocks.count(command.left(4)) ? blocks.at(command.left(4))
                                             : kBlocks[command.mid(5, 4).toInt()];
    };
    auto tick = [&](bool silent) {
        if (silent) {
            checking = false;
        } else if (!heard.empty() && ++heard.front().age >= 2 + extra) {
            answered += heard.front().command;
            Reply(answerTo(heard.front().command));
            heard.pop_front();
            extra = 0;
            checking = true;
        }
        Tick();
        for (const QByteArray& command : Pending().split('\n'))
            if (!command.isEmpty() && !silent)
                heard.push_back({command + '\n'});
        // From the reply that ends a silence on, never two commands at once.
        if (checking) {
            EXPECT_LE(heard.size(), 1u) << answered.toStdString();
        }
    };
    ConnectNow();
    for (int i = 0; i < 6; ++i)
        tick(false);
    // Silent long enough to be reset, but not closed.
    for (int i = 0; i < 10; ++i)
        tick(true);
    EXPECT_GT(dlg->IdleTicks(), 5);
    for (int i = 0; i < 12; ++i)
        tick(false);
    EXPECT_EQ(dlg->IdleTicks(), 0);

    status.state = '2';
    while (heard.empty() || heard.front().command != "Wp12-0001\r\n")
        tick(false);
    status.state = '0';
    // The second block comes on the very tick the watchdog would start over.
    extra = 4;
    for (int i = 0; i < 6; ++i)
        tick(false);
    ASSERT_TRUE(heard.size() == 1 && heard.front().command == "Wp12-0002\r\n");
    // The third block's request is lost in a silence; the watchdog asks again.
    heard.clear();
    for (int i = 0; i < 7; ++i)
        tick(true);
    for (int i = 0; i < 6 && !dlg->IsEnded(); ++i)
        tick(false);
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(answered.count("Wp2R"), 1);
    EXPECT_EQ(ReadFile(g_strReportPath), CleanReport());
}

TEST_F(DownloadTest, AHeaderThatAnnouncesTooMuchGivesACutReport) {
    StartDownload();
    Exchange(kInfo);
    Exchange(kNotes);
    ASSERT_EQ(Exchange(kReserve), QByteArray("Wp11\r\n"));
    // A count that does not begin at its place, or a byte a text cannot hold,
    // is damaged; what follows the count's digits is not looked at.
    for (const QByteArray& damaged :
         {QByteArray("SI0005TS00950NR 0009"), QByteArray("SI0005TS00950NR"),
          QByteArray("SI0005TS00950NR00009\x7f")}) {
        EXPECT_EQ(Answer(Block("Pw11:", damaged)), QByteArray()) << damaged.toStdString();
        Tick();
        EXPECT_EQ(Pending(), QByteArray("Wp11\r\n")) << damaged.toStdString();
    }
    EXPECT_EQ(Answer(Block("Pw11:", "SI0005TS00950NR00009 x")), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp12-0000\r\n"));
    EXPECT_EQ(Exchange(kBlocks[0]), QByteArray("Wp12-0001\r\n"));
    EXPECT_EQ(Exchange(kBlocks[1]), QByteArray("Wp12-0002\r\n"));
    EXPECT_EQ(Exchange(kBlocks[2]), QByteArray("Wp12-0003\r\n"));
    // The first empty block is asked for once more; the second cuts the
    // download, with the count of what came.
    EXPECT_EQ(Answer(Block("Pw12:", "")), QByteArray());
    Tick(3);
    EXPECT_EQ(Pending(), QByteArray("Wp12-0003\r\n"));
    Reply(Block("Pw12:", ""));
    Tick();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(Pending(), QByteArray());
    EXPECT_EQ(ReadFile(ReportPath().chopped(4) + QStringLiteral(" (incomplete).kjr")),
              CleanReport(Block("Pw11:", "SI0005TS00950NR00006 x")));
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_TRUE(Shown(QStringLiteral("The download")).contains(QStringLiteral("6 of 9 records")));
}
