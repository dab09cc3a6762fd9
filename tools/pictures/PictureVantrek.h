#pragma once
// The Vantrek's end of the link for the pictures: a pseudo-terminal whose
// slave the windows open as COM6, the port the settings choose.

#include "framework/SettingsStore.h"

#include <QByteArray>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

class PictureVantrek {
public:
    static constexpr int kPort = 5; // COM6

    PictureVantrek() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        WriteSettingText(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(kPort + 1),
                         QString::fromLocal8Bit(name));
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), kPort);
    }
    ~PictureVantrek() {
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }
    PictureVantrek(const PictureVantrek&) = delete;
    PictureVantrek& operator=(const PictureVantrek&) = delete;

    bool Ok() const { return m_master >= 0; }

    // Drops what the window wrote, sends `bytes` and waits, for a bounded
    // time, until the window can read all of them.
    bool Send(const QByteArray& bytes) const {
        char drop[4096];
        while (read(m_master, drop, sizeof drop) > 0) {
        }
        if (m_master < 0 || write(m_master, bytes.constData(), bytes.size()) != bytes.size())
            return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int waiting = 0;
        while (ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting < bytes.size()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd ready{m_slave, POLLIN, 0};
            poll(&ready, 1, 1);
        }
        return true;
    }

private:
    int m_master = -1;
    int m_slave = -1;
};
