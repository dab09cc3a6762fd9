// The download's transaction without a window: the rules a block must keep,
// attempts that resume or differ, and how what came reaches the disk when the
// file system refuses renameat2, hard links, an fsync or room.

#include "SessionFixture.h"

#include "framework/Globals.h"
#include "platform/FileOps.h"
#include "session/ReportDownload.h"
#include "session/ReportPlacing.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace {
using Part = CReportDownload::Part;
using Verdict = CReportDownload::Verdict;
using End = CReportDownload::End;

QByteArray Records(std::initializer_list<std::pair<int, int>> samples) {
    QByteArray digits;
    for (const auto& [time, psi] : samples)
        digits += WordDigits(time) + WordDigits(psi);
    return Block("Pw12:", digits);
}

// Offers the records before the samples, with `header`.
void OfferRecords(CReportDownload& d, const QByteArray& header = kHeader6,
                  const QByteArray& notes = kNotes) {
    d.BeginAttempt();
    ASSERT_EQ(d.Offer(Part::JointInfo, kInfo, false), Verdict::Taken);
    ASSERT_EQ(d.Offer(Part::Notes, notes, false), Verdict::Taken);
    ASSERT_EQ(d.Offer(Part::Reserve, kReserve, false), Verdict::Taken);
    ASSERT_EQ(d.Offer(Part::SampleHeader, header, false), Verdict::Taken);
}

// File operations that fail as a test asks, and note what was done.
class FaultyFiles : public FileOpsStandIn {
public:
    int renameError = 0; // errno of renameat2
    int linkError = 0;   // errno of link
    int syncError = 0;   // errno of a folder's fsync
    qint64 room = -1;    // bytes a file may still take in `full` (below 0: any)
    QString full;        // the folder that is full
    std::vector<std::string> calls;
    std::map<int, QString> paths;

    int Open(const char* path, int flags, mode_t mode) override {
        const int fd = FileOps::Open(path, flags, mode);
        if (fd >= 0)
            paths[fd] = QString::fromLocal8Bit(path);
        return fd;
    }
    ssize_t WriteAt(int fd, const char* data, size_t size, off_t offset) override {
        calls.push_back("write");
        if (room >= 0 && QFileInfo(paths[fd]).absolutePath() == full) {
            if (room == 0) {
                errno = ENOSPC;
                return -1;
            }
            size = std::min(size, size_t(room));
            room -= qint64(size);
        }
        return FileOps::WriteAt(fd, data, size, offset);
    }
    int RenameNoReplace(const char* from, const char* to) override {
        calls.push_back("renameat2");
        if (renameError != 0) {
            errno = renameError;
            return -1;
        }
        return FileOps::RenameNoReplace(from, to);
    }
    int Link(const char* from, const char* to) override {
        calls.push_back("link");
        if (linkError != 0) {
            errno = linkError;
            return -1;
        }
        return FileOps::Link(from, to);
    }
    int Rename(const char* from, const char* to) override {
        calls.push_back("rename");
        return FileOps::Rename(from, to);
    }
    int SyncFolder(const char* folder) override {
        calls.push_back("sync " +
                        QFileInfo(QString::fromLocal8Bit(folder)).fileName().toStdString());
        if (syncError != 0) {
            errno = syncError;
            return -1;
        }
        return FileOps::SyncFolder(folder);
    }
    bool Called(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
};

class TransactionTest : public ::testing::Test {
protected:
    ScriptedPrompter prompter;
    QString Card() const {
        return TestMediaFolder() + QStringLiteral("/Storage Card/Joint Reports");
    }
    void SetUp() override { QDir().mkpath(Card()); }
    // A whole download of the six samples.
    CReportDownload::Outcome Download(CReportDownload& d) {
        OfferRecords(d);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[i], false), Verdict::Taken);
        EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[2], false), Verdict::Complete);
        return d.Finish(End::Complete);
    }
};
} // namespace

