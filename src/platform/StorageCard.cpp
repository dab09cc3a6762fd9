#include "platform/StorageCard.h"

#include <QDir>

namespace {
QStringList g_roots;

QStringList Roots() {
    if (!g_roots.isEmpty())
        return g_roots;
    const QString user = qEnvironmentVariable("USER");
    QStringList roots;
    if (!user.isEmpty())
        roots << QStringLiteral("/media/") + user << QStringLiteral("/run/media/") + user;
    roots << QStringLiteral("/media") << QStringLiteral("/mnt");
    return roots;
}
} // namespace

QString FindStorageCard() {
    for (const QString& root : Roots()) {
        const QDir dir(root);
        const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : names)
            if (name.contains(QStringLiteral("Card")))
                return dir.absoluteFilePath(name);
    }
    return QString();
}

QStringList StorageCardRoots() {
    return Roots();
}

void SetStorageCardRoots(const QStringList& roots) {
    g_roots = roots;
}
