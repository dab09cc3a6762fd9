#include "platform/FileOps.h"

#include "platform/RegularFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
FileOps g_system;
FileOps* g_files = &g_system;

QByteArray Path(const QString& path) {
    return QFile::encodeName(path);
}

// errno values with which a file system says it cannot do the call at all,
// as opposed to failing it.
bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
           error == EPERM;
}
} // namespace

int FileOps::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags | O_CLOEXEC, mode);
}

ssize_t FileOps::WriteAt(int fd, const char* data, size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}

int FileOps::Truncate(int fd, off_t size) {
    return ::ftruncate(fd, size);
}

int FileOps::Fsync(int fd) {
    return ::fsync(fd);
}

int FileOps::Close(int fd) {
    return ::close(fd);
}

int FileOps::Lock(int fd, int operation) {
    return ::flock(fd, operation);
}

int FileOps::RenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int FileOps::Link(const char* from, const char* to) {
    return ::link(from, to);
}

int FileOps::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int FileOps::Unlink(const char* path) {
    return ::unlink(path);
}

int FileOps::SyncFolder(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
    return result;
}

FileOps& Files() {
    return *g_files;
}

FileOpsStandIn::FileOpsStandIn() : m_previous(g_files) {
    g_files = this;
}

FileOpsStandIn::~FileOpsStandIn() {
    g_files = m_previous;
}

bool WriteAllAt(int fd, const QByteArray& bytes, off_t offset) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = Files().WriteAt(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                          offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

int RenameWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = Path(from);
    const QByteArray target = Path(to);
    if (Files().RenameNoReplace(source.constData(), target.constData()) == 0)
        return 0;
    if (!Unsupported(errno))
        return errno;
    // No renameat2 here: a hard link cannot replace either.
    if (Files().Link(source.constData(), target.constData()) == 0) {
        Files().Unlink(source.constData());
        return 0;
    }
    if (!Unsupported(errno))
        return errno;
    // No hard links either (a FAT card): claim the name, then rename onto the
    // claim, which replaces only the empty file just made.
    const int claim = Files().Open(target.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (claim < 0)
        return errno;
    Files().Close(claim);
    if (Files().Rename(source.constData(), target.constData()) != 0) {
        const int error = errno;
        Files().Unlink(target.constData());
        return error;
    }
    return 0;
}

bool SyncFolderEntries(const QString& folder) {
    if (Files().SyncFolder(Path(folder).constData()) == 0)
        return true;
    return errno == EINVAL || errno == EROFS || errno == EBADF || errno == ENOTSUP ||
           errno == EOPNOTSUPP;
}

bool ReadWholeFile(const QString& path, QByteArray& bytes) {
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    const qint64 size = file.size();
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError && bytes.size() == size;
}
