#pragma once
// Where a downloaded report is kept, and under which name. A report never
// takes the place of another file: a complete one takes its own name, or goes
// beside a namesake that holds other bytes as "<name> (2).kjr"; a cut one is
// "<name> (incomplete).kjr", its missing parts filled so a reader can open it
// and its header counting only what came. Each folder is flushed to the disk
// after a file is put in it. A ".part" file left by a run that was killed is
// recovered the same way.

#include <QByteArray>
#include <QString>

// The parts a report file holds, as far as they are whole in `bytes`.
struct ReportLayout {
    qsizetype notesAt = -1;   // after the joint information
    qsizetype reserveAt = -1; // after the notes
    qsizetype headerAt = -1;  // after the reserve data
    qsizetype samplesAt = -1; // after the sample header's zero byte
    qint64 announced = -1;    // the header's sample count
    qint64 present = 0;       // whole samples in the file
    // Every announced sample is there.
    bool Whole() const { return samplesAt >= 0 && announced <= present; }
};
ReportLayout ReadReportLayout(const QByteArray& bytes);

// What a cut report is given for the parts that never came, when `parts` of
// the joint information, notes, reserve data and sample header did.
QByteArray EmptyPartsAfter(int parts);
// The sample header's text counting `received` samples where it announced
// more.
QByteArray HeaderCounting(const QByteArray& text, qint64 received);

// A report file cut anywhere made readable: the parts that never came as
// empty ones, a half sample dropped, and the header's count lowered to the
// samples there. A whole report comes back as it is; one whose joint
// information is not whole comes back empty (nothing to mend).
QByteArray CompleteCutReport(const QByteArray& bytes);

// The marks a report's name carries when it did not come whole.
inline constexpr char kIncompleteMark[] = " (incomplete)";
inline constexpr char kRecoveredMark[] = " (recovered)";

// Makes the open file `fd`, which holds `written`, hold `bytes`: from the
// first byte that differs on, then flushed to the disk.
bool RewriteInPlace(int fd, const QByteArray& written, const QByteArray& bytes);

// Puts the file `part`, which holds or will hold `bytes`, into `folder` under
// the first of "<base>.kjr", "<base> (2).kjr", ... that is free or already
// holds exactly `bytes` (then `part` is removed). Returns the name taken, or
// an empty text when it could not be placed; `moved` says whether `part` now
// has that name. The folder is flushed to the disk.
QString PlaceReportFile(const QString& part, const QString& folder, const QString& base,
                        const QByteArray& bytes, bool& moved);

// Copies `bytes` to the storage card's backup folder under the same rule of
// names, never over an older copy. Nothing when the vendor library is
// present; the operator is told when the copy fails (or no card is there).
void BackUpReport(const QByteArray& bytes, const QString& base);

// What the operator is told of a cut download: how many of the announced
// records came (`announced` below 0 when the header never came), and where
// what came is kept.
QString CutDownloadMessage(qint64 received, qint64 announced, const QString& file);
// Told when a complete report went beside a namesake that holds another one.
QString BesideNamesakeMessage(const QString& file);

// Told when a ".part" left by a run that was killed was put in place.
QString RecoveredDownloadMessage(bool whole, qint64 received, qint64 announced,
                                 const QString& file);

// Recovers every "….kjr.part" in the report folder that no running program
// holds: a whole one takes its name (or goes beside a namesake), a cut one
// becomes "<name> (recovered).kjr"; each gets its backup and the operator
// is told. One without a whole joint information block is removed.
void RecoverStaleDownloads();
