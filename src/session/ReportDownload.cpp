#include "session/ReportDownload.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"
#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "platform/FileOps.h"
#include "platform/MessageBox.h"
#include "report/DownloadName.h"
#include "session/ReportPlacing.h"
#include "session/ReportStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <vector>

namespace {
constexpr int kMaxNameChars = 20;
// Every eight digits of a data block are one record: time, then pressure.
constexpr int kRecordDigits = 8;
// The sample header: its count's place in the text, and the longest text a
// report reader takes.
constexpr int kHeaderCountPos = 15;
constexpr int kMaxHeaderChars = 99;

std::vector<quint16> Words(const QByteArray& line) {
    std::vector<quint16> words;
    BlockWords(line, words);
    return words;
}

// A block reply with the head expected and nothing but whole hexadecimal
// words in its payload; noise never reaches the report file.
bool IsCleanBlock(const QByteArray& line, const char* head) {
    std::vector<quint16> words;
    return IsBlockReply(line, head) && BlockWords(line, words) &&
           BlockPayload(line).size() % 4 == 0;
}

// The other replies' heads: never a data block, even when their payload is
// hexadecimal (a late notes block would pass for one).
bool IsOtherReply(const QByteArray& line) {
    return line.startsWith("Pw01") || line.startsWith(kReplyJointInfo) ||
           line.startsWith(kReplyNotes) || line.startsWith(kReplyReserve) ||
           line.startsWith(kReplySampleHeader);
}

// A data block's form: a five-character head ending in a colon, "eom" last,
// whole records of hexadecimal digits between (a part of a record would swap
// time and pressure in every later sample).
bool IsDataBlock(const QByteArray& line) {
    std::vector<quint16> words;
    return line.size() >= 8 && line[4] == ':' && !IsOtherReply(line) &&
           IsBlockReply(line, line.left(5).constData()) && BlockWords(line, words) &&
           BlockPayload(line).size() % kRecordDigits == 0;
}

// The sample header is kept as text ended by a zero byte, so only printable
// characters may be in it, no more than a reader takes; its count bounds the
// download and is read as a reader reads it: the digits from its place on,
// at least one, then anything printable.
bool IsCleanSampleHeader(const QByteArray& line, qint64& count) {
    if (!IsBlockReply(line, kReplySampleHeader))
        return false;
    const QByteArray text = BlockPayload(line);
    if (text.size() > kMaxHeaderChars ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        return false;
    qint64 n = 0;
    int digits = 0;
    for (qsizetype i = kHeaderCountPos; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > std::numeric_limits<int>::max())
            return false;
        ++digits;
    }
    count = n;
    return digits > 0;
}

quint16 TimeOf(const QByteArray& payload, qsizetype record) {
    return static_cast<quint16>(payload.mid(record * kRecordDigits, 4).toUInt(nullptr, 16));
}

// Sample times are 16 bits and wrap: `later` is forward of `earlier` when it
// is less than half the circle ahead. Equal times are forward.
bool Forward(quint16 earlier, quint16 later) {
    return static_cast<quint16>(later - earlier) < 0x8000;
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Reads the payload's fields in order: one word a number, a count and its
// characters a text.
class WordReader {
public:
    explicit WordReader(const std::vector<quint16>& words) : m_words(words) {}
    int Word() { return m_pos < m_words.size() ? m_words[m_pos++] : (m_pos++, 0); }
    QString Text() {
        const int count = Word();
        if (count == 0) {
            Word(); // an empty text comes back with one zero word after its count
            return QString();
        }
        QString text;
        for (int i = 0; i < count; ++i) {
            const int w = Word();
            // The low byte's digits come first on the wire.
            if (i < kMaxNameChars)
                text += QChar(static_cast<char16_t>(((w & 0xff) << 8) | (w >> 8)));
        }
        return text;
    }

private:
    const std::vector<quint16>& m_words;
    size_t m_pos = 0;
};
} // namespace

CReportDownload::~CReportDownload() {
    CloseFile(false);
}

bool CReportDownload::IsReportStart(const QByteArray& line) {
    return IsCleanBlock(line, kReplyJointInfo);
}

CReportDownload::Header CReportDownload::ReadHeader(const QByteArray& line) {
    const std::vector<quint16> words = Words(line);
    WordReader in(words);
    Header h;
    h.year = in.Word();
    h.month = in.Word();
    h.day = in.Word();
    h.hour = in.Word();
    h.minute = in.Word();
    h.second = in.Word();
    in.Text(); // Machine ID
    in.Word(); // model index
    in.Text(); // model text
    in.Text(); // piston area
    in.Word(); // piston area unit
    h.employeeId = in.Text();
    h.jobNumber = in.Text();
    h.jointNumber = in.Word();
    return h;
}

QByteArray CReportDownload::Report::Bytes() const {
    QByteArray bytes(kProtocolVersion);
    for (int i = 0; i < partCount; ++i)
        bytes += i < 3 ? WordBytes(Words(parts[i])) : BlockPayload(parts[i]) + '\0';
    bytes += WordBytes(Words("Pw12:" + samples + "eom"));
    return bytes;
}

QByteArray CReportDownload::Report::CutBytes() const {
    QByteArray bytes(kProtocolVersion);
    for (int i = 0; i < partCount; ++i)
        bytes += i < 3 ? WordBytes(Words(parts[i]))
                       : HeaderCounting(BlockPayload(parts[i]), received) + '\0';
    bytes += EmptyPartsAfter(partCount);
    bytes += WordBytes(Words("Pw12:" + samples + "eom"));
    return bytes;
}

void CReportDownload::BeginAttempt() {
    if (!m_bOpen) {
        // Whatever a killed run left is put in place before this download
        // could take its name.
        RecoverStaleDownloads();
        CloseFile(false);
        m_nFruitless = 0;
        m_current = m_pending = m_best = Report();
        m_bAskToClear = false;
        m_strFolder.clear();
        m_bWriteFailed = false;
        m_bOpen = true;
    }
    m_bInAttempt = true;
    m_nNewBlocks = 0;
    m_bDiffers = false;
    m_bSuspect = false;
}

bool CReportDownload::EndAttempt() {
    if (!m_bInAttempt)
        return false;
    m_bInAttempt = false;
    if (m_nNewBlocks == 0)
        ++m_nFruitless;
    return m_nFruitless >= kMaxFruitlessAttempts;
}

int CReportDownload::NextBlock() const {
    return m_current.blocks;
}

bool CReportDownload::TakeClearQuestion() {
    const bool ask = m_bAskToClear;
    m_bAskToClear = false;
    return ask;
}

CReportDownload::Verdict CReportDownload::Offer(Part part, const QByteArray& line,
                                                bool confirming) {
    const char* heads[] = {kReplyJointInfo, kReplyNotes, kReplyReserve, kReplySampleHeader};
    qint64 count = 0;
    switch (part) {
    case Part::JointInfo:
    case Part::Notes:
    case Part::Reserve:
        if (!IsCleanBlock(line, heads[int(part)]))
            return line.startsWith(heads[int(part)]) ? Verdict::Damaged : Verdict::NotAnswer;
        TakePart(int(part), line);
        return Verdict::Taken;
    case Part::SampleHeader:
        if (!IsCleanSampleHeader(line, count))
            return line.startsWith(kReplySampleHeader) ? Verdict::Damaged : Verdict::NotAnswer;
        TakePart(3, line);
        return Verdict::Taken;
    case Part::DataBlock:
        return OfferBlock(line, confirming);
    }
    return Verdict::NotAnswer;
}

CReportDownload::Verdict CReportDownload::GiveUp(Part part) {
    if (part == Part::Notes) {
        TakePart(1, kEmptyNotesBlock);
        return Verdict::Taken;
    }
    return part == Part::DataBlock ? Verdict::Cut : Verdict::NotAnswer;
}

void CReportDownload::TakePart(int index, const QByteArray& line) {
    if (!m_bDiffers && index < m_current.partCount) {
        if (line == m_current.parts[index]) {
            // As the earlier attempt had it; a file that could not be made
            // then is tried again.
            if (index == 0 && m_fd < 0)
                CreateFile();
            return;
        }
        // Another report, or the same with other records: kept apart until
        // its header shows what it is.
        m_bDiffers = true;
        m_pending = Report();
        for (int i = 0; i < index; ++i)
            m_pending.parts[i] = m_current.parts[i];
    }
    bool switched = false;
    if (m_bDiffers) {
        m_pending.parts[index] = line;
        m_pending.partCount = index + 1;
        if (index < 3)
            return;
        // The earlier report stays in memory; the longest is placed at the end.
        if (m_best.partCount == 0 || m_current.received > m_best.received)
            m_best = m_current;
        CloseFile(true);
        m_current = m_pending;
        m_pending = Report();
        m_bDiffers = false;
        switched = true;
    } else {
        m_current.parts[index] = line;
        m_current.partCount = index + 1;
    }
    if (index == 3) {
        qint64 count = 0;
        IsCleanSampleHeader(m_current.parts[3], count);
        m_current.announced = count;
    }
    if (switched || (index == 0 && m_fd < 0))
        CreateFile(); // begun with every part that came
    else
        Write(index < 3 ? WordBytes(Words(line)) : BlockPayload(line) + '\0');
}

bool CReportDownload::RepeatsTaken(const QByteArray& payload) const {
    // The very text of a block taken, or records already taken in a row.
    if (payload.isEmpty())
        return false;
    const QByteArray& taken = m_current.samples;
    for (qsizetype at = taken.indexOf(payload); at >= 0; at = taken.indexOf(payload, at + 1)) {
        if (at % kRecordDigits == 0)
            return true;
    }
    return false;
}

bool CReportDownload::BreaksBlockRules(const QByteArray& payload) const {
    const qint64 records = payload.size() / kRecordDigits;
    const qint64 left = m_current.announced - m_current.received;
    // Smaller than the blocks before while more is to come: digits were lost.
    if (records < m_current.largest && records < left)
        return true;
    // Times go forward within the block and from the block before.
    quint16 time = 0;
    bool first = m_current.received == 0;
    if (!first)
        time = TimeOf(m_current.samples, m_current.received - 1);
    for (qint64 r = 0; r < records; ++r) {
        const quint16 next = TimeOf(payload, r);
        if (!first && !Forward(time, next))
            return true;
        time = next;
        first = false;
    }
    return false;
}

CReportDownload::Verdict CReportDownload::OfferBlock(const QByteArray& line, bool confirming) {
    if (!IsDataBlock(line))
        return line.startsWith(kReplyDataBlock) ? Verdict::Damaged : Verdict::NotAnswer;
    const QByteArray payload = BlockPayload(line);
    const qint64 records = payload.size() / kRecordDigits;
    const qint64 left = m_current.announced - m_current.received;
    if (records == 0 && left > 0) {
        // The Vantrek may have lost the rest: asked once more, and if it says
        // so again the download is cut here.
        if (m_bSuspect && m_suspect.isEmpty())
            return confirming ? Verdict::Cut : Verdict::NotAnswer;
        m_bSuspect = true;
        m_suspect.clear();
        return Verdict::Suspect;
    }
    if (RepeatsTaken(payload))
        return Verdict::NotAnswer;
    if (BreaksBlockRules(payload)) {
        // The same text again, asked for once every earlier copy was answered,
        // is what the Vantrek holds.
        const bool same = m_bSuspect && payload == m_suspect;
        if (!same) {
            m_bSuspect = true;
            m_suspect = payload;
            return Verdict::Suspect;
        }
        if (!confirming)
            return Verdict::NotAnswer;
    }
    m_bSuspect = false;
    m_suspect.clear();
    m_current.samples += payload;
    m_current.received += records;
    m_current.largest = std::max(m_current.largest, records);
    ++m_current.blocks;
    ++m_nNewBlocks;
    if (m_fd >= 0)
        Write(WordBytes(Words(line)));
    return m_current.received >= m_current.announced ? Verdict::Complete : Verdict::Taken;
}

bool CReportDownload::CreatePart(const QString& path) {
    // The name must not be a folder or anything but a file.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return false;
    const QString part = path + QStringLiteral(".part");
    const QByteArray name = QFile::encodeName(part);
    // Never over another ".part": one a running program writes, or one left
    // that could not be recovered.
    m_fd = Files().Open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
    if (m_fd < 0)
        return false;
    Files().Lock(m_fd, LOCK_EX | LOCK_NB);
    m_strPart = part;
    m_nWritten = 0;
    m_bWriteFailed = false;
    return true;
}

bool CReportDownload::CreateFile() {
    const bool ok = EnsureReportFolder();
    const Header h = ReadHeader(m_current.parts[0]);
    const QString when = Format(QStringLiteral("%04d-%02d-%02d at %02d-%02d-%02d"),
                                {h.year, h.month, h.day, h.hour, h.minute, h.second});
    const QString shortTitle = QStringLiteral("DL ") + when;
    m_current.title =
        Format(LoadString(IDS_DL_FILE_TITLE_FMT),
               {SafeFileNamePart(h.jobNumber), h.jointNumber, SafeFileNamePart(h.employeeId)}) +
        QStringLiteral(" on ") + when;
    const QString ext = QLatin1Char('.') + LoadString(IDS_REPORT_EXT);
    if (!ok)
        return false;

    m_strFolder = ReportFolder();
    const QString folder = m_strFolder + QLatin1Char('/');
    g_strReportPath = folder + m_current.title + ext;
    bool created = CreatePart(g_strReportPath);
    if (!created) {
        MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + Native(g_strReportPath) + QLatin1Char('\n') +
                       LoadString(IDS_TRYING_TO_SAVE_TO) + shortTitle,
                   QString(), MB_OK | MB_ICONERROR);
        m_current.title = shortTitle;
        g_strReportPath = folder + m_current.title + QStringLiteral(".kjr");
        created = CreatePart(g_strReportPath);
        if (!created)
            MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + Native(g_strReportPath), QString(),
                       MB_OK | MB_ICONERROR);
    }
    if (created) {
        Write(m_current.Bytes());
        return true;
    }
    // Nothing was saved, so nothing is to be shown.
    g_strReportPath.clear();
    ++m_nFailedSaves;
    m_bAskToClear = m_nFailedSaves >= 2;
    return false;
}

