#include "library/LibraryScanner.h"

#include "library/JointIndex.h"
#include "library/LibraryFolders.h"
#include "library/Mounts.h"
#include "library/RootProbe.h"
#include "library/VerdictBook.h"
#include "platform/RegularFile.h"
#include "report/DownloadName.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <strings.h>
#include <sys/stat.h>
#include <utility>

namespace {
struct Entry {
    QByteArray relPath; // as the file system has it
    QByteArray key;     // as the index knows it (FileKey)
    QString text;       // for people
    QByteArray open;    // the path to open: the file, or a link's target inside the root
    qint64 size = 0;
    qint64 mtimeMs = 0;
    bool regular = false;
    QString refused; // why it is not read, when it is not
};

struct Listing {
    std::vector<Entry> entries;
    QStringList problems;
    bool complete = true;
    // Folders below on other file systems: not entered, their known files
    // keep their state.
    QList<QByteArray> otherRel;
    QStringList otherFs;
};

qint64 MtimeMs(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

bool IsReportName(const char* name) {
    const size_t n = std::strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".kjr") == 0;
}

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool Below(const QByteArray& rel, const QByteArray& folder) {
    return rel.startsWith(folder + '/');
}

// The folder a link leads to, as a real path; empty when it leads nowhere.
QByteArray RealPath(const QByteArray& path) {
    char* real = realpath(path.constData(), nullptr);
    if (!real)
        return QByteArray();
    QByteArray out(real);
    std::free(real);
    return out;
}

// The entry of a report file below `base` whose lstat is `st`; false for
// a link to a folder (not followed, not a report). A link to a file is
// read only where the file lies in the root, on its file system.
bool MakeEntry(const QByteArray& base, const QByteArray& realBase, dev_t device,
               const QByteArray& rel, const struct stat& st, Entry& entry) {
    entry.relPath = rel;
    entry.text = QFile::decodeName(rel);
    entry.open = base + '/' + rel;
    entry.size = qint64(st.st_size);
    entry.mtimeMs = MtimeMs(st);
    entry.regular = S_ISREG(st.st_mode);
    if (!S_ISLNK(st.st_mode))
        return true;
    struct stat target {};
    const QByteArray real = RealPath(entry.open);
    const bool reached = stat(entry.open.constData(), &target) == 0;
    if (reached && S_ISDIR(target.st_mode))
        return false;
    if (!reached || real.isEmpty() || realBase.isEmpty() || !real.startsWith(realBase + '/') ||
        target.st_dev != device) {
        entry.refused = QStringLiteral("a link to a file outside the folder");
    } else {
        entry.open = real;
        entry.size = qint64(target.st_size);
        entry.mtimeMs = MtimeMs(target);
        entry.regular = S_ISREG(target.st_mode);
    }
    return true;
}

// Lists the tree with readdir so that every error is seen: QDir gives an
// empty list for a folder it cannot read, which would look like deleted
// files. The walk stays on the root's file system and inside the root:
// links to folders are not followed, a link to a file only when the file
// lies in the root. A folder met twice (a bind mount, or a share whose
// server file systems reuse numbers) makes the listing incomplete: what is
// below it cannot be told from what vanished.
Listing ListTree(const QByteArray& base, dev_t device, const std::atomic<bool>* cancel) {
    Listing listing;
    const QByteArray realBase = RealPath(base);
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<QByteArray> pending{QByteArray()};
    while (!pending.empty()) {
        if (cancel && cancel->load()) {
            listing.complete = false;
            break;
        }
        const QByteArray rel = pending.back();
        pending.pop_back();
        const QByteArray dirPath = rel.isEmpty() ? base : base + '/' + rel;
        DIR* dir = opendir(dirPath.constData());
        if (!dir) {
            listing.complete = false;
            listing.problems << QStringLiteral("%1: cannot read the folder (%2)")
                                    .arg(QFile::decodeName(dirPath), ErrorText(errno));
            continue;
        }
        struct stat dst {};
        if (fstat(dirfd(dir), &dst) != 0 || !seen.insert({dst.st_dev, dst.st_ino}).second) {
            listing.complete = false;
            listing.problems << QStringLiteral("%1: the same folder as one listed before (a "
                                               "folder mounted twice, or a share that numbers "
                                               "folders alike); files below it cannot be told "
                                               "from files that vanished")
                                    .arg(QFile::decodeName(dirPath));
            closedir(dir);
            continue;
        }
        for (;;) {
            errno = 0;
            const dirent* e = readdir(dir);
            if (!e) {
                if (errno != 0) {
                    listing.complete = false;
                    listing.problems << QStringLiteral("%1: the folder could not be read to the "
                                                       "end (%2)")
                                            .arg(QFile::decodeName(dirPath), ErrorText(errno));
                }
                break;
            }
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            const QByteArray childRel =
                rel.isEmpty() ? QByteArray(e->d_name) : rel + '/' + e->d_name;
            struct stat st {};
            if (fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) { // gone since readdir: simply not there
                    listing.complete = false;
                    listing.problems << QStringLiteral("%1: %2").arg(
                        QFile::decodeName(base + '/' + childRel), ErrorText(errno));
                }
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (st.st_dev != device) {
                    listing.otherRel << childRel;
                    listing.otherFs << QFile::decodeName(base + '/' + childRel);
                } else {
                    pending.push_back(childRel);
                }
                continue;
            }
            if (!IsReportName(e->d_name))
                continue;
            Entry entry;
            if (!MakeEntry(base, realBase, device, childRel, st, entry))
                continue;
            listing.entries.push_back(std::move(entry));
        }
        closedir(dir);
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.relPath < b.relPath; });
    return listing;
}

