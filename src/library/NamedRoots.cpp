#include "library/NamedRoots.h"

#include "framework/SettingsStore.h"
#include "library/LibraryFolders.h"
#include "library/Mounts.h"
#include "library/RootProbe.h"
#include "platform/RegularFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>
#include <dirent.h>
#include <sys/stat.h>

namespace {
const QString kRoots = QStringLiteral("Roots");
} // namespace

bool IsRootName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return pattern.match(name).hasMatch();
}

std::vector<RootMapping> RootMappings() {
    std::vector<RootMapping> mappings;
    const QStringList lines = ReadSettingText(kKeyLibrary, kRoots, QString())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString name = line.section(QLatin1Char('='), 0, 0).trimmed();
        const QString folder = line.section(QLatin1Char('='), 1).trimmed();
        // A line that names no root or no folder is no mapping.
        if (!IsRootName(name) || folder.isEmpty())
            continue;
        if (std::none_of(mappings.begin(), mappings.end(),
                         [&](const RootMapping& m) { return m.name == name; }))
            mappings.push_back({name, LibraryRootPath(folder)});
    }
    return mappings;
}

void SetRootMapping(const QString& name, const QString& folder) {
    QStringList lines;
    bool put = false;
    for (const RootMapping& m : RootMappings()) {
        if (m.name == name) {
            put = true;
            if (!folder.isEmpty())
                lines << name + QLatin1Char('=') + LibraryRootPath(folder);
        } else {
            lines << m.name + QLatin1Char('=') + m.folder;
        }
    }
    if (!put && !folder.isEmpty())
        lines << name + QLatin1Char('=') + LibraryRootPath(folder);
    WriteSettingText(kKeyLibrary, kRoots, lines.join(QLatin1Char('\n')));
}

QString FingerprintText(const RootFingerprint& fingerprint) {
    QJsonArray samples;
    for (const auto& [rel, sha] : fingerprint.samples)
        samples.append(QJsonObject{{QStringLiteral("path"), QString::fromLatin1(rel.toHex())},
                                   {QStringLiteral("sha256"), QString::fromLatin1(sha.toHex())}});
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("host"), fingerprint.host},
                                  {QStringLiteral("folder"), fingerprint.folder},
                                  {QStringLiteral("source"), fingerprint.source},
                                  {QStringLiteral("inside"), fingerprint.inside},
                                  {QStringLiteral("samples"), samples}})
            .toJson(QJsonDocument::Compact));
}

RootFingerprint ParseFingerprint(const QString& text) {
    RootFingerprint fingerprint;
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    fingerprint.host = o.value(QStringLiteral("host")).toString();
    fingerprint.folder = o.value(QStringLiteral("folder")).toString();
    fingerprint.source = o.value(QStringLiteral("source")).toString();
    fingerprint.inside = o.value(QStringLiteral("inside")).toString();
    for (const QJsonValue& v : o.value(QStringLiteral("samples")).toArray()) {
        const QByteArray rel = QByteArray::fromHex(v[QStringLiteral("path")].toString().toLatin1());
        const QByteArray sha =
            QByteArray::fromHex(v[QStringLiteral("sha256")].toString().toLatin1());
        if (!rel.isEmpty() && sha.size() == 32)
            fingerprint.samples.emplace_back(rel, sha);
    }
    return fingerprint;
}

namespace {
// The share `folder` lies on and its place in it; empty when it lies on
// no network file system (a disk's device names nothing another desk has).
std::pair<QString, QString> ShareOf(const QString& folder) {
    struct stat st {};
    if (stat(QFile::encodeName(folder).constData(), &st) != 0)
        return {};
    const MountFacts mount = MountOf(folder, st.st_dev, false);
    if (mount.mountPoint.isEmpty() || !IsNetworkFileSystem(mount.fsType))
        return {};
    return {mount.source, folder.mid(mount.mountPoint.size())
                              .section(QLatin1Char('/'), 0, -1, QString::SectionSkipEmpty)};
}
} // namespace

