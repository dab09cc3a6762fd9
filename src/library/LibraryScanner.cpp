#include "library/LibraryScanner.h"

#include "library/JointIndex.h"
#include "platform/RegularFile.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <strings.h>
#include <sys/stat.h>
#include <utility>

namespace {
struct Entry {
    QString relPath;
    qint64 size = 0;
    qint64 mtimeMs = 0;
    bool regular = false;
    // A name that is not valid text (a stick written by another system)
    // cannot be named again to open it.
    bool textName = true;
};

struct Listing {
    std::vector<Entry> entries;
    QStringList problems;
    bool complete = true;
};

qint64 MtimeMs(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

bool IsReportName(const char* name) {
    const size_t n = std::strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".kjr") == 0;
}

// Lists the tree with readdir so that every error is seen: QDir gives an
// empty list for a folder it cannot read, which would look like deleted
// files. Links to folders are not followed (no loops, nothing outside the
// root); each folder is entered once even if bind-mounted twice.
Listing ListTree(const QString& root, const std::atomic<bool>* cancel) {
    Listing listing;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<QByteArray> pending{QByteArray()};
    const QByteArray base = QFile::encodeName(root);
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
                                    .arg(QFile::decodeName(dirPath),
                                         QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        struct stat dst {};
        if (fstat(dirfd(dir), &dst) == 0 && !seen.insert({dst.st_dev, dst.st_ino}).second) {
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
                                            .arg(QFile::decodeName(dirPath),
                                                 QString::fromLocal8Bit(std::strerror(errno)));
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
                        QFile::decodeName(base + '/' + childRel),
                        QString::fromLocal8Bit(std::strerror(errno)));
                }
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                pending.push_back(childRel);
                continue;
            }
            if (!IsReportName(e->d_name))
                continue;
            if (S_ISLNK(st.st_mode)) {
                struct stat target {};
                if (fstatat(dirfd(dir), e->d_name, &target, 0) == 0) {
                    if (S_ISDIR(target.st_mode))
                        continue;
                    st = target;
                }
            }
            const QString name = QFile::decodeName(childRel);
            listing.entries.push_back({name, qint64(st.st_size), MtimeMs(st), S_ISREG(st.st_mode),
                                       QFile::encodeName(name) == childRel});
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
    bool known = false;
    QByteArray sha256;
    JointFields fields;
    QString reason;
    // A failure that says nothing about the file (it went away, the share
    // stopped answering): not recorded, so the file is read again next time.
    bool transient = false;
};