// What one file gave: a report (its hash and fields) or a reason it is none.
struct ReadResult {
    Entry entry;
    qint64 knownId = 0; // seen unchanged: only its state changes
    QByteArray sha256;
    JointFields fields;
    QString reason;
    // A failure that says nothing about the file (it went away, the share
    // stopped answering): not recorded, so the file is read again next time.
    bool transient = false;
    // Read again, unchanged, because its verdict was not current.
    bool rejudged = false;
};

// `cuts`: the bytes seen as a cut download in this scan, not all recorded
// yet. Bytes once read from a cut download are judged as one under any
// name (a copy renamed, or put on the share, holds the gaps all the same).
ReadResult ReadOne(const Entry& entry, CVtkDoc& doc, CLibraryStore& store,
                   const CVerdictBook& verdicts, QSet<QByteArray>& cuts) {
    ReadResult r;
    r.entry = entry;
    if (!entry.refused.isEmpty()) {
        r.reason = entry.refused;
        return r;
    }
    if (!entry.regular) {
        r.reason = QStringLiteral("not a regular file");
        return r;
    }
    if (entry.size > kMaxReportBytes) {
        r.reason = QStringLiteral("too large for a joint report");
        return r;
    }
    QFile file;
    errno = 0;
    // The file is opened by the bytes of its name, and a name that became a
    // link since it was listed is not followed.
    if (!OpenRegularFile(file, entry.open, entry.open.endsWith(entry.relPath))) {
        // Only a refusal is the file's own; anything else may pass.
        r.transient = errno != EACCES && errno != EPERM && errno != ELOOP;
        r.reason = QStringLiteral("cannot be opened");
        return r;
    }
    const QByteArray bytes = ReadAtMost(file, kMaxReportBytes);
    if (file.error() != QFileDevice::NoError) {
        r.transient = true;
        r.reason = QStringLiteral("cannot be read");
        return r;
    }
    if (bytes.size() > kMaxReportBytes) {
        r.reason = QStringLiteral("too large for a joint report");
        return r;
    }
    // The size read is what the index records, so that a file that grew
    // between listing and reading is not taken for unchanged next time.
    r.entry.size = bytes.size();
    if (!doc.LoadReportImage(bytes)) {
        r.reason = QStringLiteral("not a joint report, or damaged");
        return r;
    }
    r.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    bool cut = IsCutDownloadName(entry.text) || cuts.contains(r.sha256);
    if (!cut) {
        const std::optional<bool> known = store.VersionCut(r.sha256);
        if (!known) {
            r.transient = true;
            r.reason = store.Message();
            doc.Unload();
            return r;
        }
        cut = *known;
    }
    if (cut)
        cuts.insert(r.sha256);
    // The reader leaves the samples as recorded; the highest pressure the
    // index keeps is the one the report's plots show.
    PrepareSamples(doc);
    r.fields = JointFieldsOf(doc, entry.text, &verdicts, cut);
    doc.Unload();
    return r;
}

