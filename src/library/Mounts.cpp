#include "library/Mounts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <blkid/blkid.h>
#include <cstdlib>
#include <optional>
#include <sys/sysmacros.h>

namespace {
// Set by tests before any worker runs; read-only afterwards.
std::optional<std::vector<MountFacts>> g_testMounts;

// Fields of /proc/self/mountinfo escape blanks and backslashes as octal.
QString Unescape(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool ok = false;
        const int c =
            field[i] == '\\' && i + 3 < field.size() ? field.mid(i + 1, 3).toInt(&ok, 8) : 0;
        if (ok) {
            out += char(c);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return QFile::decodeName(out);
}

// The device a /dev/disk/by-* link names, as a canonical path.
QString LinkTarget(const QString& link) {
    return QFileInfo(link).canonicalFilePath();
}

// UUID and label from udev's links, else from libblkid (its cache, or the
// device itself where this user may read it).
void Identify(MountFacts& m) {
    if (!m.source.startsWith(QLatin1String("/dev/")))
        return;
    const QString device = QFileInfo(m.source).canonicalFilePath();
    const auto byLink = [&](const QString& folder) {
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (LinkTarget(dir.filePath(name)) == device)
                return name;
        return QString();
    };
    m.uuid = byLink(QStringLiteral("/dev/disk/by-uuid"));
    m.label = byLink(QStringLiteral("/dev/disk/by-label"));
    if (m.uuid.isEmpty()) {
        const QByteArray dev = QFile::encodeName(m.source);
        // libblkid's cache is shared by the process: one caller at a time.
        static QMutex blkid;
        const QMutexLocker lock(&blkid);
        if (char* uuid = blkid_get_tag_value(nullptr, "UUID", dev.constData())) {
            m.uuid = QString::fromUtf8(uuid);
            std::free(uuid);
        }
        if (char* label = m.label.isEmpty() ? blkid_get_tag_value(nullptr, "LABEL", dev.constData())
                                            : nullptr) {
            m.label = QString::fromUtf8(label);
            std::free(label);
        }
    }
}

std::vector<MountFacts> SystemMounts() {
    std::vector<MountFacts> mounts;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super
        const QList<QByteArray> f = line.split(' ');
        const qsizetype dash = f.indexOf("-");
        if (f.size() < 5 || dash < 0 || dash + 2 >= f.size())
            continue;
        const QList<QByteArray> mm = f[2].split(':');
        MountFacts m;
        m.device = makedev(mm.value(0).toUInt(), mm.value(1).toUInt());
        m.mountPoint = Unescape(f[4]);
        m.fsType = QString::fromUtf8(f[dash + 1]);
        m.source = Unescape(f[dash + 2]);
        mounts.push_back(m);
    }
    return mounts;
}

bool Below(const QString& path, const QString& mountPoint) {
    return mountPoint == QLatin1String("/") || path == mountPoint ||
           path.startsWith(mountPoint + QLatin1Char('/'));
}
} // namespace

MountFacts MountOf(const QString& path, dev_t device, bool identify) {
    const std::vector<MountFacts> mounts = g_testMounts ? *g_testMounts : SystemMounts();
    const MountFacts* best = nullptr;
    for (const MountFacts& m : mounts)
        if ((m.device == 0 || device == 0 || m.device == device) && Below(path, m.mountPoint) &&
            (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    if (!best)
        return {};
    MountFacts found = *best;
    if (identify && !g_testMounts && found.mountPoint != QLatin1String("/"))
        Identify(found);
    return found;
}

std::vector<MountFacts> CurrentMounts() {
    return g_testMounts ? *g_testMounts : SystemMounts();
}

std::vector<MountFacts> MountsOfVolume(const QString& uuid) {
    std::vector<MountFacts> found;
    if (uuid.isEmpty())
        return found;
    for (MountFacts m : g_testMounts ? *g_testMounts : SystemMounts()) {
        if (!g_testMounts)
            Identify(m);
        if (m.uuid == uuid)
            found.push_back(m);
    }
    return found;
}

bool IsNetworkFileSystem(const QString& fsType) {
    static const QStringList network{QStringLiteral("nfs"),   QStringLiteral("nfs4"),
                                     QStringLiteral("cifs"),  QStringLiteral("smb3"),
                                     QStringLiteral("smbfs"), QStringLiteral("9p"),
                                     QStringLiteral("ceph"),  QStringLiteral("glusterfs"),
                                     QStringLiteral("afs"),   QStringLiteral("ncpfs")};
    static const QStringList fuse{QStringLiteral("sshfs"), QStringLiteral("gvfsd-fuse"),
                                  QStringLiteral("ceph"),  QStringLiteral("glusterfs"),
                                  QStringLiteral("s3fs"),  QStringLiteral("rclone")};
    if (network.contains(fsType))
        return true;
    return fsType.startsWith(QLatin1String("fuse.")) && fuse.contains(fsType.mid(5));
}

void SetMountTableForTests(std::vector<MountFacts> mounts) {
    if (mounts.empty())
        g_testMounts.reset();
    else
        g_testMounts = std::move(mounts);
}