ReadResult ReadOne(const QString& root, const Entry& entry, CVtkDoc& doc) {
    ReadResult r{entry, false, {}, {}, {}, false};
    const QString path = root + QLatin1Char('/') + entry.relPath;
    QFile file;
    if (!entry.textName) {
        r.reason = QStringLiteral("the file name is not valid text");
        return r;
    }
    if (!entry.regular) {
        r.reason = QStringLiteral("not a regular file");
        return r;
    }
    if (entry.size > CLibraryScanner::kMaxReportBytes) {
        r.reason = QStringLiteral("too large for a joint report");
        return r;
    }
    errno = 0;
    if (!OpenRegularFile(file, path)) {
        // Only a refusal is the file's own; anything else may pass.
        r.transient = errno != EACCES && errno != EPERM;
        r.reason = QStringLiteral("cannot be opened");
        return r;
    }
    const QByteArray bytes = file.read(CLibraryScanner::kMaxReportBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        r.transient = true;
        r.reason = QStringLiteral("cannot be read");
        return r;
    }
    if (bytes.size() > CLibraryScanner::kMaxReportBytes) {
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
    // The reader leaves the samples as recorded; the highest pressure the
    // index keeps is the one the report's plots show.
    PrepareSamples(doc);
    r.fields = JointFieldsOf(doc, path);
    doc.FreeReport(false);
    return r;
}

bool ProbeDir(const QString& path, struct stat& st) {
    return stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// On a file system of its own: a mount point, or below one that differs
// from its parent's.
bool IsMountPoint(const QString& path, const struct stat& st) {
    struct stat parent {};
    return stat(QFile::encodeName(path + QStringLiteral("/..")).constData(), &parent) == 0 &&
           parent.st_dev != st.st_dev;
}
} // namespace

QString LibraryRootPath(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

void CLibraryScanner::SetConfirmedRemovals(const QStringList& roots) {
    m_confirmed.clear();
    for (const QString& r : roots)
        m_confirmed << LibraryRootPath(r);
}

ScanSummary CLibraryScanner::Scan(const QStringList& roots) {
    ScanSummary summary;
    m_nDone = m_nListed = 0;
    for (const QString& folder : roots) {
        const QString path = LibraryRootPath(folder);
        const qint64 id = m_store.AddRoot(path);
        if (id == 0) {
            summary.storeFailed = true;
            summary.problems << QStringLiteral("%1: the library index cannot record it").arg(path);
            continue;
        }
        LibraryRoot root;
        for (const LibraryRoot& r : m_store.Roots())
            if (r.id == id)
                root = r;
        if (Cancelled()) {
            summary.cancelled = true;
            break;
        }
        ScanRoot(root, summary);
    }
    summary.cancelled = summary.cancelled || Cancelled();
    // A folder the index knows but that is not among the library's folders
    // now (a card not inserted today) is away, not empty.
    if (!summary.cancelled) {
        QStringList scanned;
        for (const QString& folder : roots)
            scanned << LibraryRootPath(folder);
        for (const LibraryRoot& r : m_store.Roots())
            if (!scanned.contains(r.path)) {
                m_store.SetRootState(r.id, false, r.mounted);
                summary.offline << r.path;
            }
    }
    if (!m_store.DropOrphanReports())
        summary.storeFailed = true;
    return summary;
}

void CLibraryScanner::ScanRoot(const LibraryRoot& root, ScanSummary& summary) {
    QHash<QString, IndexedFile> known = m_store.FilesOfRoot(root.id);
    int knownPresent = 0;
    for (const IndexedFile& f : std::as_const(known))
        knownPresent += f.missing ? 0 : 1;

    const auto goOffline = [&]() {
        m_store.SetRootState(root.id, false, root.mounted);
        summary.offline << root.path;
    };
    struct stat st {};
    if (!ProbeDir(root.path, st)) {
        goOffline();
        return;
    }
    const bool mounted = IsMountPoint(root.path, st);
    // A share or stick that was mounted here and is not now leaves an empty
    // folder of the system's: that is no sign its reports were deleted.
    if (root.mounted && !mounted) {
        goOffline();
        return;
    }
    Listing listing = ListTree(root.path, m_pCancel);
    summary.problems << listing.problems;
    struct stat again {};
    if (!ProbeDir(root.path, again) || again.st_dev != st.st_dev) {
        goOffline();
        return;
    }
    QSet<QString> listed;
    for (const Entry& e : listing.entries)
        listed.insert(e.relPath);
    int vanished = 0;
    for (auto it = known.cbegin(); it != known.cend(); ++it)
        vanished += !it->missing && !listed.contains(it.key()) ? 1 : 0;
    // An empty root that had joints, or one that would lose most of them at
    // once, is more likely away (unmounted, swapped) than emptied.
    if (listing.complete && !m_confirmed.contains(root.path) &&
        ((listing.entries.empty() && knownPresent > 0) ||
         (vanished >= 2 && vanished * 2 > knownPresent))) {
        goOffline();
        summary.suspect << root.path;
        return;
    }
    m_store.SetRootState(root.id, true, mounted);
    m_nListed += int(listing.entries.size());

    CVtkDoc doc;
    std::vector<ReadResult> batch;
    QElapsedTimer batchAge;
    batchAge.start();
    // No transaction is open while files are read: reads from a slow share
    // would hold the writer's lock all that time.
    const auto flush = [&]() {
        if (batch.empty())
            return;
        bool ok = m_store.Begin();
        for (const ReadResult& r : batch) {
            if (!ok)
                break;
            if (r.known) {
                ok = m_store.SetFileMissing(known.value(r.entry.relPath).id, false);
                continue;
            }
            qint64 reportId = 0;
            if (r.reason.isEmpty())
                ok = (reportId = m_store.PutReport(r.sha256, r.entry.size, r.fields)) > 0;
            ok = ok && m_store.PutFile(root.id, r.entry.relPath, r.entry.size, r.entry.mtimeMs,
                                       reportId, r.reason);
        }
        ok = ok && m_store.Commit();
        if (!ok) {
            m_store.Rollback();
            summary.storeFailed = true;
            summary.problems << QStringLiteral("%1: the library index could not record the "
                                               "files read")
                                    .arg(root.path);
        } else {
            for (const ReadResult& r : batch) {
                const QString full = root.path + QLatin1Char('/') + r.entry.relPath;
                if (r.known)
                    summary.restored << full;
                else if (!r.reason.isEmpty())
                    summary.unreadable << full + QStringLiteral(": ") + r.reason;
                else if (known.contains(r.entry.relPath))
                    summary.updated << full;
                else
                    summary.added << full;
            }
        }
        batch.clear();
        batchAge.restart();
    };

    bool stopped = false;
    bool trouble = false;
    for (const Entry& e : listing.entries) {
        if (Cancelled()) {
            stopped = true;
            break;
        }
        const auto it = known.constFind(e.relPath);
        // Unchanged: same size, and the same time within a second (FAT keeps
        // times in 2-s steps). A file that could not be read is not read
        // again until it changes.
        if (it != known.cend() && it->size == e.size && std::abs(it->mtimeMs - e.mtimeMs) <= 1000) {
            if (it->missing)
                batch.push_back({e, true, {}, {}, {}, false});
            else
                ++summary.unchanged;
        } else if (ReadResult r = ReadOne(root.path, e, doc); r.transient) {
            trouble = true;
            summary.problems << root.path + QLatin1Char('/') + e.relPath + QStringLiteral(": ") +
                                    r.reason;
        } else {
            batch.push_back(std::move(r));
        }
        ++m_nDone;
        if (m_progress)
            m_progress(m_nDone, m_nListed);
        if (int(batch.size()) >= kBatchFiles || batchAge.elapsed() >= kBatchMs)
            flush();
    }
    flush();
    // Gone while it was read: what was read stays, the rest is offline.
    struct stat after {};
    if (!ProbeDir(root.path, after) || after.st_dev != st.st_dev) {
        goOffline();
        return;
    }
    if (stopped || trouble || !listing.complete || summary.storeFailed)
        return;
    // Only now, with every file of a reachable root listed, is a file that
    // was not seen known to be gone.
    if (!m_store.Begin())
        return;
    bool ok = true;
    QStringList gone;
    for (auto it = known.cbegin(); ok && it != known.cend(); ++it)
        if (!it->missing && !listed.contains(it.key())) {
            ok = m_store.SetFileMissing(it->id, true);
            gone << root.path + QLatin1Char('/') + it.key();
        }
    if (ok && m_store.Commit()) {
        gone.sort();
        summary.missing << gone;
    } else {
        m_store.Rollback();
        summary.storeFailed = true;
    }
}
