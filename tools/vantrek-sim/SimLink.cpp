#include "SimLink.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_button = 0;
volatile sig_atomic_t g_stall = 0;

void OnSignal(int signal) {
    if (signal == SIGUSR1)
        g_button = 1;
    else if (signal == SIGUSR2)
        g_stall = 1;
    else
        g_stop = 1;
}

// Installed before the link is announced: a button pressed as soon as the
// pid is known must not end the simulator.
void CatchSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2})
        sigaction(signal, &action, nullptr);
}

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

constexpr size_t kMaxLine = 8192;

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else
            out += c;
    }
    return out;
}
} // namespace

void CommandPicks::Add(const std::string& pick) {
    const size_t at = pick.rfind('@');
    Pick p;
    p.start = pick.substr(0, at);
    if (at != std::string::npos)
        p.nth = std::max(1, std::atoi(pick.c_str() + at + 1));
    m_picks.push_back(p);
}

bool CommandPicks::Take(const std::string& line) {
    for (auto it = m_picks.begin(); it != m_picks.end(); ++it) {
        if (line.compare(0, it->start.size(), it->start) == 0 && ++it->seen == it->nth) {
            m_picks.erase(it);
            return true;
        }
    }
    return false;
}

SimLink::SimLink(Vantrek& vantrek, const SimOptions& options)
    : m_vantrek(vantrek), m_options(options), m_random(options.faults.seed) {}

SimLink::~SimLink() {
    // Remove the link only while it still leads to our terminal.
    char target[256] = {};
    if (m_linked && readlink(m_options.linkPath.c_str(), target, sizeof target - 1) > 0 &&
        m_slaveName == target)
        unlink(m_options.linkPath.c_str());
    if (m_transcript != nullptr)
        std::fclose(m_transcript);
    if (m_slave >= 0)
        close(m_slave);
    if (m_master >= 0)
        close(m_master);
}