// Records what was read in one transaction (none is open while files are
// read: reads from a slow share would hold the writer's lock all that
// time); what was recorded goes into the summary. False when nothing was.
bool RecordBatch(CLibraryStore& store, ScanSummary& summary, qint64 rootId, const QString& folder,
                 const std::vector<ReadResult>& batch,
                 const std::function<bool(const QByteArray&)>& known) {
    bool ok = store.Begin();
    for (const ReadResult& r : batch) {
        if (!ok)
            break;
        if (r.knownId > 0) {
            ok = store.SetFileSeen(r.knownId);
            continue;
        }
        qint64 versionId = 0;
        if (r.reason.isEmpty())
            ok = (versionId = store.PutVersion(r.sha256, r.entry.size, r.fields)) > 0;
        ok = ok && store.PutFile(rootId, r.entry.relPath, r.entry.key, r.entry.text, r.entry.size,
                                 r.entry.mtimeMs, versionId, r.reason);
    }
    ok = ok && store.Commit();
    if (!ok) {
        store.Rollback();
        summary.storeFailed = true;
        summary.problems << QStringLiteral("%1: the library index could not record the files "
                                           "read (%2)")
                                .arg(folder, store.Message());
        return false;
    }
    for (const ReadResult& r : batch) {
        const QString full = folder + QLatin1Char('/') + r.entry.text;
        if (r.knownId > 0)
            summary.restored << full;
        else if (!r.reason.isEmpty())
            summary.unreadable << full + QStringLiteral(": ") + r.reason;
        else if (r.rejudged)
            summary.rejudged << full;
        else if (known(r.entry.key))
            summary.updated << full;
        else
            summary.added << full;
    }
    return true;
}

QString VolumeName(const LibraryRoot& root) {
    return root.volumeLabel.isEmpty()
               ? QStringLiteral("the volume %1").arg(root.volumeUuid)
               : QStringLiteral("the volume %1 (%2)").arg(root.volumeLabel, root.volumeUuid);
}

QString RootText(const LibraryRoot& root) {
    if (root.kind == RootKind::Named)
        return root.key;
    return root.known && !root.pathText.isEmpty() ? root.pathText : root.source;
}
} // namespace

const CVerdictBook& CLibraryScanner::Verdicts() const {
    return m_pVerdicts ? *m_pVerdicts : CVerdictBook::Shipped();
}

void CLibraryScanner::SetConfirmedRemovals(const QStringList& folders) {
    m_confirmed.clear();
    for (const QString& f : folders)
        m_confirmed << f << LibraryRootPath(f);
}

void CLibraryScanner::SetHereNow(const QStringList& folders) {
    m_hereNow.clear();
    for (const QString& f : folders)
        m_hereNow << f << LibraryRootPath(f);
}

// A store that failed has most likely lost its server: nothing more is
// read, and nothing is concluded from what was not.
bool CLibraryScanner::StoreFailed() {
    // A server's connection lost while a file was read (its bytes looked
    // up): no use reading the rest.
    if (m_store.ConnectionLost() && !m_summary.storeFailed) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
    }
    return m_summary.storeFailed;
}

