#pragma once
// Reply lines from the Vantrek: bytes up to a line feed, carriage returns
// dropped. A line that has not fully arrived stays in its buffer until the
// next call, so each window keeps one ReplyLine for as long as it talks.

#include <QByteArray>

class ReplyLine {
public:
    static constexpr int kBufferSize = 3000;
    static constexpr int kMaxLength = kBufferSize - 1;

    // The last complete line, without carriage returns and line feed. It may
    // hold NUL bytes, so use this rather than the zero-terminated buffer.
    QByteArray Text() const { return QByteArray(m_szLine, m_nLineLen); }
    const char* Data() const { return m_szLine; }
    int Length() const { return m_nLineLen; }
    // True while a line has begun to arrive but has not ended yet.
    bool Receiving() const { return m_nCount > 0; }
    // Forgets a partial line (the link was reset).
    void Clear() { m_nCount = 0; }

private:
    friend bool ReadReplyLine(ReplyLine& line);
    char m_szLine[kBufferSize] = {};
    int m_nCount = 0;   // characters of the line being received
    int m_nLineLen = 0; // characters of the last complete line
};

// Takes the bytes waiting on the link until a line feed completes a line
// (true) or none is left (false, the partial line is kept). A line longer
// than kMaxLength keeps overwriting its last character, so it ends with the
// last character received. A first byte 0xFF is shown and repaired to 'P'.
bool ReadReplyLine(ReplyLine& line);

// Discards every byte waiting on the link.
void FlushInput();
