#include "library/FolderWatch.h"

#include "library/Mounts.h"
#include "library/Worker.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QThread>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <strings.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE |
                                   IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                   IN_DONT_FOLLOW | IN_EXCL_UNLINK;

bool IsReportName(const QByteArray& name) {
    return name.size() > 4 && strcasecmp(name.constData() + name.size() - 4, ".kjr") == 0;
}

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

bool Below(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/')) ||
           folder == QLatin1String("/");
}

QString WatchFailure(int error) {
    if (error == ENOSPC)
        return QStringLiteral("the system's limit of watched folders is reached "
                              "(fs.inotify.max_user_watches)");
    return QString::fromLocal8Bit(std::strerror(error));
}

// The mounts as "mount point\tsource" lines, to tell what changed.
std::set<QString> MountLines() {
    std::set<QString> lines;
    for (const MountFacts& m : CurrentMounts())
        lines.insert(m.mountPoint + QLatin1Char('\t') + m.source);
    return lines;
}
} // namespace

struct CFolderWatch::Shared {
    QMutex mutex;
    QStringList folders; // asked for; taken by the thread
    QStringList media;
    bool changed = false;
    std::atomic<bool> stop{false};
    std::atomic<int> settleMs{CFolderWatch::kSettleMs};
    int wake[2] = {-1, -1};
    ~Shared() {
        for (int fd : wake)
            if (fd >= 0)
                close(fd);
    }
};

namespace {
// The watching thread's own state.
class CWatcher {
public:
    CWatcher(std::shared_ptr<CFolderWatch::Shared> shared, CWorkerLink* link, CFolderWatch* owner)
        : m_shared(std::move(shared)), m_link(link), m_owner(owner) {}

    void Run();

private:
    struct Root {
        QString folder;
        QByteArray path;
        dev_t device = 0;
        QString mountPoint;
        bool watched = false;
    };
    struct Pending {
        qint64 due = 0;
        bool looked = false;
        qint64 size = -1;
        qint64 mtimeNs = -1;
    };
    struct Watch {
        size_t root = 0;
        QByteArray path; // the folder watched
    };

    void Post(std::function<void(CFolderWatch*)> report) {
        CFolderWatch* owner = m_owner;
        m_link->Post([owner, report = std::move(report)]() { report(owner); });
    }
    void TakeFolders();
    void SetUp(size_t index);
    void Unwatch(size_t index);
    bool WatchTree(size_t index, const QByteArray& path, bool listNew);
    void ReadEvents();
    void MountsChanged();
    void LookAtPending();
    void WantScan(const QString& why) {
        Post([why](CFolderWatch* w) { Q_EMIT w->ScanWanted(why); });
    }

