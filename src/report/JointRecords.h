#pragma once
// The three records that describe a joint to the Vantrek: joint information
// ("Wp02:"), notes ("Wp03:") and reserve data ("Wp04:"). They are built one at
// a time in the Log/Status window's 1034-byte command buffer, as ASCII text
// ended by a NUL, and sent from there unchanged.

#include <QByteArray>
#include <QString>
#include <memory>

class CJointRecords {
public:
    static constexpr int kBufferSize = 1034;
    // The longest record text before "eom\r\n" is added.
    static constexpr int kMaxRecordText = 1021;

    // RecordBuildState values.
    static constexpr int kNoRecord = 0;
    static constexpr int kBuilding = 1;
    static constexpr int kJointInfoReady = 2;
    static constexpr int kNotesReady = 3;
    static constexpr int kReserveReady = 4;

    // The buffer is allocated when the window opens; false when that failed.
    bool Allocate();
    void Free();
    bool HasBuffer() const { return m_pCmdBuf != nullptr; }
    // The record text (empty without a buffer).
    QByteArray Text() const;

    void BuildJointInfoRecord();
    void BuildNotesRecord();
    // `vantrekId` is the session's identification text; it is sent in the
    // record and then set to "------".
    void BuildReserveRecord(QByteArray& vantrekId);

    void AppendIntField(int value);
    void AppendTextField(const QString& text);

    int RecordBuildState = kNoRecord;

private:
    bool Begin(const char* prefix);
    void Finish(int readyState, bool anyNonZero, const QString& failure);
    bool Fits(int moreChars) const;
    void Append(const char* text, int length);
    void Overflow();

    std::unique_ptr<char[]> m_pCmdBuf;
    int m_nLength = 0;
};
