#pragma once
// The local date and time as the program sees it; tests fix it.

#include <QDateTime>
#include <optional>

QDateTime CurrentLocalTime();

// Makes CurrentLocalTime() return `time` (or the real clock again with nullopt).
void SetFixedLocalTime(std::optional<QDateTime> time);
