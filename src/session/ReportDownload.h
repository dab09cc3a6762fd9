#pragma once
// The report file that a download writes, block by block as the Vantrek
// sends the joint report: the version text, the three joint records, the
// sample header and the samples, in that order. It is written beside its
// name ("….kjr.part") and put in place when it is closed, so a download that
// is cut off never takes the place of a report already saved under its name.

#include <QByteArray>
#include <QFile>
#include <QString>

class CReportDownload {
public:
    // Forgets everything of an earlier download; the file is closed first.
    void Reset();

    // The "Pw02:" block: names the report after its job, joint, operator and
    // time, creates the file in the report folder (or under a short name when
    // the long one is refused) and writes the version and the block. Counts a
    // report that could not be saved at all; true when the operator should be
    // offered to let the Vantrek delete it.
    bool SaveReportHeader(const QByteArray& line);

    // Writes the words of a block reply when the file is open; returns the
    // number of hexadecimal digits in its payload.
    int AppendBlockWords(const QByteArray& line);
    // The "Pw11:" block: its text and a zero byte; the records to come.
    void SaveSampleHeader(const QByteArray& line);

    enum class Placed {
        Saved,     // the report is whole at its name
        KeptAside, // cut off: the report already at its name stays, and what
                   // came is kept beside it as "… (incomplete).kjr"
        Failed,    // not written in full, or not put in place
    };
    // Closes the file and puts it in place. A download cut short is completed
    // first, so that the file always holds every part a report reader
    // expects; it replaces no report saved before under its name, and says so
    // when it is kept aside.
    Placed CloseFile(bool complete);
    // What the operator is told when a cut-off download is kept aside.
    static QString KeptAsideMessage(const QString& kept, const QString& aside);
    // Copies the saved report to the backup folder; false when it cannot.
    bool CopyToBackup(const QString& backupFolder) const;

    bool IsFileOpen() const { return m_bFileOpen; }
    QString FileTitle() const { return m_strFileTitle; }
    int m_nRecordsLeft = 0;
    int m_nFailedSaves = 0;
    int m_nBlock = 0;

    // The file title's parts, read from a "Pw02:" block's payload.
    struct Header {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        QString employeeId;
        QString jobNumber;
        int jointNumber = 0;
    };
    static Header ReadHeader(const QByteArray& line);

private:
    bool Write(const QByteArray& bytes);
    bool CreateFile(const QString& path);

    QFile m_fileReport; // the file's ".part" while it is written
    QString m_strPath;  // where it goes when it is closed
    bool m_bFileOpen = false;
    QString m_strFileTitle;
    bool m_bWriteFailed = false;
    // How far the file got: 1 joint information, 2 notes, 3 reserve data,
    // 4 sample header; and where the header's sample count stands.
    int m_nPartsWritten = 0;
    qint64 m_nCountOffset = -1;
    int m_nCountDigits = 0;
    qint64 m_nSamplesAnnounced = 0;
    qint64 m_nSampleBytes = 0;
};
