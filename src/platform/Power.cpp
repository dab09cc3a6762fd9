#include "platform/Power.h"

#include <QDir>
#include <QFile>

namespace {
std::optional<std::optional<PowerStatus>> g_fake;
int g_idleResets = 0;
bool g_awcPresent = false;

QString ReadLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readLine()).trimmed();
}
} // namespace

std::optional<PowerStatus> ReadPowerStatus() {
    if (g_fake)
        return *g_fake;
    const QDir dir(QStringLiteral("/sys/class/power_supply"));
    const QStringList supplies = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    if (supplies.isEmpty())
        return std::nullopt;
    PowerStatus status;
    for (const QString& name : supplies) {
        const QString base = dir.absoluteFilePath(name) + QLatin1Char('/');
        const QString type = ReadLine(base + QStringLiteral("type"));
        if (type == QLatin1String("Battery") && status.batteryPercent < 0) {
            bool ok = false;
            const int capacity = ReadLine(base + QStringLiteral("capacity")).toInt(&ok);
            if (ok)
                status.batteryPercent = capacity;
            status.charging =
                ReadLine(base + QStringLiteral("status")) == QLatin1String("Charging");
        } else if (type == QLatin1String("Mains") &&
                   ReadLine(base + QStringLiteral("online")) == QLatin1String("1")) {
            status.acOnline = true;
        }
    }
    return status;
}

void SetFakePowerStatus(std::optional<std::optional<PowerStatus>> status) {
    g_fake = std::move(status);
}

void ResetIdleTimer() {
    ++g_idleResets;
}
int IdleTimerResets() {
    return g_idleResets;
}

bool AwcLibraryPresent() {
    return g_awcPresent;
}
void SetFakeAwcLibrary(bool present) {
    g_awcPresent = present;
}
