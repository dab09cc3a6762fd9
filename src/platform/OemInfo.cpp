#include "platform/OemInfo.h"

#include "platform/Power.h"

#include <QFile>
#include <QSysInfo>

namespace {
std::optional<std::optional<QString>> g_fakeOem;
std::optional<QString> g_awcSerial;
quint32 g_awcRevision = 0;

// The handheld's buffer held 256 characters with its terminator.
constexpr int kOemInfoMax = 255;

QString ReadDmi(const char* name) {
    QFile file(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.read(kOemInfoMax)).trimmed();
}
} // namespace

bool GetOemInfo(QString& text) {
    if (g_fakeOem) {
        if (!*g_fakeOem)
            return false;
        text = **g_fakeOem;
        return true;
    }
    QString info = (ReadDmi("sys_vendor") + QLatin1Char(' ') + ReadDmi("product_name")).trimmed();
    if (info.isEmpty())
        info = QSysInfo::machineHostName();
    if (info.isEmpty())
        return false;
    text = info.left(kOemInfoMax);
    return true;
}

void SetFakeOemInfo(std::optional<std::optional<QString>> text) {
    g_fakeOem = std::move(text);
}

bool AwcGetSerialNumber(QString& serial) {
    if (!AwcLibraryPresent() || !g_awcSerial)
        return false;
    serial = g_awcSerial->left(255);
    return true;
}

quint32 AwcGetProductOSRevision() {
    return AwcLibraryPresent() ? g_awcRevision : 0;
}

void SetFakeAwcAnswers(std::optional<QString> serial, quint32 revision) {
    g_awcSerial = std::move(serial);
    g_awcRevision = revision;
}
