#include "library/LibraryLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CLibraryLock::CLibraryLock(const QString& databasePath)
    : m_path(databasePath + QStringLiteral(".lock")) {}

CLibraryLock::~CLibraryLock() {
    if (m_fd >= 0)
        close(m_fd); // releases the lock; the file stays for the next holder
}

bool CLibraryLock::TryLock() {
    if (m_fd >= 0)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const int fd = open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
