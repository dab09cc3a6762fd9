#pragma once
// The far end of the serial link for tests: a pseudo-terminal whose slave is
// mapped to a COM port in the settings store, so the program opens it like
// the Vantrek's port while the test reads and writes the master.

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "link/ComPort.h"
#include "link/ReplyLine.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

inline void MapComPort(int port, const QString& device) {
    WriteSettingText(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(port + 1), device);
}

// Blocks for at most `ms` until `fd` is ready for `events`.
inline void WaitFor(int fd, short events, int ms) {
    pollfd ready{fd, events, 0};
    poll(&ready, 1, ms);
}

// Calls `done` until it returns true or two seconds have passed; in between,
// `wait(ms)` blocks on the descriptor that what is awaited comes through:
// data written to a pseudo-terminal reaches the other side shortly, not at
// once.
template <typename Done, typename Wait> bool Within(Done done, Wait wait) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(2);
    while (!done()) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        wait(int(left));
    }
    return true;
}

// By default what is awaited comes in on the program's side of the link.
template <typename Done> bool Within(Done done) {
    return Within(done, [](int ms) {
        if (ComWaitForInput(g_nCurPort, ms) < 0)
            std::this_thread::yield(); // no port open: nothing to wait on
    });
}

// A complete reply line from the link, or an empty text after the deadline.
inline QByteArray ReceiveLine(ReplyLine& line) {
    return Within([&] { return ReadReplyLine(line); }) ? line.Text() : QByteArray();
}

class PtyVantrek {
public:
    explicit PtyVantrek(int port = 0) {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
            MapComPort(port, m_path);
        }
    }
    ~PtyVantrek() {
        HangUp();
        if (m_slave >= 0)
            close(m_slave);
    }
    PtyVantrek(const PtyVantrek&) = delete;
    PtyVantrek& operator=(const PtyVantrek&) = delete;

    bool Ok() const { return m_master >= 0; }
    const QString& Path() const { return m_path; }
    int Master() const { return m_master; }

    void Send(const QByteArray& bytes) const {
        for (qsizetype sent = 0; sent < bytes.size();) {
            const ssize_t n = write(m_master, bytes.constData() + sent, bytes.size() - sent);
            if (n > 0)
                sent += n;
            else
                WaitFor(m_master, POLLOUT, 2000);
        }
    }

    // Sends `bytes` and waits until they are all waiting on the program's side.
    bool Deliver(const QByteArray& bytes) const {
        Send(bytes);
        return Within(
            [&] {
                int waiting = 0;
                return ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting >= bytes.size();
            },
            [&](int ms) { WaitFor(m_slave, POLLIN, ms); });
    }

    // Everything the program wrote until `count` bytes have come or the
    // deadline passed.
    QByteArray Receive(qsizetype count) const {
        QByteArray got;
        Within(
            [&] {
                char buffer[4096];
                const ssize_t n = read(m_master, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
                return got.size() >= count;
            },
            [&](int ms) { WaitFor(m_master, POLLIN, ms); });
        return got;
    }

    // What the program wrote in its last tick: the first byte within a bound
    // (none means nothing was sent), then until the output pauses, as the
    // pseudo-terminal passes bytes on shortly, not at once.
    QByteArray Written() const {
        QByteArray got;
        char buffer[4096];
        for (int bound = 200;; bound = 20) {
            WaitFor(m_master, POLLIN, bound);
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                return got;
            got.append(buffer, n);
        }
    }

    // The Vantrek goes away: the program's side of the link is hung up.
    void HangUp() {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1; // held so the link stays up while the program reopens it
    QString m_path;
};