void CReportDownload::Write(const QByteArray& bytes) {
    // After the first failure nothing more is written: the file is not the
    // report any more.
    if (m_fd < 0 || m_bWriteFailed)
        return;
    if (WriteAllAt(m_fd, bytes, off_t(m_nWritten)))
        m_nWritten += bytes.size();
    else
        m_bWriteFailed = true;
}

void CReportDownload::CloseFile(bool remove) {
    if (m_fd < 0)
        return;
    if (remove)
        Files().Unlink(QFile::encodeName(m_strPart).constData());
    Files().Close(m_fd);
    m_fd = -1;
}

CReportDownload::Outcome CReportDownload::Finish(End end) {
    Outcome outcome;
    if (!m_bOpen)
        return outcome;
    m_bOpen = false;
    m_bInAttempt = false;
    const bool complete = end == End::Complete;
    if (!complete && m_best.received > m_current.received) {
        // The longest attempt is an earlier one: its file is made anew.
        CloseFile(true);
        m_current = m_best;
        m_bWriteFailed =
            m_strFolder.isEmpty() ||
            !CreatePart(m_strFolder + QLatin1Char('/') + m_current.title + QStringLiteral(".kjr"));
        Write(m_current.Bytes());
    }
    if (m_current.partCount == 0) {
        CloseFile(true);
        if (end == End::Cut)
            MessageBox(QStringLiteral("The download was cut off before any of the report "
                                      "came.\n\nNothing was saved."),
                       QString(), MB_OK | MB_ICONEXCLAMATION);
        return outcome;
    }
    const QString target =
        m_strFolder + QLatin1Char('/') + m_current.title + QStringLiteral(".kjr");
    if (m_fd < 0 && !m_bWriteFailed)
        return outcome; // the file could not be made: the report was received, not stored
    if (m_bWriteFailed || Files().Fsync(m_fd) != 0) {
        // What was written stays beside the name, to be recovered later.
        CloseFile(false);
        MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + Native(target), QString(),
                   MB_OK | MB_ICONERROR);
        return outcome;
    }
    const QByteArray bytes = m_current.Bytes();
    const QByteArray done = complete ? bytes : m_current.CutBytes();
    const QString base =
        complete ? m_current.title : m_current.title + QLatin1String(kIncompleteMark);
    bool moved = false;
    QString name = PlaceReportFile(m_strPart, m_strFolder, base, done, moved);
    // Completed only under its new name, so it never looks whole under the
    // report's own.
    if (moved && done != bytes && !RewriteInPlace(m_fd, bytes, done))
        name.clear();
    CloseFile(false);
    if (name.isEmpty()) {
        MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + Native(target), QString(),
                   MB_OK | MB_ICONERROR);
        return outcome;
    }
    outcome.placed = true;
    outcome.path = m_strFolder + QLatin1Char('/') + name;
    if (!complete) {
        MessageBox(CutDownloadMessage(m_current.received,
                                      m_current.partCount < 4 ? -1 : m_current.announced, name),
                   QString(), MB_OK | MB_ICONEXCLAMATION);
    } else if (name != NumberedReportName(base, 1)) {
        MessageBox(BesideNamesakeMessage(name), QString(), MB_OK | MB_ICONINFORMATION);
    }
    BackUpReport(done, base);
    return outcome;
}