ScanSummary CLibraryScanner::Scan(const QStringList& folders,
                                  const std::vector<RootMapping>& named) {
    m_summary = ScanSummary();
    m_nDone = m_nListed = 0;
    m_bCommitted = false;
    m_scanned.clear();
    m_now = m_store.Now();
    const auto known = m_store.Roots();
    if (!known) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return m_summary;
    }
    m_known = *known;
    // The verdicts that are not what the book would make now are judged
    // again as their files are met; those of a procedure that cannot be
    // had now are left as they are (and shown as not current).
    const CVerdictBook& verdicts = Verdicts();
    m_summary.problems << verdicts.Problems();
    m_stale.clear();
    m_cuts.clear();
    const auto kept = m_store.VersionVerdicts();
    if (!kept) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return m_summary;
    }
    for (const auto& [id, fields] : *kept) {
        JointFields want;
        QString why;
        if (verdicts.Expected(fields, want, why) && !verdicts.NotCurrent(fields).isEmpty())
            m_stale.insert(id);
    }
    QStringList paths;
    for (const QString& f : folders)
        if (!paths.contains(LibraryRootPath(f)))
            paths << LibraryRootPath(f);
    // On a server only the holder of the scan lock indexes.
    if (m_store.IsServer() && !m_store.HoldsScanLock()) {
        m_summary.storeFailed = true;
        m_summary.problems << QStringLiteral("the library's scan lock is not held; nothing was "
                                             "scanned");
        return m_summary;
    }
    QStringList later;
    for (const QString& path : paths)
        if (!Cancelled() && !StoreFailed() && !ScanFolder(path, path, false))
            later << path;
    std::vector<RootMapping> namedLater;
    for (const RootMapping& m : named)
        if (!Cancelled() && !StoreFailed() && !ScanNamed(m, false))
            namedLater.push_back(m);
    for (const QString& path : later)
        if (!Cancelled() && !StoreFailed())
            ScanFolder(path, path, true);
    for (const RootMapping& m : namedLater)
        if (!Cancelled() && !StoreFailed())
            ScanNamed(m, true);
    // A card the library knows may be in the reader at another place.
    for (const LibraryRoot& root : m_known)
        if (!Cancelled() && root.kind == RootKind::Volume && !m_scanned.contains(root.id))
            for (const MountFacts& m : MountsOfVolume(root.volumeUuid)) {
                const QString inside = root.key.section(QLatin1Char(':'), 1);
                const QString path = LibraryRootPath(m.mountPoint + QLatin1Char('/') + inside);
                if (!m_scanned.contains(root.id) && !paths.contains(path))
                    ScanFolder(path, root.source, true);
            }
    m_summary.cancelled = Cancelled();
    if (StoreFailed())
        return m_summary;
    // What no folder led to today is away: a card not in the reader, a
    // folder not among the library's folders now, a named root this desk
    // maps no folder to. Its joints are kept.
    if (!m_summary.cancelled)
        for (const LibraryRoot& root : m_known)
            if (!m_scanned.contains(root.id) && !m_summary.offline.contains(RootText(root)))
                Offline(root, root.kind == RootKind::Volume
                                  ? VolumeName(root) + QStringLiteral(" is not connected")
                              : root.kind == RootKind::Named
                                  ? QStringLiteral("not mapped on the computer that scanned")
                                  : QStringLiteral("not among the library's folders now"));
    if (!m_store.Begin() || !m_store.Tidy() || !m_store.Commit()) {
        m_store.Rollback();
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
    }
    return m_summary;
}

void CLibraryScanner::Offline(LibraryRoot root, const QString& reason) {
    if (!root.known && root.kind != RootKind::Named) {
        root.known = true;
        root.pathText = root.source;
        root.path = QFile::encodeName(root.source);
    }
    root.reachable = false;
    root.suspect = false;
    root.reason = reason;
    root.checkedAt = m_now;
    if (!m_store.SetRootState(root)) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
    }
    const QString text = RootText(root);
    if (!m_summary.offline.contains(text))
        m_summary.offline << text;
    m_summary.offlineWhy.insert(text, reason);
}

// Every root this folder led to before goes offline with the folder's
// reason; a folder that never led to one is only reported.
void CLibraryScanner::OfflineFolder(const QString& folder, const QString& reason) {
    bool any = false;
    for (const LibraryRoot& root : m_known)
        if (!m_scanned.contains(root.id) && (root.source == folder || root.key == folder)) {
            any = true;
            Offline(root, root.kind == RootKind::Volume
                              ? VolumeName(root) + QStringLiteral(" is not connected (") + folder +
                                    QStringLiteral(": ") + reason + QLatin1Char(')')
                              : reason);
            m_scanned << root.id;
        }
    if (!any) {
        // A folder of the library that was never there yet: a root by its
        // path, so that its state is kept and shown.
        LibraryRoot root;
        root.key = root.source = folder;
        root.id = m_store.PutRoot(root);
        if (root.id == 0) {
            m_summary.storeFailed = true;
            m_summary.problems << m_store.Message();
            return;
        }
        m_scanned << root.id;
        Offline(root, reason);
    }
}

