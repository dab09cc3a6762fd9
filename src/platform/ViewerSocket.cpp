#include "platform/ViewerSocket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
bool Address(const QString& path, sockaddr_un& addr) {
    const QByteArray bytes = QFile::encodeName(path);
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

// A folder of this user's alone: made when missing, refused when someone
// else's or open to others (a socket there could be another's).
bool PrivateFolder(const QString& folder) {
    const QByteArray bytes = QFile::encodeName(folder);
    if (mkdir(bytes.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return lstat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 077) == 0;
}

int Connect(const sockaddr_un& addr) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Waits for `events` on `fd` until the deadline; false when it passed.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}
} // namespace

QString ViewerSocketPath() {
    const QByteArray forced = qgetenv("VTQ_VIEWER_SOCKET");
    if (!forced.isEmpty())
        return QFile::decodeName(forced);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QFile::decodeName(runtime) + QStringLiteral("/kelvorn-vtq-ppc-viewer");
    return QStringLiteral("/tmp/kelvorn-vtq-ppc-%1/viewer").arg(getuid());
}

int ListenAsViewer(const QString& path) {
    sockaddr_un addr;
    if (!Address(path, addr) || !PrivateFolder(QFileInfo(path).absolutePath()))
        return -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        // Only this user may knock: the socket is made without rights for
        // anyone else.
        const mode_t before = umask(077);
        const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        const int error = errno;
        umask(before);
        if (bound && listen(fd, 8) == 0)
            return fd;
        close(fd);
        if (bound || error != EADDRINUSE)
            return -1;
        // Taken: by a viewer that answers, or left by one that ended.
        const int other = Connect(addr);
        if (other >= 0) {
            close(other);
            return -1;
        }
        if (errno != ECONNREFUSED)
            return -1;
        struct stat st {};
        if (lstat(addr.sun_path, &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != getuid())
            return -1;
        unlink(addr.sun_path);
    }
    return -1;
}

QByteArray ViewerRequest(const QByteArray& reportPath) {
    return "open " + reportPath.toPercentEncoding("/") + '\n';
}

QByteArray ViewerRequestPath(const QByteArray& line) {
    QByteArray text = line;
    if (text.endsWith('\n'))
        text.chop(1);
    if (!text.startsWith("open ") || text.size() > kViewerRequestLimit)
        return QByteArray();
    const QByteArray path = QByteArray::fromPercentEncoding(text.mid(5));
    // A path is absolute and holds no NUL (the file could not be named).
    return path.startsWith('/') && !path.contains('\0') ? path : QByteArray();
}

bool PeerIsThisUser(int fd) {
    ucred cred{};
    socklen_t size = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 && cred.uid == getuid();
}

ViewerAnswer HandToViewer(const QString& socketPath, const QByteArray& reportPath, int ms) {
    sockaddr_un addr;
    if (!Address(socketPath, addr))
        return ViewerAnswer::NoViewer;
    const QDeadlineTimer deadline(ms);
    const int fd = Connect(addr);
    if (fd < 0)
        return ViewerAnswer::NoViewer;
    const QByteArray request = ViewerRequest(reportPath);
    qsizetype sent = 0;
    while (sent < request.size()) {
        if (!WaitFor(fd, POLLOUT, deadline))
            break;
        const ssize_t n = send(fd, request.constData() + sent, size_t(request.size() - sent),
                               MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        sent += n > 0 ? n : 0;
    }
    QByteArray answer;
    while (sent == request.size() && !answer.contains('\n') && answer.size() < 64 &&
           WaitFor(fd, POLLIN, deadline)) {
        char buffer[64];
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            break;
        if (n > 0)
            answer.append(buffer, n);
    }
    close(fd);
    // A viewer that does not say it took the report did not: the caller
    // starts another rather than lose the request.
    return answer.startsWith("opened\n") ? ViewerAnswer::Opened : ViewerAnswer::Busy;
}
