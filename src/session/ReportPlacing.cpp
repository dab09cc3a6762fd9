#include "session/ReportPlacing.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"
#include "link/BlockReply.h"
#include "platform/FileOps.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "report/DownloadName.h"
#include "report/ReportFields.h"
#include "session/ReportStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace {
constexpr qsizetype kVersionBytes = 10;
constexpr int kMaxTextChars = 300;
constexpr int kMaxHeaderChars = 99;
constexpr qsizetype kCountPos = 15; // the sample count's place in the header
// Names tried beside a namesake before giving up.
constexpr int kMaxNumber = 999;
const QString kPartSuffix = QStringLiteral(".part");

quint16 WordAt(const QByteArray& bytes, qsizetype pos) {
    return static_cast<quint16>(static_cast<quint8>(bytes[pos]) |
                                (static_cast<quint8>(bytes[pos + 1]) << 8));
}

// Moves `pos` past the fields `first` to `last`; false when they do not lie
// whole in `bytes` (or a text is longer than any reader takes).
bool SkipFields(const QByteArray& bytes, qsizetype& pos, int first, int last) {
    for (int f = first; f <= last; ++f) {
        if (pos + 2 > bytes.size())
            return false;
        const int count = WordAt(bytes, pos);
        if (!kReportFields[f].text) {
            pos += 2;
            continue;
        }
        if (count > kMaxTextChars)
            return false;
        // An empty text carries one zero word after its count.
        const qsizetype size = 2 + (count == 0 ? 2 : 2 * qsizetype(count));
        if (pos + size > bytes.size())
            return false;
        pos += size;
    }
    return true;
}

// How many digits of the sample count stand at their place in `text`.
int CountDigits(const QByteArray& text) {
    int digits = 0;
    while (kCountPos + digits < text.size() && text[kCountPos + digits] >= '0' &&
           text[kCountPos + digits] <= '9')
        ++digits;
    return digits;
}

QByteArray EmptyNotes() {
    std::vector<quint16> words;
    BlockWords(QByteArray(kEmptyNotesBlock), words);
    return WordBytes(words);
}
// The demonstration flag 0 and two empty texts, each with its zero word.
const QByteArray kEmptyReserve(10, '\0');

bool SameBytes(const QString& path, const QByteArray& bytes) {
    QByteArray existing;
    return ReadWholeFile(path, existing) && existing == bytes;
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}
} // namespace

ReportLayout ReadReportLayout(const QByteArray& bytes) {
    ReportLayout layout;
    qsizetype pos = kVersionBytes;
    if (!SkipFields(bytes, pos, RF_YEAR, RF_HTR_TEMP))
        return layout;
    layout.notesAt = pos;
    if (!SkipFields(bytes, pos, RF_NOTES_MARK_1, RF_NOTES))
        return layout;
    layout.reserveAt = pos;
    if (!SkipFields(bytes, pos, RF_DEMO_MODE, RF_PIPE_AREA))
        return layout;
    layout.headerAt = pos;
    const qsizetype nul = bytes.indexOf('\0', pos);
    if (nul < 0 || nul - pos > kMaxHeaderChars)
        return layout;
    const QByteArray text = bytes.mid(pos, nul - pos);
    const int digits = CountDigits(text);
    layout.announced = text.mid(kCountPos, std::min(digits, 18)).toLongLong();
    layout.samplesAt = nul + 1;
    layout.present = (bytes.size() - layout.samplesAt) / 4;
    return layout;
}

QByteArray EmptyPartsAfter(int parts) {
    QByteArray empty;
    if (parts < 2)
        empty += EmptyNotes();
    if (parts < 3)
        empty += kEmptyReserve;
    if (parts < 4)
        empty += '\0'; // a header that says nothing
    return empty;
}

QByteArray HeaderCounting(const QByteArray& text, qint64 received) {
    const int digits = CountDigits(text);
    if (digits == 0 || text.mid(kCountPos, std::min(digits, 18)).toLongLong() <= received)
        return text;
    QByteArray counted = text;
    counted.replace(kCountPos, digits, QByteArray::number(received).rightJustified(digits, '0'));
    return counted;
}

QByteArray CompleteCutReport(const QByteArray& bytes) {
    const ReportLayout layout = ReadReportLayout(bytes);
    if (layout.notesAt < 0)
        return QByteArray();
    if (layout.Whole())
        return bytes;
    if (layout.reserveAt < 0)
        return bytes.left(layout.notesAt) + EmptyPartsAfter(1);
    if (layout.headerAt < 0)
        return bytes.left(layout.reserveAt) + EmptyPartsAfter(2);
    if (layout.samplesAt < 0)
        return bytes.left(layout.headerAt) + EmptyPartsAfter(3); // a header cut short
    const QByteArray text = bytes.mid(layout.headerAt, layout.samplesAt - 1 - layout.headerAt);
    return bytes.left(layout.headerAt) + HeaderCounting(text, layout.present) + '\0' +
           bytes.mid(layout.samplesAt, layout.present * 4);
}

bool RewriteInPlace(int fd, const QByteArray& written, const QByteArray& bytes) {
    qsizetype same = 0;
    while (same < written.size() && same < bytes.size() && written[same] == bytes[same])
        ++same;
    return WriteAllAt(fd, bytes.mid(same), off_t(same)) &&
           Files().Truncate(fd, off_t(bytes.size())) == 0 && Files().Fsync(fd) == 0;
}