// False when the folder did not answer in time and may be asked again.
bool CLibraryScanner::ScanNamed(const RootMapping& mapping, bool lastTry) {
    const QString folder = LibraryRootPath(mapping.folder);
    LibraryRoot root;
    root.kind = RootKind::Named;
    root.key = root.source = mapping.name;
    for (const LibraryRoot& r : m_known)
        if (r.kind == RootKind::Named && r.key == mapping.name)
            root = r;
    const RootProbe probe = ProbeRoot(QFile::encodeName(folder), m_nProbeMs, m_pCancel);
    if (probe.outcome == RootProbe::Cancelled)
        return true;
    if (probe.outcome == RootProbe::NoAnswer && !lastTry)
        return false;
    root.id = m_store.PutRoot(root);
    if (root.id == 0) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return true;
    }
    if (m_scanned.contains(root.id))
        return true;
    m_scanned << root.id;
    if (probe.outcome != RootProbe::Answered || probe.error != 0) {
        Offline(root, folder + QStringLiteral(": ") + ProbeReason(probe, m_nProbeMs));
        return true;
    }
    // A folder that holds none of what the root held is another place:
    // indexing it would take the root's joints for lost.
    if (!root.fingerprint.isEmpty() && !m_hereNow.contains(folder) &&
        !m_hereNow.contains(mapping.name)) {
        const DeskRoot desk = CheckMapping(root, folder, m_nProbeMs, m_pCancel);
        if (Cancelled())
            return true;
        if (!desk.reachable) {
            Offline(root, desk.reason);
            return true;
        }
    }
    root.mounted = false;
    ScanRoot(root, folder, probe);
    return true;
}

bool CLibraryScanner::ScanFolder(const QString& folder, const QString& source, bool lastTry) {
    if (m_folderReport)
        m_folderReport(folder);
    const QByteArray bytes = QFile::encodeName(folder);
    const RootProbe probe = ProbeRoot(bytes, m_nProbeMs, m_pCancel);
    if (probe.outcome == RootProbe::Cancelled)
        return true;
    if (probe.outcome == RootProbe::NoAnswer && !lastTry)
        return false;
    if (probe.outcome != RootProbe::Answered || probe.error != 0) {
        if (source == folder)
            OfflineFolder(folder, ProbeReason(probe, m_nProbeMs));
        return true;
    }
    // Which root this is: a card (a volume with a UUID, not the system's
    // own file system, not a share) by its volume, anything else by its path.
    const QByteArray real = RealPath(bytes);
    const QString canonical = real.isEmpty() ? folder : QFile::decodeName(real);
    const MountFacts mount = MountOf(canonical, probe.device);
    const bool onMount = !mount.mountPoint.isEmpty() && mount.mountPoint != QLatin1String("/");
    LibraryRoot root;
    root.source = source;
    if (onMount && !mount.uuid.isEmpty() && !IsNetworkFileSystem(mount.fsType)) {
        root.kind = RootKind::Volume;
        root.volumeUuid = mount.uuid;
        root.volumeLabel = mount.label;
        const QString inside = canonical.mid(mount.mountPoint.size())
                                   .section(QLatin1Char('/'), 0, -1, QString::SectionSkipEmpty);
        root.key = mount.uuid + QLatin1Char(':') + inside;
        // The folder was known by its path while no card was in: that root
        // held nothing, and the card's volume stands for the folder now.
        for (const LibraryRoot& r : m_known)
            if (r.kind == RootKind::Path && r.key == folder && !m_scanned.contains(r.id)) {
                const auto files = m_store.FilesOfRoot(r.id);
                if (files && files->isEmpty() && m_store.RemoveRoots({r.id}))
                    m_scanned << r.id;
            }
    } else {
        root.kind = RootKind::Path;
        root.key = folder;
        // An empty folder where cards were (none is in the reader) is no
        // root of its own.
        const bool cardsHere =
            std::any_of(m_known.begin(), m_known.end(), [&](const LibraryRoot& r) {
                return r.kind == RootKind::Volume && r.source == folder;
            });
        if (cardsHere && probe.empty) {
            OfflineFolder(folder, QStringLiteral("no card is mounted there"));
            return true;
        }
    }
    for (const LibraryRoot& r : m_known)
        if (r.key == root.key) {
            const QString source = root.source;
            const QString label = root.volumeLabel;
            root = r;
            root.source = source;
            if (!label.isEmpty())
                root.volumeLabel = label;
        }
    root.id = m_store.PutRoot(root);
    if (root.id == 0) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return true;
    }
    if (m_scanned.contains(root.id))
        return true; // two folders that lead to one root
    m_scanned << root.id;
    // A share that was mounted here and is not now leaves an empty folder
    // of the system's: that is no sign its reports were deleted. The user
    // can say that the folder is here now.
    if (root.kind == RootKind::Path && root.known && root.mounted && !onMount &&
        !m_hereNow.contains(folder)) {
        Offline(root, QStringLiteral("nothing is mounted there now (it was a mount point); if "
                                     "this folder is the library's now, say it is here"));
        return true;
    }
    root.mounted = root.kind == RootKind::Path && onMount;
    ScanRoot(root, folder, probe);
    return true;
}

