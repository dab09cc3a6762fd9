#include "library/ScanLock.h"

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

CScanLock::~CScanLock() {
    Release();
}

void CScanLock::Release() {
    if (m_fd >= 0)
        close(m_fd); // releases the lock; the file stays for the next holder
    m_fd = -1;
}

CScanLock::Result CScanLock::Take(const QString& what, qint64 sinceMs, int waitMs,
                                  const std::atomic<bool>* cancel) {
    if (m_fd >= 0)
        return Taken;
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
    if (m_fd >= 0 && m_made)
        unlink(QFile::encodeName(m_path).constData());
    Release();
}

QString CScanLock::Holder() const {
    QFile file(m_path);
    const QStringList lines = file.open(QIODevice::ReadOnly)
                                  ? QString::fromUtf8(file.read(4096)).split(QLatin1Char('\n'))
                                  : QStringList();
    if (lines.size() < 4 || lines[0].isEmpty())
        return QStringLiteral("another program holds it");
    const QDateTime since = QDateTime::fromMSecsSinceEpoch(lines[3].toLongLong(), Qt::UTC);
    return QStringLiteral("%1 (process %2 on %3) has held it since %4 UTC")
        .arg(lines[0], lines[2], lines[1], since.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}
