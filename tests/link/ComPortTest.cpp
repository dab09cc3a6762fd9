#include "PtyVantrek.h"

#include "framework/Globals.h"
#include "link/ComPort.h"
#include "link/Link.h"
#include "platform/MessageBox.h"
#include "support/TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>

namespace {
QByteArray AllByteValues() {
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

QByteArray TakeBytes(qsizetype count) {
    QByteArray got;
    Within([&] {
        unsigned char byte = 0;
        while (got.size() < count && LinkGetByte(byte))
            got.append(static_cast<char>(byte));
        return got.size() >= count;
    });
    return got;
}

void ExpectOpenFailure(ScriptedPrompter& prompter) {
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Could not open COM port!"));
    EXPECT_EQ(prompter.Shown()[0].type & MB_ICONMASK, MB_ICONERROR);
    prompter.Clear();
}
} // namespace

TEST(ComPort, DevicePathComesFromThePortsMappingElseRfcomm) {
    EXPECT_EQ(ComDevicePath(0), QStringLiteral("/dev/rfcomm0"));
    EXPECT_EQ(ComDevicePath(5), QStringLiteral("/dev/rfcomm5"));
    MapComPort(5, QStringLiteral("/tmp/vantrek"));
    EXPECT_EQ(ComDevicePath(5), QStringLiteral("/tmp/vantrek"));
    EXPECT_EQ(ComDevicePath(4), QStringLiteral("/dev/rfcomm4"));
}

TEST(ComPort, EveryByteValueTravelsUnchangedBothWays) {
    PtyVantrek vantrek;
    ASSERT_TRUE(vantrek.Ok());
    ScriptedPrompter prompter;
    ASSERT_TRUE(LinkOpen(0, kLinkBaud));

    vantrek.Send(AllByteValues());
    EXPECT_EQ(TakeBytes(256), AllByteValues());

    // No translation of CR or LF, no 0xFF doubling on the way out either.
    const QByteArray all = AllByteValues();
    EXPECT_EQ(ComWrite(0, all.constData(), int(all.size())), 256);
    EXPECT_EQ(vantrek.Receive(256), all);
    LinkPuts("Wp05\r\n");
    EXPECT_EQ(vantrek.Receive(6), QByteArray("Wp05\r\n"));
    LinkClose();
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST(ComPort, PortsThatCannotBeOpenedFailWithTheMessage) {
    ScriptedPrompter prompter;
    for (int port = 8; port < 20; ++port) {
        EXPECT_FALSE(LinkOpen(port, kLinkBaud));
        EXPECT_EQ(g_nCurPort, port);
        ExpectOpenFailure(prompter);
    }
    EXPECT_EQ(ComOpen(-1, 3000, 3000), COM_BAD_PORT);

    // Missing device, a file that is no serial device, a FIFO that a plain
    // open would wait on.
    MapComPort(2, TestRootFolder() + QStringLiteral("/missing"));
    EXPECT_FALSE(LinkOpen(2, kLinkBaud));
    EXPECT_EQ(g_nCurPort, 2);
    ExpectOpenFailure(prompter);
    EXPECT_EQ(ComOpen(2, 3000, 3000), COM_FAILED);
    EXPECT_EQ(g_nComLastError, ENOENT);

    const QString file = TestRootFolder() + QStringLiteral("/plain");
    QFile(file).open(QIODevice::WriteOnly);
    MapComPort(3, file);
    EXPECT_EQ(ComOpen(3, 3000, 3000), COM_FAILED);
    EXPECT_EQ(g_nComLastError, ENOTTY);

    const QString fifo = TestRootFolder() + QStringLiteral("/fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    MapComPort(4, fifo);
    EXPECT_EQ(ComOpen(4, 3000, 3000), COM_FAILED);
    EXPECT_EQ(g_nComLastError, ENOTTY);

    // Each failed open left its record closed.
    for (int port = 2; port <= 4; ++port)
        EXPECT_EQ(ComClose(port), COM_NOT_OPEN);
}

TEST(ComPort, ABusyPortIsRefusedAndLeftWorking) {
    PtyVantrek vantrek(0);
    ASSERT_TRUE(vantrek.Ok());
    MapComPort(1, vantrek.Path());
    ScriptedPrompter prompter;
    ASSERT_TRUE(LinkOpen(0, kLinkBaud));

    EXPECT_EQ(ComOpen(0, 3000, 3000), COM_FAILED); // open already
    EXPECT_EQ(g_nComLastError, EBUSY);
    EXPECT_FALSE(LinkOpen(1, kLinkBaud)); // same device under another port
    ExpectOpenFailure(prompter);
    EXPECT_EQ(g_nComLastError, EBUSY);

    vantrek.Send("x");
    EXPECT_EQ(Within([] { return ComGetByte(0) == 'x'; }), true);
    EXPECT_EQ(ComClose(0), 0);
    EXPECT_TRUE(LinkOpen(1, kLinkBaud)); // free again once closed
    LinkClose();
}

TEST(ComPort, CallsOnAClosedPortFailQuietly) {
    unsigned char byte = 0;
    EXPECT_FALSE(LinkGetByte(byte));
    LinkClose();          // nothing to close: no effect
    LinkPuts("Wp05\r\n"); // nothing to write to: no effect
    LinkPuts(nullptr);
    EXPECT_EQ(ComGetByte(0), COM_NOT_OPEN);
    EXPECT_EQ(ComGetByte(8), COM_BAD_PORT);
    EXPECT_EQ(ComWrite(0, "x", 1), COM_NOT_OPEN);
    EXPECT_EQ(ComClose(7), COM_NOT_OPEN);
    EXPECT_EQ(ComSetBaud(0, 6), COM_NOT_OPEN);

    PtyVantrek vantrek;
    ScriptedPrompter prompter;
    ASSERT_TRUE(LinkOpen(0, kLinkBaud));
    EXPECT_EQ(ComGetByte(0), COM_NO_DATA);
    EXPECT_FALSE(LinkGetByte(byte));
    EXPECT_EQ(ComWrite(0, nullptr, 4), COM_BAD_ARGS);
    EXPECT_EQ(ComWrite(0, "x", 0), COM_BAD_ARGS);
    vantrek.Send("z");
    LinkClose();
    EXPECT_FALSE(LinkGetByte(byte)); // the waiting byte is not handed out
}

TEST(ComPort, LineSettingsAreRawWhileOpenAndOnlyTimeOutsRestoredAtClose) {
    PtyVantrek vantrek;
    ASSERT_TRUE(vantrek.Ok());
    termios before{};
    ASSERT_EQ(tcgetattr(vantrek.Master(), &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON); // a fresh terminal is cooked
    before.c_cc[VMIN] = 3;
    before.c_cc[VTIME] = 7;
    ASSERT_EQ(tcsetattr(vantrek.Master(), TCSANOW, &before), 0);

    ScriptedPrompter prompter;
    ASSERT_TRUE(LinkOpen(0, kLinkBaud));
    termios open{};
    ASSERT_EQ(tcgetattr(vantrek.Master(), &open), 0);
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(open.c_iflag & (IXON | IXOFF | ICRNL | PARMRK | ISTRIP), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);
    EXPECT_EQ(open.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(cfgetospeed(&open), speed_t(B19200));
    EXPECT_EQ(open.c_cc[VMIN], 0);

    EXPECT_EQ(ComSetBaud(0, 3), 0);
    ASSERT_EQ(tcgetattr(vantrek.Master(), &open), 0);
    EXPECT_EQ(cfgetospeed(&open), speed_t(B2400));
    EXPECT_EQ(ComSetBaud(0, 57600), 0);
    ASSERT_EQ(tcgetattr(vantrek.Master(), &open), 0);
    EXPECT_EQ(cfgetospeed(&open), speed_t(B57600));
    EXPECT_EQ(ComSetBaud(0, 12345), COM_FAILED);
    EXPECT_EQ(g_nComLastError, EINVAL);

    // Seven data bits mask every byte read. (A pseudo-terminal keeps only the
    // stop bits of the framing; it forces 8 bits without parity.)
    EXPECT_EQ(ComSetParams(0, EVENPARITY, TWOSTOPBITS, 7), 0);
    ASSERT_EQ(tcgetattr(vantrek.Master(), &open), 0);
    EXPECT_TRUE(open.c_cflag & CSTOPB);
    vantrek.Send("\xFF");
    EXPECT_TRUE(Within([] { return ComGetByte(0) == 0x7F; }));
    EXPECT_EQ(ComSetParams(0, 9, ONESTOPBIT, 8), COM_FAILED);
    EXPECT_EQ(ComSetParams(0, NOPARITY, ONESTOPBIT, 9), COM_FAILED);

    // Closing puts back the time-outs found at open and nothing else, so
    // output still queued never goes out at a line speed switched back.
    LinkClose();
    termios after{};
    ASSERT_EQ(tcgetattr(vantrek.Master(), &after), 0);
    EXPECT_EQ(after.c_cc[VMIN], 3);
    EXPECT_EQ(after.c_cc[VTIME], 7);
    EXPECT_EQ(after.c_lflag & ICANON, 0u);
    EXPECT_EQ(cfgetospeed(&after), speed_t(B57600));
}

TEST(ComPort, WritingToAVanishedOrStalledFarEndNeitherBlocksNorKills) {
    PtyVantrek vantrek;
    ASSERT_TRUE(vantrek.Ok());
    ScriptedPrompter prompter;
    ASSERT_TRUE(LinkOpen(0, kLinkBaud));

    // Nobody reads: the driver's queue fills and the write gives up.
    ComSetWriteStallLimit(20);
    const QByteArray block(4096, 'x');
    int result = 0;
    for (int i = 0; i < 1024 && result >= 0; ++i)
        result = ComWrite(0, block.constData(), int(block.size()));
    EXPECT_EQ(result, COM_FAILED);
    EXPECT_EQ(g_nComLastError, ETIMEDOUT);
    ComSetWriteStallLimit(2000);

    vantrek.HangUp();
    LinkPuts("Wp01L0s0D0p0\r\n"); // ignored, as every write failure is
    EXPECT_EQ(ComWrite(0, "Wp05\r\n", 6), COM_FAILED);
    unsigned char byte = 0;
    EXPECT_FALSE(LinkGetByte(byte));
    LinkClose();
    EXPECT_TRUE(prompter.Shown().empty());
}