QString PlaceReportFile(const QString& part, const QString& folder, const QString& base,
                        const QByteArray& bytes, bool& moved) {
    moved = false;
    for (int n = 1; n <= kMaxNumber; ++n) {
        const QString name = NumberedReportName(base, n);
        const QString path = folder + QLatin1Char('/') + name;
        const int error = RenameWithoutReplacing(part, path);
        if (error == 0) {
            moved = true;
        } else if (error != EEXIST) {
            return QString();
        } else if (!SameBytes(path, bytes)) {
            continue; // another report, or one that differs: it stays as it is
        } else {
            Files().Unlink(QFile::encodeName(part).constData());
        }
        // On the disk with its name before anyone is told it is saved.
        return SyncFolderEntries(folder) ? name : QString();
    }
    return QString();
}

void BackUpReport(const QByteArray& bytes, const QString& base) {
    if (AwcLibraryPresent() || !EnsureBackupFolder())
        return;
    const QString folder = g_strBackupFolder;
    const QString temp = folder + QLatin1Char('/') + base + QStringLiteral(".kjr") + kPartSuffix;
    const QByteArray tempName = QFile::encodeName(temp);
    int fd = Files().Open(tempName.constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST) {
        // A copy cut off by a run that was killed: the report itself is safe.
        const int stale = Files().Open(tempName.constData(), O_RDWR, 0);
        if (stale >= 0 && Files().Lock(stale, LOCK_EX | LOCK_NB) == 0)
            Files().Unlink(tempName.constData());
        if (stale >= 0)
            Files().Close(stale);
        fd = Files().Open(tempName.constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
    }
    bool ok = fd >= 0 && Files().Lock(fd, LOCK_EX | LOCK_NB) == 0 && WriteAllAt(fd, bytes, 0) &&
              Files().Fsync(fd) == 0;
    bool moved = false;
    if (ok)
        ok = !PlaceReportFile(temp, folder, base, bytes, moved).isEmpty();
    if (fd >= 0) {
        if (!moved)
            Files().Unlink(tempName.constData());
        Files().Close(fd);
    }
    if (!ok)
        MessageBox(LoadString(IDS_SD_SAVE_FAILED), QString(), MB_OK | MB_ICONERROR);
}

QString CutDownloadMessage(qint64 received, qint64 announced, const QString& file) {
    const QString came = announced < 0
                             ? QStringLiteral("The download was cut off before the records came.")
                             : QStringLiteral("The download was cut off: %1 of %2 records came.")
                                   .arg(received)
                                   .arg(announced);
    return came + QStringLiteral("\n\nWhat came is saved as:\n") + file;
}

QString BesideNamesakeMessage(const QString& file) {
    return QStringLiteral("A different report was saved before under this name. It is "
                          "kept.\n\nThe report is saved as:\n") +
           file;
}

QString RecoveredDownloadMessage(bool whole, qint64 received, qint64 announced,
                                 const QString& file) {
    if (whole)
        return QStringLiteral("A report downloaded before the program stopped is saved as:\n") +
               file;
    return QStringLiteral("The program stopped during a download.\n\n") +
           CutDownloadMessage(received, announced, file);
}

namespace {
// One stale ".part": placed as a whole report or as a recovered cut one.
void Recover(const QString& folder, const QString& part) {
    const QByteArray partName = QFile::encodeName(part);
    const int fd = Files().Open(partName.constData(), O_RDWR, 0);
    if (fd < 0)
        return;
    // A running program writes it still.
    if (Files().Lock(fd, LOCK_EX | LOCK_NB) != 0) {
        Files().Close(fd);
        return;
    }
    QByteArray bytes;
    if (!ReadWholeFile(part, bytes)) {
        Files().Close(fd); // left as it is for a later try
        return;
    }
    const QString title = QFileInfo(part).fileName().chopped(kPartSuffix.size() + 4);
    if (bytes.size() <= kVersionBytes) {
        // Nothing of the report came.
        Files().Unlink(partName.constData());
        Files().Close(fd);
        return;
    }
    // One whose records cannot be read is kept as it came.
    QByteArray done = CompleteCutReport(bytes);
    if (done.isEmpty())
        done = bytes;
    const bool whole = ReadReportLayout(bytes).Whole();
    const QString base = whole ? title : title + QLatin1String(kRecoveredMark);
    bool moved = false;
    QString name = PlaceReportFile(part, folder, base, done, moved);
    // Completed in its new name, so it never looks whole under the old one.
    if (moved && !whole && !RewriteInPlace(fd, bytes, done))
        name.clear();
    Files().Close(fd);
    if (name.isEmpty()) {
        MessageBox(LoadString(IDS_COULD_NOT_SAVE_TO) + Native(part), QString(),
                   MB_OK | MB_ICONERROR);
        return;
    }
    const ReportLayout layout = ReadReportLayout(bytes);
    MessageBox(RecoveredDownloadMessage(whole, layout.present,
                                        layout.samplesAt < 0 ? -1 : layout.announced, name),
               QString(), MB_OK | (whole ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    BackUpReport(done, base);
}
} // namespace

void RecoverStaleDownloads() {
    const QString folder = ReportFolder();
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const QStringList parts =
        dir.entryList({QStringLiteral("*.kjr") + kPartSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : parts)
        Recover(folder, folder + QLatin1Char('/') + name);
}