TEST_F(TransactionTest, BlocksKeepTheirRulesAndTheVantreksOwnTextConfirmsThem) {
    CReportDownload d;
    OfferRecords(d, Block("Pw11:", "SI0005TS00950NR00010"));
    // Times are 16 bits: across the wrap they still run forward, and a time
    // equal to the last is forward too.
    EXPECT_EQ(d.Offer(Part::DataBlock, Records({{0xfffe, 10}, {0xffff, 11}}), false),
              Verdict::Taken);
    EXPECT_EQ(d.Offer(Part::DataBlock, Records({{0xffff, 12}, {0x0003, 13}}), false),
              Verdict::Taken);
    // A time back from the block before, and one back inside the block: to
    // be asked for again. A copy that comes before the repeat proves nothing.
    const QByteArray back = Records({{0x0001, 14}, {0x0004, 15}});
    EXPECT_EQ(d.Offer(Part::DataBlock, back, false), Verdict::Suspect);
    EXPECT_EQ(d.Offer(Part::DataBlock, back, false), Verdict::NotAnswer);
    EXPECT_EQ(d.Offer(Part::DataBlock, Records({{0x0009, 14}, {0x0004, 15}}), true),
              Verdict::Suspect);
    // The same text as the answer to the repeat is what the Vantrek holds.
    const QByteArray again = Records({{0x0009, 14}, {0x0004, 15}});
    EXPECT_EQ(d.Offer(Part::DataBlock, again, true), Verdict::Taken);
    // Never the block before again, nor records taken, confirmed or not.
    EXPECT_EQ(d.Offer(Part::DataBlock, again, true), Verdict::NotAnswer);
    EXPECT_EQ(d.Offer(Part::DataBlock, Records({{0xffff, 11}, {0xffff, 12}}), true),
              Verdict::NotAnswer);
    // Smaller than the blocks before while more is to come: digits were lost;
    // the Vantrek's own short block is taken once it says so again.
    const QByteArray one = Records({{0x0010, 16}});
    EXPECT_EQ(d.Offer(Part::DataBlock, one, false), Verdict::Suspect);
    EXPECT_EQ(d.Offer(Part::DataBlock, one, true), Verdict::Taken);
    // A last block may hold more than was announced.
    EXPECT_EQ(
        d.Offer(Part::DataBlock, Records({{0x11, 1}, {0x12, 2}, {0x13, 3}, {0x14, 4}}), false),
        Verdict::Complete);
    EXPECT_EQ(d.NextBlock(), 5);
}

