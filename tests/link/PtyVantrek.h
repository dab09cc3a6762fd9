#pragma once
// The far end of the serial link for tests: a pseudo-terminal whose slave is
// mapped to a COM port in the settings store, so the program opens it like
// the Vantrek's port while the test reads and writes the master.

#include "framework/SettingsStore.h"
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

// Calls `done` until it returns true or two seconds have passed: data written
// to a pseudo-terminal reaches the other side shortly, not at once.
template <typename Done> bool Within(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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
                Within([&] {
                    pollfd ready{m_master, POLLOUT, 0};
                    return poll(&ready, 1, 0) > 0;
                });
        }
    }

    // Sends `bytes` and waits until they are all waiting on the program's side.
    bool Deliver(const QByteArray& bytes) const {
        Send(bytes);
        return Within([&] {
            int waiting = 0;
            return ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting >= bytes.size();
        });
    }

    // Everything the program wrote until `count` bytes have come or the
    // deadline passed.
    QByteArray Receive(qsizetype count) const {
        QByteArray got;
        Within([&] {
            char buffer[4096];
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            return got.size() >= count;
        });
        return got;
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
