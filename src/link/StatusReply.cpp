#include "link/StatusReply.h"

#include <algorithm>

namespace {
bool TagAt(const QByteArray& line, int pos, char tag) {
    return pos < line.size() && line[pos] == tag;
}

char CharAt(const QByteArray& line, int pos) {
    return pos < line.size() ? line[pos] : '\0';
}

// Blanks, a sign, then digits to the end of the span (cut short where the
// line is): at least one.
bool IsNumberSpan(const QByteArray& line, int pos, int length) {
    const QByteArray span = line.mid(pos, length);
    int i = 0;
    while (i < span.size() && span[i] == ' ')
        ++i;
    if (i < span.size() && (span[i] == '-' || span[i] == '+'))
        ++i;
    const int digits = i;
    for (; i < span.size(); ++i) {
        if (span[i] < '0' || span[i] > '9')
            return false;
    }
    return i > digits;
}
} // namespace

int SpanNumber(const QByteArray& line, int pos, int length) {
    const QByteArray span = line.mid(pos, length);
    int i = 0;
    while (i < span.size() && (span[i] == ' ' || span[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < span.size() && (span[i] == '-' || span[i] == '+'))
        negative = span[i++] == '-';
    int value = 0;
    // Digits beyond the ninth are read and dropped: a wild span cannot overflow.
    for (; i < span.size() && span[i] >= '0' && span[i] <= '9'; ++i) {
        if (value < 100000000)
            value = value * 10 + (span[i] - '0');
    }
    return negative ? -value : value;
}

bool IsCleanStatusReply(const QByteArray& line) {
    if (!std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c <= 0x7e; }))
        return false;
    if (TagAt(line, 6, 'r') && TagAt(line, 12, 'e') && !IsNumberSpan(line, 7, 5))
        return false;
    if (TagAt(line, 28, 'p') && !IsNumberSpan(line, 29, 4))
        return false;
    if (TagAt(line, 39, 'b') && !IsNumberSpan(line, 40, 3))
        return false;
    return IsNumberSpan(line, 34, 3);
}

bool DecodeStatusReply(const QByteArray& line, StatusReply& reply) {
    if (!line.startsWith("Pw01") || line.size() <= 42)
        return false;
    reply = StatusReply();

    reply.bLogState = TagAt(line, 4, 'L');
    if (reply.bLogState)
        reply.cLogState = CharAt(line, 5);

    reply.bProgress = TagAt(line, 6, 'r') && TagAt(line, 12, 'e');
    if (reply.bProgress) {
        reply.records = line.mid(7, 5);
        reply.elapsed = line.mid(13, 7);
    }

    reply.bStopwatch = TagAt(line, 20, 's');
    if (reply.bStopwatch)
        reply.stopwatch = line.mid(21, 7);

    reply.bPressure = TagAt(line, 28, 'p');
    if (reply.bPressure)
        reply.nPressure = SpanNumber(line, 29, 4);

    reply.nTemperature = SpanNumber(line, 34, 3);
    reply.cTempFlag = CharAt(line, 38);

    reply.bBattery = TagAt(line, 39, 'b');
    if (reply.bBattery)
        reply.nBattery = SpanNumber(line, 40, 3);

    reply.bIdent = TagAt(line, 43, 'i');
    if (reply.bIdent) {
        reply.model = line.mid(49, 4);
        reply.version = line.mid(54, 6);
        reply.year = line.mid(61, 4);
        reply.month = line.mid(65, 2);
        reply.day = line.mid(67, 2);
        reply.identRest = line.mid(61);
        reply.versionDigits[0] = CharAt(line, 55);
        reply.versionDigits[1] = CharAt(line, 57);
        reply.versionDigits[2] = CharAt(line, 59);
    }
    return true;
}
