#include "platform/DeviceRoot.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString g_root;
}

QString DeviceRoot() {
    if (!g_root.isEmpty())
        return g_root;
    const QString env = qEnvironmentVariable("VTQ_ROOT");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir::cleanPath(data + QStringLiteral("/Kelvorn/Kelvorn VTQ-PPC"));
}

void SetDeviceRoot(const QString& path) {
    g_root = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
}

QString DevicePath(const QString& handheldPath) {
    QString relative = handheldPath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    return relative.isEmpty() ? DeviceRoot() : DeviceRoot() + QLatin1Char('/') + relative;
}