    std::shared_ptr<CFolderWatch::Shared> m_shared;
    CWorkerLink* m_link;
    CFolderWatch* m_owner;
    int m_inotify = -1;
    std::vector<Root> m_roots;
    QStringList m_media;
    std::map<int, Watch> m_watches;
    std::map<QByteArray, Pending> m_pending;
    std::set<QString> m_mounts;
};

void CWatcher::Run() {
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const int mountinfo = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    m_mounts = MountLines();
    if (m_inotify < 0) {
        const QString why = WatchFailure(errno);
        Post([why](CFolderWatch* w) {
            Q_EMIT w->FolderState(QString(), CFolderWatch::Failed,
                                  QStringLiteral("no folder can be watched: ") + why);
        });
    }
    while (!m_shared->stop.load()) {
        TakeFolders();
        int timeout = -1;
        const qint64 now = NowMs();
        for (const auto& [path, p] : m_pending) {
            const int left = int(std::clamp<qint64>(p.due - now, 0, INT_MAX));
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        pollfd fds[3] = {
            {m_shared->wake[0], POLLIN, 0}, {m_inotify, POLLIN, 0}, {mountinfo, POLLPRI, 0}};
        const int n = poll(fds, 3, timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_shared->wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (m_shared->stop.load())
            break;
        if (fds[1].revents & POLLIN)
            ReadEvents();
        if (fds[2].revents & (POLLPRI | POLLERR))
            MountsChanged();
        LookAtPending();
    }
    if (mountinfo >= 0)
        close(mountinfo);
    if (m_inotify >= 0)
        close(m_inotify);
}

void CWatcher::TakeFolders() {
    QStringList folders;
    {
        QMutexLocker lock(&m_shared->mutex);
        if (!m_shared->changed)
            return;
        m_shared->changed = false;
        folders = m_shared->folders;
        m_media = m_shared->media;
    }
    for (size_t i = 0; i < m_roots.size(); ++i)
        Unwatch(i);
    m_roots.clear();
    m_pending.clear();
    for (const QString& folder : folders) {
        m_roots.push_back({folder, QFile::encodeName(folder), 0, QString(), false});
        SetUp(m_roots.size() - 1);
    }
}

void CWatcher::Unwatch(size_t index) {
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it->second.root == index) {
            inotify_rm_watch(m_inotify, it->first);
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
    m_roots[index].watched = false;
}

void CWatcher::SetUp(size_t index) {
    Root& root = m_roots[index];
    // The mount table alone says whether the folder is on a share: a share
    // that stopped answering must not be touched at all.
    const MountFacts mount = MountOf(root.folder, 0, false);
    root.mountPoint = mount.mountPoint;
    const QString folder = root.folder;
    if (IsNetworkFileSystem(mount.fsType)) {
        const QString why = QStringLiteral("on a network file system (%1)").arg(mount.fsType);
        Post([folder, why](CFolderWatch* w) {
            Q_EMIT w->FolderState(folder, CFolderWatch::Network, why);
        });
        return;
    }
    if (m_inotify < 0)
        return;
    struct stat st {};
    if (stat(root.path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return; // not there: offline; a mount there later asks for a scan
    root.device = st.st_dev;
    if (!WatchTree(index, root.path, false)) {
        const QString why = WatchFailure(errno);
        Unwatch(index);
        Post([folder, why](CFolderWatch* w) {
            Q_EMIT w->FolderState(folder, CFolderWatch::Failed,
                                  QStringLiteral("cannot be watched: ") + why);
        });
        return;
    }
    root.watched = true;
    Post([folder](CFolderWatch* w) {
        Q_EMIT w->FolderState(folder, CFolderWatch::Watched, QString());
    });
}

// Watches `path` and every folder below it on the root's file system;
// with `listNew`, reports already there are taken as arrived (a folder
// moved or copied in brings its files before its watch is set).
bool CWatcher::WatchTree(size_t index, const QByteArray& path, bool listNew) {
    std::vector<QByteArray> pending{path};
    while (!pending.empty()) {
        const QByteArray dir = pending.back();
        pending.pop_back();
        const int wd = inotify_add_watch(m_inotify, dir.constData(), kFolderEvents);
        if (wd < 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                continue; // gone meanwhile
            return false;
        }
        m_watches[wd] = {index, dir};
        DIR* d = opendir(dir.constData());
        if (!d)
            continue;
        while (const dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            struct stat st {};
            if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            const QByteArray child = dir + '/' + e->d_name;
            if (S_ISDIR(st.st_mode) && st.st_dev == m_roots[index].device)
                pending.push_back(child);
            else if (listNew && !S_ISDIR(st.st_mode) && IsReportName(e->d_name))
                m_pending[child] = {NowMs() + m_shared->settleMs.load(), false, -1, -1};
        }
        closedir(d);
    }
    return true;
}

void CWatcher::ReadEvents() {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                // Events were lost: what happened can only be listed, and
                // from now on the folders are listed on the timer too.
                const QString why = QStringLiteral("too many changes at once; events were lost");
                for (const Root& r : m_roots)
                    if (r.watched) {
                        const QString folder = r.folder;
                        Post([folder, why](CFolderWatch* w) {
                            Q_EMIT w->FolderState(folder, CFolderWatch::Failed, why);
                        });
                    }
                WantScan(why);
                continue;
            }
            const auto it = m_watches.find(e->wd);
            if (it == m_watches.end())
                continue;
            if (e->mask & IN_IGNORED) {
                m_watches.erase(it);
                continue;
            }
            const Watch watch = it->second;
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                if (watch.path == m_roots[watch.root].path)
                    WantScan(QStringLiteral("%1 went away").arg(m_roots[watch.root].folder));
                continue;
            }
            const QByteArray name(e->len > 0 ? e->name : "");
            const QByteArray path = watch.path + '/' + name;
            if (e->mask & IN_ISDIR) {
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
                    struct stat st {};
                    if (lstat(path.constData(), &st) == 0 &&
                        st.st_dev == m_roots[watch.root].device &&
                        !WatchTree(watch.root, path, true)) {
                        const QString folder = m_roots[watch.root].folder;
                        const QString why =
                            QStringLiteral("cannot be watched: ") + WatchFailure(errno);
                        Post([folder, why](CFolderWatch* w) {
                            Q_EMIT w->FolderState(folder, CFolderWatch::Failed, why);
                        });
                        WantScan(why);
                    }
                } else if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
                    WantScan(QStringLiteral("a folder was removed from %1")
                                 .arg(m_roots[watch.root].folder));
                }
                continue;
            }
            if (!IsReportName(name))
                continue;
            if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
                m_pending.erase(path);
                WantScan(
                    QStringLiteral("a report was removed from %1").arg(m_roots[watch.root].folder));
            } else {
                m_pending[path] = {NowMs() + m_shared->settleMs.load(), false, -1, -1};
            }
        }
    }
}