void CLibraryScanner::ScanRoot(LibraryRoot root, const QString& folder, const RootProbe& probe) {
    const auto knownOrNot = m_store.FilesOfRoot(root.id);
    if (!knownOrNot) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return;
    }
    const QHash<QByteArray, IndexedFile>& known = *knownOrNot;
    int knownPresent = 0, knownThere = 0;
    for (const IndexedFile& f : known) {
        knownPresent += f.missing || f.away ? 0 : 1;
        knownThere += f.missing ? 0 : 1;
    }

    const QByteArray base = QFile::encodeName(folder);
    root.known = true;
    root.path = base;
    root.pathText = folder;
    root.checkedAt = m_now;
    Listing listing = ListTree(base, probe.device, m_pCancel);
    m_summary.problems << listing.problems;
    root.otherFileSystems = listing.otherFs;
    root.reachable = true;
    root.reason.clear();
    if (!m_store.SetRootState(root)) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return;
    }
    // Two names of one folder that differ only in their Unicode form are
    // one file to a named root (desks may spell them either way): the first
    // is kept, the other said.
    QSet<QByteArray> keys;
    for (auto it = listing.entries.begin(); it != listing.entries.end();) {
        it->key = FileKey(it->relPath, root.kind);
        if (keys.contains(it->key)) {
            m_summary.problems << QStringLiteral("%1: the name of another file in another "
                                                 "Unicode form; not indexed")
                                      .arg(folder + QLatin1Char('/') + it->text);
            it = listing.entries.erase(it);
            continue;
        }
        keys.insert(it->key);
        ++it;
    }
    m_nListed += int(listing.entries.size());

    CVtkDoc doc{CVtkDoc::Detached{}};
    std::vector<ReadResult> batch;
    QElapsedTimer batchAge;
    batchAge.start();
    // No transaction is open while files are read: reads from a slow share
    // would hold the writer's lock all that time.
    const auto flush = [&]() {
        if (!batch.empty() && !StoreFailed() &&
            RecordBatch(m_store, m_summary, root.id, folder, batch,
                        [&](const QByteArray& key) { return known.contains(key); }))
            m_bCommitted = true;
        batch.clear();
        batchAge.restart();
    };

    bool stopped = false;
    bool trouble = false;
    QByteArray shownDir;
    bool shown = false;
    QSet<QByteArray> listed;
    for (const Entry& e : listing.entries) {
        listed.insert(e.key);
        if (Cancelled() || StoreFailed()) {
            stopped = true;
            break;
        }
        const auto it = known.constFind(e.key);
        // Unchanged: same size, and the same time within a second (FAT keeps
        // times in 2-s steps). A file that could not be read is not read
        // again until it changes; one whose verdict is not current is read
        // again to be judged (once for all the copies of its bytes).
        const bool same =
            it != known.cend() && it->size == e.size && std::abs(it->mtimeMs - e.mtimeMs) <= 1000;
        const bool stale = same && it->versionId > 0 && m_stale.contains(it->versionId);
        if (same && !stale) {
            if (it->missing || it->away || it->goneSince > 0) {
                ReadResult seen;
                seen.entry = e;
                seen.knownId = it->id;
                batch.push_back(std::move(seen));
            } else {
                ++m_summary.unchanged;
            }
        } else if (ReadResult r = ReadOne(e, doc, m_store, Verdicts(), m_cuts); r.transient) {
            trouble = true;
            m_summary.problems << folder + QLatin1Char('/') + e.text + QStringLiteral(": ") +
                                      r.reason;
        } else {
            if (stale && r.reason.isEmpty() && r.sha256 == it->sha256) {
                r.rejudged = true;
                m_stale.remove(it->versionId);
            }
            batch.push_back(std::move(r));
        }
        ++m_nDone;
        // The first rows of a scan are committed soon, so that a window
        // shows them while the rest is read.
        if (int(batch.size()) >= (m_bCommitted ? kBatchFiles : kFirstBatchFiles) ||
            batchAge.elapsed() >= kBatchMs)
            flush();
        const QByteArray dir = e.relPath.left(std::max<qsizetype>(0, e.relPath.lastIndexOf('/')));
        if (m_folderReport && (!shown || dir != shownDir)) {
            shown = true;
            shownDir = dir;
            m_folderReport(dir.isEmpty() ? folder
                                         : folder + QLatin1Char('/') + QFile::decodeName(dir));
        }
        if (m_progress)
            m_progress(m_nDone, m_nListed);
    }
    flush();
    // Gone while it was read: what was read stays, the rest is offline.
    const RootProbe after = ProbeRoot(base, m_nProbeMs, m_pCancel);
    if (after.outcome == RootProbe::Cancelled) {
        return;
    }
    if (after.outcome != RootProbe::Answered || after.error != 0 || after.device != probe.device) {
        Offline(root, QStringLiteral("went away during the scan"));
        return;
    }
    if (stopped || trouble || !listing.complete || m_summary.storeFailed)
        return;

    // Only now, with every file of a reachable root listed and the new ones
    // read, is a file that was not seen known to have gone: moved (its
    // report is present elsewhere), or vanished.
    const bool confirmed = m_confirmed.contains(folder) || m_confirmed.contains(root.source);
    struct Gone {
        QByteArray key;
        IndexedFile file;
    };
    std::vector<Gone> vanished;
    QStringList moved;
    std::vector<qint64> movedIds;
    int fresh = 0, stillAway = 0;
    for (auto it = known.cbegin(); it != known.cend(); ++it) {
        if (it->missing || listed.contains(it.key()) ||
            std::any_of(listing.otherRel.begin(), listing.otherRel.end(),
                        [&](const QByteArray& other) { return Below(it->relPath, other); }))
            continue;
        if (it->versionId > 0) {
            const auto copy = m_store.PresentCopyOf(it->versionId, it->id);
            if (!copy) {
                m_summary.storeFailed = true;
                return;
            }
            if (!copy->isEmpty()) {
                moved << folder + QLatin1Char('/') + it->text + QStringLiteral(" -> ") + *copy;
                movedIds.push_back(it->id);
                continue;
            }
        }
        fresh += it->away || it->goneSince > 0 ? 0 : 1;
        stillAway += it->away ? 1 : 0;
        vanished.push_back({it.key(), *it});
    }
    // An empty root that had joints, or one that would lose most of them at
    // once, is more likely another card or a share half there than emptied;
    // it stays suspect until its files are back or the user says.
    const bool suspect =
        !confirmed && (stillAway > 0 || (listing.entries.empty() && knownThere > 0) ||
                       (fresh >= 2 && fresh * 2 > knownPresent));
    if (!m_store.Begin())
        return;
    bool ok = true;
    QStringList notFound, missing;
    for (qint64 id : movedIds)
        ok = ok && m_store.RemoveFile(id);
    for (const Gone& g : vanished) {
        if (!ok)
            break;
        const QString full = folder + QLatin1Char('/') + g.file.text;
        if (suspect) {
            ok = g.file.away || m_store.SetFileAway(g.file.id);
        } else if (confirmed) {
            ok = m_store.SetFileGone(g.file.id, g.file.goneSince > 0 ? g.file.goneSince : m_now,
                                     true);
            missing << full;
        } else if (g.file.goneSince == 0 || g.file.away) {
            ok = m_store.SetFileGone(g.file.id, m_now, false);
            notFound << full;
        } else if (m_now - g.file.goneSince >= kMissingAfterMs) {
            ok = m_store.SetFileGone(g.file.id, g.file.goneSince, true);
            missing << full;
        }
    }
    root.suspect = suspect;
    root.reason = suspect ? QStringLiteral("lost most of its joints at once: another card in "
                                           "the reader, or deleted on purpose?")
                          : QString();
    root.completeAt = m_now;
    ok = ok && m_store.SetRootState(root);
    // A named root's fingerprint: what a desk's folder for it must hold;
    // renewed when the root is whole, or the user said it is here now.
    const bool here = m_hereNow.contains(folder) || m_hereNow.contains(root.key);
    if (ok && root.kind == RootKind::Named && (!suspect || here)) {
        const auto samples = m_store.SampleFiles(root.id, kFingerprintSamples);
        ok = samples &&
             m_store.SetRootFingerprint(root.id, FingerprintText(FingerprintOf(folder, *samples)));
    }
    ok = ok && m_store.Commit();
    if (!ok) {
        m_store.Rollback();
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return;
    }
    moved.sort();
    notFound.sort();
    missing.sort();
    m_summary.moved << moved;
    m_summary.notFound << notFound;
    m_summary.missing << missing;
    if (suspect) {
        const QString text = RootText(root);
        m_summary.suspect << text;
        m_summary.offline << text;
        m_summary.offlineWhy.insert(text, root.reason);
    }
}

