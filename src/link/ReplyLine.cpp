#include "link/ReplyLine.h"

#include "link/Link.h"
#include "platform/MessageBox.h"

namespace {
// However fast a faulty device floods the link, one call returns after this
// many bytes; the rest waits for the next timer tick.
constexpr int kMaxBytesPerCall = 64 * 1024;
} // namespace

bool ReadReplyLine(ReplyLine& line) {
    unsigned char byte = 0;
    for (int taken = 0; taken < kMaxBytesPerCall && LinkGetByte(byte); ++taken) {
        if (byte == '\r')
            continue;
        if (byte == '\n') {
            line.m_szLine[line.m_nCount] = '\0';
            line.m_nLineLen = line.m_nCount;
            line.m_nCount = 0;
            // The first byte of a reply sometimes arrives damaged as 0xFF
            // when the radio link wakes up; it can only have been the 'P'
            // of a reply name.
            if (line.m_nLineLen > 0 && static_cast<unsigned char>(line.m_szLine[0]) == 0xFF) {
                MessageBox(QStringLiteral("First byte was 0xFF.  Changed to 'P'"));
                line.m_szLine[0] = 'P';
            }
            return true;
        }
        // Past the limit the last place is overwritten, leaving room for the
        // terminator, so the line keeps the character received last.
        if (line.m_nCount >= ReplyLine::kMaxLength)
            line.m_nCount = ReplyLine::kMaxLength - 1;
        line.m_szLine[line.m_nCount++] = static_cast<char>(byte);
    }
    return false;
}

void FlushInput() {
    unsigned char byte = 0;
    for (int taken = 0; taken < kMaxBytesPerCall && LinkGetByte(byte); ++taken) {
    }
}
