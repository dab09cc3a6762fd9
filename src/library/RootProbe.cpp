#include "library/RootProbe.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
void (*g_hook)(const char*) = nullptr;

struct Answer {
    pid_t looker = 0;
    RootProbe probe;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// In the child of a threaded process: system calls only, no allocation.
void Look(const char* path, const char* parent, RootProbe& probe) {
    struct stat st {};
    if (stat(path, &st) != 0) {
        probe.error = errno;
        return;
    }
    probe.directory = S_ISDIR(st.st_mode);
    probe.device = st.st_dev;
    if (!probe.directory) {
        probe.error = ENOTDIR;
        return;
    }
    struct stat up {};
    if (stat(parent, &up) == 0)
        probe.parentDevice = up.st_dev;
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        probe.error = errno;
        return;
    }
    alignas(8) char buffer[4096];
    probe.empty = true;
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n < 0) {
            probe.error = errno;
            break;
        }
        if (n == 0)
            break;
        for (long at = 0; at < n;) {
            // struct linux_dirent64: ino, off, reclen, type, name
            unsigned short length = 0;
            __builtin_memcpy(&length, buffer + at + 16, sizeof length);
            const char* name = buffer + at + 19;
            if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
                probe.empty = false;
            at += length;
        }
        if (!probe.empty)
            break;
    }
    close(fd);
}
} // namespace

QString ProbeReason(const RootProbe& probe, int deadlineMs, bool askedTwice) {
    switch (probe.outcome) {
    case RootProbe::NoAnswer:
        return QStringLiteral("no answer within %1 s%2")
            .arg(deadlineMs / 1000.0)
            .arg(askedTwice ? QStringLiteral(", asked twice") : QString());
    case RootProbe::Failed:
        return QStringLiteral("it could not be looked at");
    default:
        break;
    }
    switch (probe.error) {
    case ENOENT:
        return QStringLiteral("not found");
    case ENOTDIR:
        return QStringLiteral("not a folder");
    default:
        return QStringLiteral("cannot be read (%1)")
            .arg(QString::fromLocal8Bit(std::strerror(probe.error)));
    }
}

void SetProbeHookForTests(void (*hook)(const char*)) {
    g_hook = hook;
}

RootProbe ProbeRoot(const QByteArray& path, int deadlineMs, const std::atomic<bool>* cancel) {
    RootProbe result;
    const QByteArray parent = path + "/..";
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return result;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (child == 0) {
        // The looker is a grandchild, so that the system reaps it whenever
        // its call comes back, and nobody has to wait for it.
        // Nothing of the caller's stays open in the looker: no lock, and no
        // end of a pipe that someone reads to its end, which a looker that
        // hangs would otherwise hold for ever.
        const int out = fds[1];
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        for (int std = 0; std < 3 && null >= 0; ++std)
            dup2(null, std);
        if (out > 3)
            syscall(SYS_close_range, 3U, unsigned(out - 1), 0U);
        syscall(SYS_close_range, unsigned(out + 1), ~0U, 0U);
        const pid_t looker = fork();
        if (looker != 0)
            _exit(looker < 0 ? 1 : 0);
        // Its id first, so that the caller can end it when it hangs.
        Answer answer;
        answer.looker = getpid();
        if (!WriteAll(fds[1], &answer.looker, sizeof answer.looker))
            _exit(1);
        if (g_hook)
            g_hook(path.constData());
        answer.probe.outcome = RootProbe::Answered;
        Look(path.constData(), parent.constData(), answer.probe);
        WriteAll(fds[1], &answer.probe, sizeof answer.probe);
        _exit(0);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // Wait in short steps, so that a cancel is seen within one.
    Answer answer;
    char buffer[sizeof answer.looker + sizeof answer.probe];
    size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    result.outcome = RootProbe::NoAnswer;
    for (;;) {
        if (cancel && cancel->load()) {
            result.outcome = RootProbe::Cancelled;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            break;
        const int ready = poll(&p, 1, int(std::min<long long>(left, 50)));
        if (ready < 0 && errno != EINTR) {
            result.outcome = RootProbe::Failed;
            break;
        }
        if (ready > 0) {
            const ssize_t n = read(fds[0], buffer + got, sizeof buffer - got);
            if (n > 0 && got < sizeof answer.looker && got + size_t(n) >= sizeof answer.looker)
                __builtin_memcpy(&answer.looker, buffer, sizeof answer.looker);
            if (n > 0)
                got += size_t(n);
            if (got == sizeof buffer) {
                __builtin_memcpy(&result, buffer + sizeof answer.looker, sizeof result);
                break;
            }
            if (n == 0) { // the looker died without an answer
                result.outcome = RootProbe::Failed;
                break;
            }
        }
    }
    // A looker that did not answer is ended; one blocked in the kernel goes
    // when its call comes back, and the system reaps it.
    if (result.outcome != RootProbe::Answered && answer.looker > 0)
        kill(answer.looker, SIGKILL);
    close(fds[0]);
    return result;
}
