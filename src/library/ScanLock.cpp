#include "library/ScanLock.h"

#include "library/LibraryStore.h"
#include "library/PostgresIndex.h"
#include "library/SqliteIndexFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CScanLock::CScanLock(const QString& databasePath)
    : m_path(databasePath + QStringLiteral(".lock")) {}

CScanLock::CScanLock(CLibraryStore& store) : m_pStore(&store), m_path(store.Path()) {}

CScanLock::~CScanLock() {
    Release();
}

void CScanLock::Release() {
    if (m_fd >= 0)
        close(m_fd); // releases the lock; the file stays for the next holder
    m_fd = -1;
    if (m_bServerHeld) {
        ReleaseServerScanLock(m_pStore->Connection());
        m_pStore->SetScanLockHeld(false);
    }
    m_bServerHeld = false;
}

CScanLock::Result CScanLock::TakeOnServer(const QString& what, qint64 sinceMs, int waitMs,
                                          const std::atomic<bool>* cancel) {
    QSqlDatabase& db = m_pStore->Connection();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const std::optional<bool> taken = TakeServerScanLock(db);
        if (!taken) {
            m_error = QStringLiteral("the library's scan lock on %1 cannot be asked for (%2)")
                          .arg(m_path, SqlErrorText(db.lastError()));
            return Failed;
        }
        if (*taken)
            break;
        if (std::chrono::steady_clock::now() >= deadline || (cancel && cancel->load()))
            return Busy;
        QThread::msleep(100);
    }
    m_bServerHeld = true;
    m_pStore->SetScanLockHeld(true);
    if (!RecordServerScanHolder(db, what, QSysInfo::machineHostName(), qint64(getpid()), sinceMs)) {
        m_error = QStringLiteral("the library on %1 may not be written by this login (%2)")
                      .arg(m_path, SqlErrorText(db.lastError()));
        Release();
        return Failed;
    }
    return Taken;
}

CScanLock::Result CScanLock::Take(const QString& what, qint64 sinceMs, int waitMs,
                                  const std::atomic<bool>* cancel) {
    if (Held())
        return Taken;
    if (m_pStore)
        return TakeOnServer(what, sinceMs, waitMs, cancel);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    int fd =
        open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    m_made = fd >= 0;
    if (fd < 0 && errno == EEXIST)
        fd = open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("the lock file %1 cannot be made (%2)")
                      .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return Failed;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = QStringLiteral("the lock file %1 cannot be locked (%2)")
                          .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
            close(fd);
            return Failed;
        }
        // flock has no time-out of its own; a holder lets go rarely enough
        // that looking again every tenth of a second costs nothing.
        if (std::chrono::steady_clock::now() >= deadline || (cancel && cancel->load())) {
            close(fd);
            return Busy;
        }
        QThread::msleep(100);
    }
    m_fd = fd;
    const QByteArray holder = QStringLiteral("%1\n%2\n%3\n%4\n")
                                  .arg(what, QSysInfo::machineHostName())
                                  .arg(qint64(getpid()))
                                  .arg(sinceMs)
                                  .toUtf8();
    if (ftruncate(fd, 0) == 0)
        (void)!pwrite(fd, holder.constData(), size_t(holder.size()), 0);
    return Taken;
}

void CScanLock::Withdraw() {
    if (!m_pStore && m_fd >= 0 && m_made)
        unlink(QFile::encodeName(m_path).constData());
    Release();
}

QString CScanLock::Holder() const {
    if (m_pStore) {
        const QString holder = ServerScanHolder(m_pStore->Connection());
        return holder.isEmpty() ? QStringLiteral("another program holds it") : holder;
    }
    QFile file(m_path);
    const QStringList lines = file.open(QIODevice::ReadOnly)
                                  ? QString::fromUtf8(file.read(4096)).split(QLatin1Char('\n'))
                                  : QStringList();
    if (lines.size() < 4 || lines[0].isEmpty())
        return QStringLiteral("another program holds it");
    return ScanHolderSentence(lines[0], lines[2].toLongLong(), lines[1], lines[3].toLongLong());
}