bool SimLink::Open(std::string& error) {
    CatchSignals();
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_slaveName = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    // Raw until the program sets its own settings, so nothing sent before
    // it opens the port is echoed back or translated.
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);

    struct stat existing {};
    if (lstat(m_options.linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            error = m_options.linkPath + " exists and is not a symbolic link";
            return false;
        }
        unlink(m_options.linkPath.c_str());
    }
    if (symlink(m_slaveName.c_str(), m_options.linkPath.c_str()) != 0) {
        error = "cannot link " + m_options.linkPath + ": " + std::strerror(errno);
        return false;
    }
    m_linked = true;

    if (!m_options.transcriptPath.empty()) {
        m_transcript = std::fopen(m_options.transcriptPath.c_str(), "w");
        if (m_transcript == nullptr) {
            error = "cannot write " + m_options.transcriptPath + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void SimLink::Run() {
    const double start = Seconds();
    bool buttonPressed = false;
    while (!g_stop) {
        double now = Seconds() - start;
        if (g_button ||
            (!buttonPressed && m_options.buttonAfter >= 0 && now >= m_options.buttonAfter)) {
            g_button = 0;
            buttonPressed = true;
            Note('!', "button pressed");
            Send(m_vantrek.PressButton(), now);
        }
        if (g_stall) {
            g_stall = 0;
            m_stallUntil = now + m_options.faults.stallSeconds;
            Note('!', "stalled");
        }

        int timeoutMs = 100;
        short events = POLLIN;
        if (!m_out.empty()) {
            if (m_out.front().notBefore <= now)
                events |= POLLOUT;
            else
                timeoutMs = std::min(timeoutMs, int((m_out.front().notBefore - now) * 1000) + 1);
        }
        pollfd ready{m_master, events, 0};
        if (poll(&ready, 1, timeoutMs) <= 0)
            continue;
        now = Seconds() - start;
        if (ready.revents & POLLIN) {
            char buffer[4096];
            const ssize_t got = read(m_master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i) {
                // Commands end in CR LF, calibration answers in CR alone.
                if (buffer[i] == '\r' || buffer[i] == '\n') {
                    if (!m_line.empty())
                        HandleLine(m_line, now);
                    m_line.clear();
                } else if (m_line.size() < kMaxLine) {
                    m_line += buffer[i];
                }
            }
        }
        if (ready.revents & POLLOUT)
            WritePending(now);
    }
}

void SimLink::HandleLine(const std::string& line, double now) {
    Note('>', line);
    ++m_commands;
    if (m_options.faults.stallAfter >= 0 && m_commands == m_options.faults.stallAfter + 1) {
        m_stallUntil = now + m_options.faults.stallSeconds;
        Note('!', "stalled");
    }
    if (now < m_stallUntil)
        return;
    LinkFaults& faults = m_options.faults;
    if (faults.resetAtBlock >= 0 &&
        line == "Wp12-" + std::to_string(10000 + faults.resetAtBlock).substr(1)) {
        faults.resetAtBlock = -1;
        m_stallUntil = now + faults.resetSeconds;
        m_idleReplies = 1;
        Note('!', "reset");
        return;
    }
    std::string reply;
    if (line.size() > 5 && line.compare(0, 2, "Wp") == 0 && line[4] == ':' &&
        faults.refuseRecord.Take(line)) {
        reply = "Pw" + line.substr(2, 2) + " ERR refused\r\n";
        Note('!', "refused");
    } else {
        reply = m_vantrek.Receive(line, now * m_options.timeScale);
    }
    if (reply.empty())
        return;
    if (m_idleReplies > 0 && reply.compare(0, 5, "Pw01L") == 0) {
        --m_idleReplies;
        reply[5] = '0'; // still starting up
    }
    if (faults.dropReplyTo.Take(line)) {
        Note('<', reply.substr(0, reply.size() - 2));
        Note('!', "dropped");
        return;
    }
    if (faults.swapReplyTo.Take(line)) {
        Note('<', reply.substr(0, reply.size() - 2));
        Note('!', "held for the next reply");
        m_swapped = reply;
        return;
    }
    double when = now;
    if (faults.strayBeforeReplyTo.Take(line)) {
        SendStray(now);
        when += faults.holdSeconds;
        Note('!', "held back");
    } else if (faults.holdReplyTo.Take(line)) {
        when += faults.holdSeconds;
        Note('!', "held back");
    }
    const bool twice = faults.twiceReplyTo.Take(line);
    const bool overrun = faults.overrunReplyTo.Take(line);
    Send(reply, when, overrun);
    if (twice) {
        Note('!', "sent twice");
        Send(reply, when, false, false);
    }
    if (!m_swapped.empty()) {
        Note('!', "held reply sent");
        Send(m_swapped, when, false, false);
        m_swapped.clear();
    }
}

void SimLink::Overrun(std::string& reply) {
    // Characters lost from the middle of the payload, on a record's bound.
    const size_t payload = reply.size() > 10 ? reply.size() - 10 : 0;
    const size_t at = 5 + payload / 2 / 8 * 8;
    const size_t lost = std::min(size_t(m_options.faults.overrunDigits), reply.size() - 2 - at);
    reply.erase(at, lost);
    Note('!', "overrun: " + std::to_string(lost) + " characters lost");
}

void SimLink::SendStray(double now) {
    std::string stray(1 + m_random() % 16, '\0');
    for (char& c : stray) {
        do
            c = static_cast<char>(m_random() % 256);
        while (c == '\n' || c == '\r' || c == 'P');
    }
    Note('!', "stray " + Escaped(stray));
    m_out.push_back({stray + '\n', m_out.empty() ? now : std::max(now, m_out.back().notBefore)});
}

bool SimLink::Chance(int percent) {
    return percent > 0 && int(m_random() % 100) < percent;
}

void SimLink::Send(std::string reply, double now, bool overrun, bool note) {
    if (reply.empty())
        return;
    if (note)
        Note('<', reply.back() == '\n' ? reply.substr(0, reply.size() - 2) : reply);
    if (overrun)
        Overrun(reply);
    const LinkFaults& faults = m_options.faults;
    if (Chance(faults.dropPercent)) {
        Note('!', "dropped");
        return;
    }
    if (Chance(faults.ffFirstPercent)) {
        reply[0] = '\xFF';
        Note('!', "first byte 0xFF");
    }
    if (Chance(faults.noisePercent)) {
        std::string noise(1 + m_random() % 16, '\0');
        for (char& c : noise) {
            do
                c = static_cast<char>(m_random() % 256);
            while (c == '\n');
        }
        reply.insert(0, noise);
        Note('!', "noise " + Escaped(noise));
    }
    const size_t size = faults.chunkBytes > 0 ? size_t(faults.chunkBytes) : reply.size();
    double when = m_out.empty() ? now : std::max(now, m_out.back().notBefore);
    for (size_t pos = 0; pos < reply.size(); pos += size) {
        m_out.push_back({reply.substr(pos, size), when});
        if (faults.chunkBytes > 0)
            when += faults.chunkDelayMs / 1000.0;
    }
}

void SimLink::WritePending(double now) {
    while (!m_out.empty() && m_out.front().notBefore <= now) {
        Chunk& chunk = m_out.front();
        const ssize_t n = write(m_master, chunk.bytes.data(), chunk.bytes.size());
        if (n <= 0)
            return; // the program is not reading: try again when there is room
        chunk.bytes.erase(0, size_t(n));
        if (!chunk.bytes.empty())
            return;
        m_out.pop_front();
    }
}

void SimLink::Note(char direction, const std::string& text) {
    if (m_transcript == nullptr)
        return;
    std::fprintf(m_transcript, "%c %s\n", direction, Escaped(text).c_str());
    std::fflush(m_transcript);
}
