#include "platform/Clock.h"

namespace {
std::optional<QDateTime> g_fixedTime;
}

QDateTime CurrentLocalTime() {
    return g_fixedTime ? *g_fixedTime : QDateTime::currentDateTime();
}

qint64 CurrentTimeMs() {
    return g_fixedTime ? g_fixedTime->toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}

void SetFixedLocalTime(std::optional<QDateTime> time) {
    g_fixedTime = std::move(time);
}

bool ClockIsFixed() {
    return g_fixedTime.has_value();
}
