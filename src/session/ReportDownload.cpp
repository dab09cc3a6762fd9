#include "session/ReportDownload.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"
#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "link/StatusReply.h"
#include "platform/MessageBox.h"
#include "platform/WholeFile.h"
#include "session/ReportStorage.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kMaxNameChars = 20;
// The sample count's place in the header text (after "Pw11:").
constexpr int kHeaderCountPos = 15;

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

std::vector<quint16> Words(const QByteArray& line) {
    std::vector<quint16> words;
    BlockWords(line, words);
    return words;
}
} // namespace

void CReportDownload::Reset() {
    CloseFile(false);
    m_strFileTitle.clear();
    m_nRecordsLeft = 0;
    m_nFailedSaves = 0;
    m_nBlock = 0;
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

bool CReportDownload::Write(const QByteArray& bytes) {
    if (m_fileReport.write(bytes) != bytes.size())
        m_bWriteFailed = true;
    return !m_bWriteFailed;
}

bool CReportDownload::CreateFile(const QString& path) {
    // The name must be free, or hold a report that the finished download may
    // replace.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return false;
    m_strPath = path;
    m_fileReport.setFileName(path + QStringLiteral(".part"));
    return m_fileReport.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool CReportDownload::SaveReportHeader(const QByteArray& line) {
    // A download that starts again (the link was reset in the middle) first
    // finishes the file it had begun.
    CloseFile(false);
    const bool ok = EnsureReportFolder();
    const Header h = ReadHeader(line);
    const QString when = Format(QStringLiteral("%04d-%02d-%02d at %02d-%02d-%02d"),
                                {h.year, h.month, h.day, h.hour, h.minute, h.second});
    const QString shortTitle = QStringLiteral("DL ") + when;
    m_strFileTitle =
        Format(LoadString(IDS_DL_FILE_TITLE_FMT),
               {SafeFileNamePart(h.jobNumber), h.jointNumber, SafeFileNamePart(h.employeeId)}) +
        QStringLiteral(" on ") + when + QLatin1Char('.') + LoadString(IDS_REPORT_EXT);
    if (!ok)
        return false;

    const QString folder = ReportFolder() + QLatin1Char('/');
    g_strReportPath = folder + m_strFileTitle;
    m_bFileOpen = false;
    m_bWriteFailed = false;
    bool created = CreateFile(g_strReportPath);
    if (!created) {
        MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + QDir::toNativeSeparators(g_strReportPath) +
                       QLatin1Char('\n') + LoadString(IDS_TRYING_TO_SAVE_TO) + shortTitle,
                   QString(), MB_OK | MB_ICONERROR);
        m_strFileTitle = shortTitle + QStringLiteral(".kjr");
        g_strReportPath = folder + m_strFileTitle;
        created = CreateFile(g_strReportPath);
        if (!created)
            MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) +
                           QDir::toNativeSeparators(g_strReportPath),
                       QString(), MB_OK | MB_ICONERROR);
    }
    if (created) {
        m_bFileOpen = true;
        m_nPartsWritten = 1;
        m_nCountOffset = -1;
        m_nSampleBytes = 0;
        m_nSamplesAnnounced = 0;
        Write(QByteArray(kProtocolVersion));
        Write(WordBytes(Words(line)));
        return false;
    }
    // Nothing was saved, so nothing is to be shown.
    g_strReportPath.clear();
    ++m_nFailedSaves;
    return m_nFailedSaves >= 2;
}

int CReportDownload::AppendBlockWords(const QByteArray& line) {
    const int digits = std::max(0, static_cast<int>(line.size()) - 8);
    if (!m_bFileOpen)
        return digits;
    const QByteArray bytes = WordBytes(Words(line));
    Write(bytes);
    if (m_nPartsWritten < 3)
        ++m_nPartsWritten; // notes, then reserve data
    else
        m_nSampleBytes += bytes.size();
    return digits;
}

void CReportDownload::SaveSampleHeader(const QByteArray& line) {
    if (!m_bFileOpen)
        return;
    const QByteArray text = line.mid(5, std::max<qsizetype>(0, line.size() - 8));
    const qint64 start = m_fileReport.pos();
    Write(text + '\0');
    m_nPartsWritten = 4;
    m_nRecordsLeft = SpanNumber(line, 20, static_cast<int>(line.size()));
    // Remember the sample count's digits, to put right what a cut-off
    // download announced but never sent.
    int digits = 0;
    while (kHeaderCountPos + digits < text.size() && text[kHeaderCountPos + digits] >= '0' &&
           text[kHeaderCountPos + digits] <= '9')
        ++digits;
    m_nCountOffset = digits > 0 ? start + kHeaderCountPos : -1;
    m_nCountDigits = digits;
    m_nSamplesAnnounced = text.mid(kHeaderCountPos, digits).toLongLong();
}

QString CReportDownload::KeptAsideMessage(const QString& kept, const QString& aside) {
    return QStringLiteral("The download was cut off.\n\nThe report saved before under its "
                          "name is kept:\n") +
           kept + QStringLiteral("\n\nWhat arrived is saved as:\n") + aside;
}

CReportDownload::Placed CReportDownload::CloseFile(bool complete) {
    if (!m_bFileOpen)
        return Placed::Saved;
    if (!complete) {
        // Complete what a cut-off download left out: an empty notes block,
        // empty reserve data and an empty sample header, so the file keeps
        // its layout.
        if (m_nPartsWritten < 2)
            Write(WordBytes(Words(QByteArray(kEmptyNotesBlock))));
        if (m_nPartsWritten < 3)
            Write(QByteArray(10, '\0')); // demo flag 0, two empty texts with their zero words
        if (m_nPartsWritten < 4)
            Write(QByteArray(1, '\0'));
    }
    // Announce only the samples that came, so no reader looks for the rest.
    const qint64 received = m_nSampleBytes / 4;
    if (m_nCountOffset >= 0 && received < m_nSamplesAnnounced) {
        if (!m_fileReport.seek(m_nCountOffset))
            m_bWriteFailed = true;
        else
            Write(QByteArray::number(received).rightJustified(m_nCountDigits, '0'));
    }
    // On the disk before it takes a report's name.
    if (!m_fileReport.flush() || fsync(m_fileReport.handle()) != 0)
        m_bWriteFailed = true;
    m_fileReport.close();
    if (m_fileReport.error() != QFileDevice::NoError)
        m_bWriteFailed = true;
    m_bFileOpen = false;

    const QByteArray part = QFile::encodeName(m_fileReport.fileName());
    if ((!complete || m_bWriteFailed) && QFileInfo::exists(m_strPath)) {
        const QString aside = m_strPath.chopped(4) + QStringLiteral(" (incomplete).kjr");
        if (std::rename(part.constData(), QFile::encodeName(aside).constData()) != 0)
            return Placed::Failed; // what came stays in the ".part" file
        if (m_bWriteFailed)
            return Placed::Failed;
        MessageBox(KeptAsideMessage(QFileInfo(m_strPath).fileName(), QFileInfo(aside).fileName()),
                   QString(), MB_OK | MB_ICONEXCLAMATION);
        return Placed::KeptAside;
    }
    if (std::rename(part.constData(), QFile::encodeName(m_strPath).constData()) != 0)
        m_bWriteFailed = true;
    return m_bWriteFailed ? Placed::Failed : Placed::Saved;
}

bool CReportDownload::CopyToBackup(const QString& backupFolder) const {
    QFile source(m_strPath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = source.size();
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError || bytes.size() != size)
        return false;
    return WriteWholeFile(backupFolder + QLatin1Char('/') + m_strFileTitle, bytes);
}
