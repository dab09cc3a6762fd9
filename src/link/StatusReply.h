#pragma once
// The Vantrek's status reply "Pw01", taken apart into its fields. Each field
// keeps whether its tag stood in place; the texts are the raw spans of the
// line, cut short where the line is.

#include <QByteArray>

struct StatusReply {
    bool bLogState = false; // 'L' at 4
    char cLogState = 0;     // '1' logging, '2' a report is waiting, else idle

    bool bProgress = false; // 'r' at 6 and 'e' at 12
    QByteArray records;     // five characters, right-aligned
    QByteArray elapsed;     // seven characters, for example "0:00:00"

    bool bStopwatch = false; // 's' at 20
    QByteArray stopwatch;    // seven characters

    bool bPressure = false; // 'p' at 28
    int nPressure = 0;      // psi

    int nTemperature = 0; // °F; always read
    char cTempFlag = 0;   // '1' when a temperature is to be shown

    bool bBattery = false; // 'b' at 39
    int nBattery = 0;

    bool bIdent = false;        // 'i' at 43
    QByteArray model;           // four characters
    QByteArray version;         // six characters
    QByteArray year;            // four characters
    QByteArray month;           // two characters
    QByteArray day;             // two characters
    QByteArray identRest;       // from the year on, to the end of the line
    char versionDigits[3] = {}; // the characters at 55, 57 and 59
};

// True when `line` is a status reply (begins with "Pw01", more than 42
// characters); `reply` then holds its fields.
bool DecodeStatusReply(const QByteArray& line, StatusReply& reply);

// True when a status reply came undamaged: every byte printable ASCII, and
// every numeric field it carries a number (leading blanks and a sign
// allowed). A damaged reply is to change nothing.
bool IsCleanStatusReply(const QByteArray& line);

// A numeric field: the decimal number at the start of `length` characters from
// `pos` (leading blanks and a sign allowed), 0 when there is none.
int SpanNumber(const QByteArray& line, int pos, int length);