ScanSummary CLibraryScanner::IndexFiles(const QStringList& paths) {
    m_summary = ScanSummary();
    m_cuts.clear();
    const auto roots = m_store.Roots();
    if (!roots) {
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
        return m_summary;
    }
    CVtkDoc doc{CVtkDoc::Detached{}};
    // One root at a time, each file once.
    std::map<qint64, std::vector<QByteArray>> byRoot;
    for (const QString& path : paths) {
        const QByteArray bytes = QFile::encodeName(LibraryRootPath(path));
        const LibraryRoot* best = nullptr;
        for (const LibraryRoot& r : *roots)
            if (r.known && r.reachable && !r.suspect && !r.path.isEmpty() &&
                bytes.startsWith(r.path + '/') && (!best || r.path.size() > best->path.size()))
                best = &r;
        if (best) {
            std::vector<QByteArray>& rels = byRoot[best->id];
            const QByteArray rel = bytes.mid(best->path.size() + 1);
            if (std::find(rels.begin(), rels.end(), rel) == rels.end())
                rels.push_back(rel);
        }
    }
    for (const auto& [id, rels] : byRoot) {
        // (A structured binding is not captured by a lambda before C++20's
        // compilers all allow it.)
        const qint64 rootId = id;
        const LibraryRoot& root = *std::find_if(
            roots->begin(), roots->end(), [&](const LibraryRoot& r) { return r.id == rootId; });
        const QString folder = root.pathText;
        struct stat rootStat {};
        if (stat(root.path.constData(), &rootStat) != 0)
            continue; // gone: the next complete scan says so
        const QByteArray realBase = RealPath(root.path);
        std::vector<ReadResult> batch;
        QSet<QByteArray> known;
        for (const QByteArray& rel : rels) {
            if (Cancelled())
                break;
            struct stat st {};
            Entry entry;
            if (!IsReportName(rel.constData()) ||
                lstat((root.path + '/' + rel).constData(), &st) != 0 ||
                st.st_dev != rootStat.st_dev ||
                !MakeEntry(root.path, realBase, rootStat.st_dev, rel, st, entry))
                continue;
            entry.key = FileKey(rel, root.kind);
            const auto indexed = m_store.FileOfRoot(rootId, entry.key);
            if (!indexed) {
                m_summary.storeFailed = true;
                m_summary.problems << m_store.Message();
                return m_summary;
            }
            if (indexed->id > 0) {
                known.insert(entry.key);
                if (indexed->size == entry.size &&
                    std::abs(indexed->mtimeMs - entry.mtimeMs) <= 1000) {
                    if (indexed->missing || indexed->away || indexed->goneSince > 0) {
                        ReadResult seen;
                        seen.entry = entry;
                        seen.knownId = indexed->id;
                        batch.push_back(std::move(seen));
                    } else {
                        ++m_summary.unchanged;
                    }
                    continue;
                }
            }
            ReadResult r = ReadOne(entry, doc, m_store, Verdicts(), m_cuts);
            if (r.transient)
                m_summary.problems
                    << folder + QLatin1Char('/') + entry.text + QStringLiteral(": ") + r.reason;
            else
                batch.push_back(std::move(r));
        }
        if (!batch.empty())
            RecordBatch(m_store, m_summary, rootId, folder, batch,
                        [&](const QByteArray& key) { return known.contains(key); });
    }
    // A file read anew may have left its old version without a file.
    if (!m_store.Begin() || !m_store.Tidy() || !m_store.Commit()) {
        m_store.Rollback();
        m_summary.storeFailed = true;
        m_summary.problems << m_store.Message();
    }
    return m_summary;
}