void CWatcher::MountsChanged() {
    const std::set<QString> now = MountLines();
    QStringList changed;
    for (const QString& line : m_mounts)
        if (!now.count(line))
            changed << line.section(QLatin1Char('\t'), 0, 0);
    for (const QString& line : now)
        if (!m_mounts.count(line))
            changed << line.section(QLatin1Char('\t'), 0, 0);
    m_mounts = now;
    bool wanted = false;
    for (size_t i = 0; i < m_roots.size(); ++i) {
        bool touched = false;
        for (const QString& point : changed)
            touched = touched || Below(m_roots[i].folder, point) || Below(point, m_roots[i].folder);
        if (touched) {
            Unwatch(i);
            SetUp(i);
            wanted = true;
        }
    }
    for (const QString& point : changed)
        for (const QString& media : m_media)
            wanted = wanted || Below(point, media);
    if (wanted)
        WantScan(QStringLiteral("a card or share was mounted or unmounted"));
}

void CWatcher::LookAtPending() {
    const qint64 now = NowMs();
    QStringList ready;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        Pending& p = it->second;
        if (p.due > now) {
            ++it;
            continue;
        }
        struct stat st {};
        if (stat(it->first.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
            it = m_pending.erase(it);
            continue;
        }
        const qint64 mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (p.looked && p.size == qint64(st.st_size) && p.mtimeNs == mtimeNs) {
            ready << QFile::decodeName(it->first);
            it = m_pending.erase(it);
            continue;
        }
        // Still being written (or looked at once only): look again later.
        p = {now + m_shared->settleMs.load(), true, qint64(st.st_size), mtimeNs};
        ++it;
    }
    if (!ready.isEmpty())
        Post([ready](CFolderWatch* w) { Q_EMIT w->FilesReady(ready); });
}
} // namespace

CFolderWatch::CFolderWatch(QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    if (pipe2(m_shared->wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    m_pLink = new CWorkerLink;
    auto shared = m_shared;
    CWorkerLink* link = m_pLink;
    QThread* thread = QThread::create([shared, link, owner = this]() {
        CWatcher(shared, link, owner).Run();
        link->deleteLater();
    });
    KeepLibraryWorker(thread);
    thread->start();
}

CFolderWatch::~CFolderWatch() {
    if (!m_pLink)
        return;
    // The thread ends at its next look; nothing waits for it here.
    m_pLink->attached = false;
    m_shared->stop.store(true);
    (void)!write(m_shared->wake[1], "x", 1);
}

void CFolderWatch::SetSettleMs(int ms) {
    m_shared->settleMs.store(ms);
}

void CFolderWatch::SetFolders(const QStringList& folders, const QStringList& mediaFolders) {
    {
        QMutexLocker lock(&m_shared->mutex);
        if (m_shared->folders == folders && m_shared->media == mediaFolders)
            return;
        m_shared->folders = folders;
        m_shared->media = mediaFolders;
        m_shared->changed = true;
    }
    if (m_pLink)
        (void)!write(m_shared->wake[1], "x", 1);
}
