#include "link/BlockReply.h"

#include <cstring>

namespace {
constexpr int kHeadLength = 5;
constexpr int kEomLength = 3;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

bool IsBlockReply(const QByteArray& line, const char* head) {
    // Head and "eom" may not share characters.
    return std::strlen(head) == kHeadLength && line.size() >= kHeadLength + kEomLength &&
           line.startsWith(head) && line.endsWith("eom");
}

QByteArray BlockPayload(const QByteArray& line) {
    if (line.size() < kHeadLength + kEomLength)
        return QByteArray();
    return line.mid(kHeadLength, line.size() - kHeadLength - kEomLength);
}

bool BlockWords(const QByteArray& line, std::vector<quint16>& words) {
    const QByteArray payload = BlockPayload(line);
    words.clear();
    words.reserve(static_cast<size_t>(payload.size() / 4));
    for (int pos = 0; pos + 4 <= payload.size(); pos += 4) {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigit(payload[pos + i]);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        words.push_back(static_cast<quint16>(value));
    }
    return true;
}

QByteArray WordBytes(const std::vector<quint16>& words) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(words.size() * 2));
    for (const quint16 word : words) {
        bytes.append(static_cast<char>(word & 0xFF));
        bytes.append(static_cast<char>(word >> 8));
    }
    return bytes;
}