TEST_F(TransactionTest, AnAttemptResumesTheSameReportAndTheLongestIsPlaced) {
    CReportDownload d;
    OfferRecords(d);
    EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[0], false), Verdict::Taken);
    EXPECT_FALSE(d.EndAttempt());
    // The same records again: on from the block not yet taken.
    OfferRecords(d);
    EXPECT_EQ(d.NextBlock(), 1);
    EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[1], false), Verdict::Taken);
    EXPECT_FALSE(d.EndAttempt());
    // Other notes: another report, from its first block; it brings less.
    const QByteArray notes = Block("Pw03:", "03e7" + TextDigits(QString()) + "03e7" +
                                                TextDigits(QStringLiteral("other")));
    OfferRecords(d, kHeader6, notes);
    EXPECT_EQ(d.NextBlock(), 0);
    EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[0], false), Verdict::Taken);
    EXPECT_FALSE(d.EndAttempt());
    // Three attempts that bring nothing new end the download.
    OfferRecords(d, kHeader6, notes);
    EXPECT_FALSE(d.EndAttempt());
    d.BeginAttempt();
    EXPECT_FALSE(d.EndAttempt());
    d.BeginAttempt();
    EXPECT_TRUE(d.EndAttempt());
    const CReportDownload::Outcome outcome = d.Finish(End::Cut);
    ASSERT_TRUE(outcome.placed);
    EXPECT_EQ(outcome.path, ReportPath().chopped(4) + QStringLiteral(" (incomplete).kjr"));
    EXPECT_EQ(ReadFile(outcome.path), ReportStart(Block("Pw11:", "SI0005TS00950NR00004")) +
                                          FileWords(kBlocks[0]) + FileWords(kBlocks[1]));
    // Exactly one file, and its copy.
    EXPECT_EQ(QDir(ReportFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_EQ(QDir(Card()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(TransactionTest, WithoutRenameat2OrHardLinksNothingIsReplaced) {
    WriteFile(ReportPath(), "another joint");
    FaultyFiles files;
    files.renameError = EINVAL;
    {
        CReportDownload d;
        const CReportDownload::Outcome outcome = Download(d);
        EXPECT_EQ(outcome.path, ReportPath().chopped(4) + QStringLiteral(" (2).kjr"));
    }
    EXPECT_TRUE(files.Called("link"));
    EXPECT_FALSE(files.Called("rename"));
    // A FAT card: no hard links either; the name is claimed first.
    files.linkError = EPERM;
    files.calls.clear();
    QFile::remove(ReportPath().chopped(4) + QStringLiteral(" (2).kjr"));
    QFile::remove(Card() + QLatin1Char('/') + QFileInfo(ReportPath()).fileName());
    {
        CReportDownload d;
        EXPECT_EQ(Download(d).path, ReportPath().chopped(4) + QStringLiteral(" (2).kjr"));
    }
    EXPECT_TRUE(files.Called("rename"));
    EXPECT_EQ(ReadFile(ReportPath()), QByteArray("another joint"));
    EXPECT_EQ(ReadFile(ReportPath().chopped(4) + QStringLiteral(" (2).kjr")), CleanReport());
    // The same report downloaded again adds no file.
    {
        CReportDownload d;
        EXPECT_EQ(Download(d).path, ReportPath().chopped(4) + QStringLiteral(" (2).kjr"));
    }
    EXPECT_EQ(QDir(ReportFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(TransactionTest, FoldersAreFlushedAndOneThatRefusesIsNoFailedSave) {
    FaultyFiles files;
    files.syncError = EINVAL;
    {
        CReportDownload d;
        EXPECT_TRUE(Download(d).placed);
    }
    // Each folder after the file was put in it.
    EXPECT_TRUE(files.Called("sync Joint Reports"));
    EXPECT_EQ(std::count(files.calls.begin(), files.calls.end(), "sync Joint Reports"), 2);
    EXPECT_TRUE(prompter.Shown().empty());
    EXPECT_EQ(ReadFile(ReportPath()), CleanReport());
    // An error in the flush is a failed save.
    files.syncError = EIO;
    QFile::remove(ReportPath());
    QFile::remove(Card() + QLatin1Char('/') + QFileInfo(ReportPath()).fileName());
    {
        CReportDownload d;
        EXPECT_FALSE(Download(d).placed);
    }
    ASSERT_FALSE(prompter.Shown().empty());
    EXPECT_TRUE(prompter.Shown()[0].text.startsWith(QStringLiteral("Could not save data to:")));
}

TEST_F(TransactionTest, AFullDiskStopsTheWritingAndWhatCameIsRecoveredLater) {
    const QString part = ReportPath() + QStringLiteral(".part");
    {
        FaultyFiles files;
        files.full = ReportFolder();
        files.room = ReportStart().size() + 4; // half of the first block's records
        CReportDownload d;
        OfferRecords(d);
        // No other program takes the file while this download writes it.
        RecoverStaleDownloads();
        EXPECT_TRUE(QFile::exists(part));
        EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[0], false), Verdict::Taken);
        EXPECT_TRUE(d.WriteFailed());
        const size_t writes = files.calls.size();
        EXPECT_EQ(d.Offer(Part::DataBlock, kBlocks[1], false), Verdict::Taken);
        EXPECT_EQ(files.calls.size(), writes); // nothing more written
        EXPECT_FALSE(d.Finish(End::Cut).placed);
    }
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_FALSE(QFile::exists(ReportPath().chopped(4) + QStringLiteral(" (incomplete).kjr")));
    ASSERT_EQ(ReadFile(part).size(), ReportStart().size() + 4);
    // While a program holds it, it is left alone; then it is recovered.
    const int held = open(QFile::encodeName(part).constData(), O_RDWR);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    RecoverStaleDownloads();
    EXPECT_TRUE(QFile::exists(part));
    close(held);
    RecoverStaleDownloads();
    EXPECT_FALSE(QFile::exists(part));
    EXPECT_EQ(ReadFile(ReportPath().chopped(4) + QStringLiteral(" (recovered).kjr")),
              ReportStart(Block("Pw11:", "SI0005TS00950NR00001")) + FileWords(kBlocks[0]).left(4));
}

TEST_F(TransactionTest, ABackupThatCannotBeWrittenWholeLeavesTheOlderCopy) {
    const QString copy = Card() + QLatin1Char('/') + QFileInfo(ReportPath()).fileName();
    WriteFile(copy, "older copy");
    FaultyFiles files;
    files.full = Card();
    files.room = 16;
    CReportDownload d;
    EXPECT_TRUE(Download(d).placed);
    EXPECT_EQ(ReadFile(copy), QByteArray("older copy"));
    EXPECT_EQ(QDir(Card()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(copy).fileName()});
    ASSERT_FALSE(prompter.Shown().empty());
    EXPECT_TRUE(
        prompter.Shown().back().text.startsWith(QStringLiteral("Could not save data to SD card!")));
}
