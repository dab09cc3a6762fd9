#include "app/ViewerInbox.h"

#include "platform/ViewerSocket.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A caller that says nothing within this is dropped.
constexpr int kCallerMs = 3000;
} // namespace

CViewerInbox::CViewerInbox(QString socketPath, std::function<bool()> idle,
                           std::function<void(const QString&)> open)
    : m_path(std::move(socketPath)), m_idle(std::move(idle)), m_open(std::move(open)) {
    m_fd = ListenAsViewer(m_path);
    if (m_fd < 0)
        return;
    m_listening = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_listening, &QSocketNotifier::activated, this, [this]() { Accept(); });
}

CViewerInbox::~CViewerInbox() {
    for (auto& [fd, caller] : m_callers) {
        delete caller.notifier;
        close(fd);
    }
    if (m_fd >= 0) {
        delete m_listening;
        close(m_fd);
        // The next program to start listens in our place.
        unlink(QFile::encodeName(m_path).constData());
    }
}

void CViewerInbox::Accept() {
    const int fd = accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (!PeerIsThisUser(fd)) {
        close(fd);
        return;
    }
    Caller& caller = m_callers[fd];
    caller.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(caller.notifier, &QSocketNotifier::activated, this, [this, fd]() { Read(fd); });
    QTimer::singleShot(kCallerMs, this, [this, fd]() {
        if (m_callers.count(fd))
            Answer(fd, QByteArray());
    });
}

void CViewerInbox::Read(int fd) {
    Caller& caller = m_callers[fd];
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            Answer(fd, QByteArray());
        return;
    }
    caller.line.append(buffer, n);
    const qsizetype end = caller.line.indexOf('\n');
    if (end < 0) {
        if (caller.line.size() > kViewerRequestLimit)
            Answer(fd, QByteArray());
        return;
    }
    const QByteArray path = ViewerRequestPath(caller.line.left(end + 1));
    if (path.isEmpty()) {
        Answer(fd, QByteArray());
    } else if (!m_idle()) {
        Answer(fd, "busy\n");
    } else {
        // Answered first: showing may ask the user something, and the
        // caller must not wait for that.
        Answer(fd, "opened\n");
        m_open(QFile::decodeName(path));
    }
}

void CViewerInbox::Answer(int fd, const QByteArray& answer) {
    if (!answer.isEmpty())
        (void)send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    const auto it = m_callers.find(fd);
    if (it != m_callers.end()) {
        delete it->second.notifier;
        m_callers.erase(it);
    }
    close(fd);
}