RootFingerprint FingerprintOf(const QString& folder,
                              std::vector<std::pair<QByteArray, QByteArray>> samples) {
    RootFingerprint fingerprint;
    fingerprint.host = QSysInfo::machineHostName();
    fingerprint.folder = LibraryRootPath(folder);
    std::tie(fingerprint.source, fingerprint.inside) = ShareOf(fingerprint.folder);
    fingerprint.samples = std::move(samples);
    return fingerprint;
}

QByteArray ResolveOnDesk(const QByteArray& base, const QByteArray& rel) {
    const QByteArray direct = base + '/' + rel;
    struct stat st {};
    if (lstat(direct.constData(), &st) == 0 || errno != ENOENT)
        return direct;
    QByteArray at = base;
    for (const QByteArray& part : rel.split('/')) {
        const QByteArray next = at + '/' + part;
        if (lstat(next.constData(), &st) == 0) {
            at = next;
            continue;
        }
        const QByteArray key = FileKey(part, RootKind::Named);
        DIR* dir = opendir(at.constData());
        if (!dir)
            return direct;
        bool found = false;
        while (const dirent* e = readdir(dir))
            if (FileKey(QByteArray(e->d_name), RootKind::Named) == key) {
                at += '/' + QByteArray(e->d_name);
                found = true;
                break;
            }
        closedir(dir);
        if (!found)
            return direct;
    }
    return at;
}

DeskRoot CheckMapping(const LibraryRoot& root, const QString& folder, int deadlineMs,
                      const std::atomic<bool>* cancel) {
    DeskRoot desk;
    desk.pathText = LibraryRootPath(folder);
    desk.path = QFile::encodeName(desk.pathText);
    const RootProbe probe = ProbeRoot(desk.path, deadlineMs, cancel);
    if (probe.outcome != RootProbe::Answered || probe.error != 0) {
        desk.reason = ProbeReason(probe, deadlineMs, false);
        return desk;
    }
    const RootFingerprint fingerprint = ParseFingerprint(root.fingerprint);
    // The indexer's own folder, or the same place on the same share: the
    // root, whatever became of its reports (a folder emptied is the
    // scan's to judge).
    const auto [source, inside] = ShareOf(desk.pathText);
    if (fingerprint.samples.empty() ||
        (fingerprint.host == QSysInfo::machineHostName() && fingerprint.folder == desk.pathText) ||
        (!source.isEmpty() && source == fingerprint.source && inside == fingerprint.inside)) {
        desk.reachable = true;
        return desk;
    }
    if (probe.empty) {
        desk.reason = QStringLiteral("empty (is the share mounted there?)");
        return desk;
    }
    for (const auto& [rel, sha] : fingerprint.samples) {
        if (cancel && cancel->load())
            break;
        QFile file;
        if (!OpenRegularFile(file, ResolveOnDesk(desk.path, rel)))
            continue;
        const QByteArray bytes = ReadAtMost(file, kMaxReportBytes);
        if (file.error() == QFileDevice::NoError &&
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) == sha) {
            desk.reachable = true;
            return desk;
        }
    }
    desk.reason = QStringLiteral("wrong mapping: %1 holds none of the reports the office's "
                                 "indexer found in %2")
                      .arg(desk.pathText, root.key);
    if (!fingerprint.source.isEmpty())
        desk.reason += QStringLiteral(" (it sees the share as %1)").arg(fingerprint.source);
    return desk;
}

QHash<qint64, DeskRoot> DeskRootsOf(const std::vector<LibraryRoot>& roots,
                                    const std::vector<RootMapping>& mappings, int deadlineMs,
                                    const std::atomic<bool>* cancel) {
    QHash<qint64, DeskRoot> desk;
    for (const LibraryRoot& root : roots) {
        if (root.kind != RootKind::Named)
            continue;
        const auto m = std::find_if(mappings.begin(), mappings.end(),
                                    [&](const RootMapping& r) { return r.name == root.key; });
        if (m == mappings.end()) {
            DeskRoot none;
            none.reason = QStringLiteral("not mapped on this computer (vtq-library map %1 FOLDER)")
                              .arg(root.key);
            desk.insert(root.id, none);
        } else {
            desk.insert(root.id, CheckMapping(root, m->folder, deadlineMs, cancel));
        }
    }
    return desk;
}
