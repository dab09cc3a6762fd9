#include "link/ComPort.h"

#include "framework/SettingsStore.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

int g_nComLastError = 0;

namespace {
struct PortRecord {
    int hPort = -1;
    int nPort = 0;
    // The time-outs as found at open (the terminal's VMIN and VTIME), put
    // back at close; the line settings stay as last applied.
    cc_t savedTimeouts[2] = {};
    termios dcb{}; // as last applied
    unsigned char byDataMask = 0xFF;
};

PortRecord g_ports[kComPortCount];
int g_nWriteStallMs = 2000;

constexpr speed_t kBaudCodes[] = {B110,  B300,   B1200,  B2400,  B4800,
                                  B9600, B19200, B38400, B57600, B115200};

int Fail(int error) {
    g_nComLastError = error;
    return COM_FAILED;
}

int CheckOpen(int port) {
    if (port < 0 || port >= kComPortCount)
        return COM_BAD_PORT;
    return g_ports[port].hPort < 0 ? COM_NOT_OPEN : 0;
}

int Apply(PortRecord& record) {
    if (tcsetattr(record.hPort, TCSANOW, &record.dcb) != 0)
        return Fail(errno);
    return 0;
}

speed_t SpeedOf(int baud) {
    if (baud >= 0 && baud <= 9)
        return kBaudCodes[baud];
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0; // not a rate the driver interface can name
    }
}

// Raw bytes both ways: no echo, no signals, no CR/LF or parity marking (0xFF
// must arrive as itself), no software or hardware flow control, and reads
// that return at once with whatever is waiting.
void MakeRaw(termios& settings) {
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                          IXANY | INPCK | IUCLC | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VSTART] = 0x11;
    settings.c_cc[VSTOP] = 0x13;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
}

void CloseHandle(PortRecord& record) {
    close(record.hPort); // also drops the lock taken at open
    record.hPort = -1;
}
} // namespace

QString ComDevicePath(int index) {
    const QString mapped =
        ReadSettingText(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(index + 1), QString());
    return mapped.isEmpty() ? QStringLiteral("/dev/rfcomm%1").arg(index) : mapped;
}

int ComOpen(int port, int /*rxQueue*/, int /*txQueue*/) {
    if (port < 0 || port >= kComPortCount)
        return COM_BAD_PORT;
    PortRecord& record = g_ports[port];
    if (record.hPort >= 0)
        return Fail(EBUSY);

    // Non-blocking so that neither a missing carrier nor a stalled far end
    // can hold the program; never our controlling terminal, so a hang-up of
    // the link cannot send us SIGHUP.
    const QByteArray path = ComDevicePath(port).toLocal8Bit();
    const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno);
    record.hPort = fd;
    record.nPort = port;

    // Not shared: a second copy of the program finds the port busy, as the
    // handheld's exclusive open does. A lock, not the terminal's exclusive
    // mode: the kernel drops a lock when its holder dies, whereas exclusive
    // mode would outlive a crash and lock everyone else out of the port.
    const auto failOpen = [&record](int error) {
        CloseHandle(record);
        return Fail(error);
    };
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return failOpen(errno == EWOULDBLOCK ? EBUSY : errno);
    if (tcgetattr(fd, &record.dcb) != 0)
        return failOpen(errno); // ENOTTY: not a serial device at all

    record.savedTimeouts[0] = record.dcb.c_cc[VMIN];
    record.savedTimeouts[1] = record.dcb.c_cc[VTIME];
    MakeRaw(record.dcb);
    if (Apply(record) != 0)
        return failOpen(g_nComLastError);
    // DTR and RTS stay low; devices without modem lines (a pseudo-terminal)
    // refuse the request, which is harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
    record.byDataMask = 0xFF;
    return 0;
}

int ComSetBaud(int port, int baud) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    const speed_t speed = SpeedOf(baud);
    if (speed == B0)
        return Fail(EINVAL);
    PortRecord& record = g_ports[port];
    cfsetispeed(&record.dcb, speed);
    cfsetospeed(&record.dcb, speed);
    return Apply(record);
}

int ComSetParams(int port, int parity, int stopBits, int byteSize) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    if (parity < NOPARITY || parity > SPACEPARITY || stopBits < ONESTOPBIT ||
        stopBits > TWOSTOPBITS || byteSize < 5 || byteSize > 8)
        return Fail(EINVAL);
    PortRecord& record = g_ports[port];
    tcflag_t& flags = record.dcb.c_cflag;
    flags &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    flags |= kSizes[byteSize - 5];
    switch (parity) {
    case ODDPARITY:
        flags |= PARENB | PARODD;
        break;
    case EVENPARITY:
        flags |= PARENB;
        break;
    case MARKPARITY:
        flags |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        flags |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // Termios knows one or two stop bits; the UART makes 1.5 of "two" at 5 bits.
    if (stopBits != ONESTOPBIT)
        flags |= CSTOPB;
    record.byDataMask = static_cast<unsigned char>((1u << byteSize) - 1);
    return Apply(record);
}

int ComGetByte(int port) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    PortRecord& record = g_ports[port];
    int waiting = 0;
    if (ioctl(record.hPort, FIONREAD, &waiting) != 0)
        return Fail(errno);
    if (waiting < 1)
        return COM_NO_DATA;
    unsigned char byte = 0;
    const ssize_t got = read(record.hPort, &byte, 1);
    if (got < 0)
        return errno == EAGAIN ? COM_NO_DATA : Fail(errno);
    if (got == 0)
        return COM_NO_DATA;
    return byte & record.byDataMask;
}

int ComWrite(int port, const char* data, int length) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    if (data == nullptr || length <= 0)
        return COM_BAD_ARGS;
    const int fd = g_ports[port].hPort;
    int written = 0;
    while (written < length) {
        const ssize_t n = write(fd, data + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return Fail(errno); // EIO: the far end is gone
        // The driver's queue is full: wait for room, but not forever.
        pollfd ready{fd, POLLOUT, 0};
        const int polled = poll(&ready, 1, g_nWriteStallMs);
        if (polled == 0)
            return Fail(ETIMEDOUT);
        if (polled < 0 && errno != EINTR)
            return Fail(errno);
        if (polled > 0 && (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return Fail(EIO);
    }
    return written;
}

int ComClose(int port) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    PortRecord& record = g_ports[port];
    // Output still queued is dropped, not drained: a far end that stopped
    // reading would otherwise hold close() for the driver's closing wait.
    tcflush(record.hPort, TCOFLUSH);
    termios restored = record.dcb;
    restored.c_cc[VMIN] = record.savedTimeouts[0];
    restored.c_cc[VTIME] = record.savedTimeouts[1];
    tcsetattr(record.hPort, TCSANOW, &restored);
    CloseHandle(record);
    return 0;
}

int ComWaitForInput(int port, int milliseconds) {
    if (const int check = CheckOpen(port); check != 0)
        return check;
    pollfd ready{g_ports[port].hPort, POLLIN, 0};
    const int polled = poll(&ready, 1, milliseconds);
    if (polled < 0)
        return errno == EINTR ? 0 : Fail(errno);
    return polled > 0 && (ready.revents & POLLIN) != 0 ? 1 : 0;
}

void ComSetWriteStallLimit(int milliseconds) {
    g_nWriteStallMs = milliseconds;
}
