#pragma once
// A report download as a transaction: every reply is verified before it is
// taken, and nothing is placed until the download ends. The Log/Status
// window asks for the parts; this judges each answer, keeps what was taken
// (a report is at most a few hundred kB), writes it as it comes to
// "<name>.kjr.part" under a lock (so a killed run leaves what came), and at
// the end puts exactly one file in place: the complete report, or the longest
// cut attempt, under a name that says so (ReportPlacing).
//
// A download may take several attempts: each begins with "Wp2R". One whose
// records before the samples equal the earlier attempt's resumes at the
// first block not yet taken; three attempts that bring no new block end the
// download.

#include <QByteArray>
#include <QString>

class CReportDownload {
public:
    CReportDownload() = default;
    ~CReportDownload();
    CReportDownload(const CReportDownload&) = delete;
    CReportDownload& operator=(const CReportDownload&) = delete;

    // The parts in the order they are asked for.
    enum class Part { JointInfo, Notes, Reserve, SampleHeader, DataBlock };
    enum class Verdict {
        Taken,     // taken: the next part may be asked for
        NotAnswer, // cannot be the answer (a stray, a copy of a line seen): dropped
        Damaged,   // the answer came damaged: to be asked for again
        Suspect,   // a block that breaks a rule of the blocks: to be asked for again once
                   // earlier copies are answered; the same text then is what the Vantrek holds
        Complete,  // the last records came: the download is complete
        Cut,       // the download is cut here
    };

    // Times an attempt may bring no new block before the download ends.
    static constexpr int kMaxFruitlessAttempts = 3;

    bool IsOpen() const { return m_bOpen; }
    // "Wp2R" goes out: an attempt begins, and with the first the download
    // (".part" files that no running program holds are recovered first).
    void BeginAttempt();
    bool InAttempt() const { return m_bInAttempt; }
    // The attempt ends without the download ending: the link was restarted,
    // or the Vantrek no longer offers the report. True when it was the third
    // to bring no new block: the download is to end, cut.
    bool EndAttempt();

    // An answer to the request for `part`. `confirming`: it answers a request
    // sent again after every earlier copy's answer has come.
    Verdict Offer(Part part, const QByteArray& line, bool confirming);
    // The request for `part` went as often as it may and its answer stayed
    // damaged: the notes make do with the empty block, a data block cuts the
    // download, the other parts are waited for (NotAnswer).
    Verdict GiveUp(Part part);
    // The data block to ask for next.
    int NextBlock() const;
    // A report that could not be created twice in a row: the operator may let
    // the Vantrek delete it. True once after such a failure.
    bool TakeClearQuestion();
    // Writing the report failed: it stops, and the file never takes the
    // report's name.
    bool WriteFailed() const { return m_bWriteFailed; }
    // Reports that could not be saved since the last ordinary status reply.
    int m_nFailedSaves = 0;

    // How the download ends.
    enum class End {
        Complete, // the last records came
        Cut,      // cut by its rules: the operator is told what came
        Closing,  // the window is going: what came is kept, and said
    };
    struct Outcome {
        bool placed = false; // a file was put in place
        QString path;        // the file the window shows
    };
    // Ends the download: places exactly one file (the complete report, or
    // the longest cut attempt) and its backup, and tells the operator what
    // is not plain. Nothing when no download is open.
    Outcome Finish(End end);

    // A clean "Pw02:" block: the first part of a report.
    static bool IsReportStart(const QByteArray& line);

    // The file title's parts, read from a "Pw02:" block's payload.
    struct Header {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        QString employeeId;
        QString jobNumber;
        int jointNumber = 0;
    };
    static Header ReadHeader(const QByteArray& line);

private:
    // One report as its attempts brought it.
    struct Report {
        QByteArray parts[4]; // the "Pw02:", "Pw03:", "Pw04:" and "Pw11:" lines as taken
        int partCount = 0;
        QByteArray samples; // the data blocks' payloads, back to back
        qint64 received = 0;
        qint64 announced = -1;
        qint64 largest = 0; // records of the largest block
        int blocks = 0;
        QString title; // the file's name without ".kjr"
        // The file as far as the report came.
        QByteArray Bytes() const;
        // The same made readable: the parts that never came empty, the
        // header counting what came.
        QByteArray CutBytes() const;
    };
    void TakePart(int index, const QByteArray& line);
    Verdict OfferBlock(const QByteArray& line, bool confirming);
    bool BreaksBlockRules(const QByteArray& payload) const;
    bool RepeatsTaken(const QByteArray& payload) const;
    // The report file of m_current: named, created beside its name and
    // begun; false when it could not be.
    bool CreateFile();
    bool CreatePart(const QString& path);
    void Write(const QByteArray& bytes);
    void CloseFile(bool remove);

    bool m_bOpen = false;
    bool m_bInAttempt = false;
    int m_nFruitless = 0;
    int m_nNewBlocks = 0; // blocks this attempt brought
    bool m_bDiffers = false;
    Report m_current; // the report written to the file
    Report m_pending; // a later attempt's records once they differ from m_current's
    Report m_best;    // the longest earlier report whose records differed
    // A block that broke a rule, and whether it was an empty one.
    QByteArray m_suspect;
    bool m_bSuspect = false;
    bool m_bAskToClear = false;

    int m_fd = -1;
    QString m_strFolder;
    QString m_strPart;
    qint64 m_nWritten = 0;
    bool m_bWriteFailed = false;
};
