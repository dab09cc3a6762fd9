#pragma once
// The local date and time as the program sees it; tests fix it.

#include <QDateTime>
#include <optional>

QDateTime CurrentLocalTime();
// The same instant in milliseconds since 1970, UTC: no time zone is looked
// at, so any thread may ask.
qint64 CurrentTimeMs();

// Makes CurrentLocalTime() return `time` (or the real clock again with nullopt).
void SetFixedLocalTime(std::optional<QDateTime> time);
// Whether a test fixed the time: then even a clock that is not the host's
// (a database server's) is read from here.
bool ClockIsFixed();
