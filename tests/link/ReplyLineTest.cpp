#include "PtyVantrek.h"

#include "link/Link.h"
#include "link/ReplyLine.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

namespace {
class ReplyLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_vantrek.Ok());
        ASSERT_TRUE(LinkOpen(0, kLinkBaud));
    }
    void TearDown() override { LinkClose(); }

    PtyVantrek m_vantrek;
    ScriptedPrompter m_prompter;
    ReplyLine m_line;
};
} // namespace

TEST_F(ReplyLineTest, FirstByte0xFFIsRepairedAfterTheMessage) {
    m_vantrek.Send("\xFFw01L0\r\n");
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw01L0"));
    ASSERT_EQ(m_prompter.Shown().size(), 1u);
    EXPECT_EQ(m_prompter.Shown()[0].text, QStringLiteral("First byte was 0xFF.  Changed to 'P'"));
    EXPECT_EQ(m_prompter.Shown()[0].caption, AppName());
    EXPECT_EQ(m_prompter.Shown()[0].type, MB_OK);

    // Elsewhere in a line 0xFF is data; an empty line has no first byte.
    m_prompter.Clear();
    m_vantrek.Send("Pw\xFF\n\n");
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw\xFF"));
    EXPECT_EQ(ReceiveLine(m_line), QByteArray());
    EXPECT_EQ(m_line.Length(), 0);
    EXPECT_TRUE(m_prompter.Shown().empty());
}

TEST_F(ReplyLineTest, AnOverlongLineKeepsItsFirstCharactersAndTheLastOne) {
    QByteArray longLine;
    for (int i = 0; i < 5000; ++i)
        longLine.append(static_cast<char>('a' + i % 26));
    longLine.back() = '!';
    m_vantrek.Send(longLine + "\r\nPw01\n");
    const QByteArray got = ReceiveLine(m_line);
    ASSERT_EQ(got.size(), 2999);
    EXPECT_EQ(got.left(2998), longLine.left(2998));
    EXPECT_EQ(got.back(), '!');
    EXPECT_EQ(m_line.Data()[2999], '\0');
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw01")); // the next line is whole
}

TEST_F(ReplyLineTest, APartialLineIsKeptUntilItsLineFeedComes) {
    EXPECT_FALSE(ReadReplyLine(m_line)); // nothing waiting
    ASSERT_TRUE(m_vantrek.Deliver("Pw0"));
    EXPECT_FALSE(ReadReplyLine(m_line));
    ASSERT_TRUE(m_vantrek.Deliver("1\rL1"));
    EXPECT_FALSE(ReadReplyLine(m_line));
    m_vantrek.Send("s\n");
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw01L1s"));

    // A restart forgets what has come of a line.
    ASSERT_TRUE(m_vantrek.Deliver("garbage"));
    EXPECT_FALSE(ReadReplyLine(m_line));
    m_line.Clear();
    m_vantrek.Send("Pw05\n");
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw05"));
}

TEST_F(ReplyLineTest, GarbageAndNulBytesNeverCostTheNextGoodLine) {
    const QByteArray garbage("\x00\x01\xFE\x00noise\x00", 10);
    m_vantrek.Send(garbage + "\nPw01L2\n");
    EXPECT_EQ(ReceiveLine(m_line), garbage); // NULs are kept in the text
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw01L2"));

    // Flushing drops every waiting byte, partial line or not.
    ASSERT_TRUE(m_vantrek.Deliver("Pw01 stale reply\nPw0"));
    FlushInput();
    EXPECT_FALSE(ReadReplyLine(m_line));
    m_vantrek.Send("Pw05\n");
    EXPECT_EQ(ReceiveLine(m_line), QByteArray("Pw05"));
}
