#include "platform/RegularFile.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenRegularFile(QFile& file, const QString& path) {
    return OpenRegularFile(file, QFile::encodeName(path));
}

bool OpenRegularFile(QFile& file, const QByteArray& path, bool noLinks) {
    // Non-blocking, so that a pipe without a writer cannot hold the open;
    // the type is taken from the opened descriptor, not from the name, so
    // nothing can be swapped in between.
    const int fd =
        open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (noLinks ? O_NOFOLLOW : 0));
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return false;
    }
    return true;
}

QByteArray ReadAtMost(QFile& file, qint64 limit) {
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() <= limit) {
        const qint64 n = file.read(chunk, std::min<qint64>(sizeof chunk, limit + 1 - bytes.size()));
        if (n <= 0)
            break;
        bytes.append(chunk, qsizetype(n));
    }
    return bytes;
}
