#pragma once
// Block replies: a five-character head ("Pw02:" ...), a payload of hexadecimal
// words, and "eom" as the very last three characters of the line.

#include <QByteArray>
#include <QtGlobal>
#include <vector>

inline constexpr char kReplyStatus[] = "Pw01"; // not a block: no colon
inline constexpr char kReplyJointInfo[] = "Pw02:";
inline constexpr char kReplyNotes[] = "Pw03:";
inline constexpr char kReplyReserve[] = "Pw04:";
inline constexpr char kReplySampleHeader[] = "Pw11:";
inline constexpr char kReplyDataBlock[] = "Pw12:";
// Stands in for a notes block that did not come: 999, an empty text, 999,
// an empty text.
inline constexpr char kEmptyNotesBlock[] = "Pw03:03e70000000003e700000000eom";

// True when `line` begins with `head` (five characters) and ends in "eom".
bool IsBlockReply(const QByteArray& line, const char* head);

// The payload: from position 5 up to the last three characters.
QByteArray BlockPayload(const QByteArray& line);

// The payload's groups of four hexadecimal digits as 16-bit words (a trailing
// group of fewer digits is dropped). False when a group holds anything but a
// hexadecimal digit; `words` then holds the groups before it.
bool BlockWords(const QByteArray& line, std::vector<quint16>& words);

// The words as the report file keeps them: two bytes each, low byte first.
QByteArray WordBytes(const std::vector<quint16>& words);
