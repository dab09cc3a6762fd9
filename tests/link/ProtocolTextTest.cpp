#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "link/StatusReply.h"

#include <gtest/gtest.h>

namespace {
// A status reply with every tag in place.
const QByteArray kStatus("Pw01L1r  123e0:01:05s0:12:34p1150t400f1b 87i00042KVTQ v2.1.4 20240115");
} // namespace

TEST(CommandText, EveryCommandIsFormattedAsTheVantrekExpects) {
    EXPECT_EQ(StatusPollCommand(0, true, true, 1150), QByteArray("Wp01L0s1D1p1150\r\n"));
    EXPECT_EQ(StatusPollCommand(2, false, false, 0), QByteArray("Wp01L2s0D0p0\r\n"));
    EXPECT_EQ(JointInfoRequest(), QByteArray("Wp2R\r\n"));
    EXPECT_EQ(NotesRequest(), QByteArray("Wp3R\r\n"));
    EXPECT_EQ(ReserveRequest(), QByteArray("Wp4R\r\n"));
    EXPECT_EQ(SampleHeaderRequest(), QByteArray("Wp11\r\n"));
    EXPECT_EQ(DataBlockRequest(0), QByteArray("Wp12-0000\r\n"));
    EXPECT_EQ(DataBlockRequest(37), QByteArray("Wp12-0037\r\n"));
    EXPECT_EQ(ClearReportCommand(), QByteArray("Wp13CLR\r\n"));
    EXPECT_EQ(RestoreReportCommand(), QByteArray("Wp14\r\n"));
    EXPECT_EQ(DiagnosticsPoll(), QByteArray("Wp05\r\n"));
    EXPECT_EQ(SetOffsetsCommand(11801, -8), QByteArray("Wp06c11801C-8\r\n"));
    EXPECT_EQ(CalibrationGo(), QByteArray("GO\r"));
    EXPECT_EQ(CalibrationExit(), QByteArray("EXIT\r"));
    EXPECT_EQ(CalibrationDateAnswer(2024, 3, 7), QByteArray("20240307\r"));
    EXPECT_EQ(CalibrationSerialAnswer(42), QByteArray("42\r"));
}

TEST(StatusReply, EveryFieldIsTakenFromItsPlace) {
    StatusReply reply;
    ASSERT_TRUE(DecodeStatusReply(kStatus, reply));
    EXPECT_TRUE(reply.bLogState);
    EXPECT_EQ(reply.cLogState, '1');
    EXPECT_TRUE(reply.bProgress);
    EXPECT_EQ(reply.records, QByteArray("  123"));
    EXPECT_EQ(reply.elapsed, QByteArray("0:01:05"));
    EXPECT_TRUE(reply.bStopwatch);
    EXPECT_EQ(reply.stopwatch, QByteArray("0:12:34"));
    EXPECT_TRUE(reply.bPressure);
    EXPECT_EQ(reply.nPressure, 1150);
    EXPECT_EQ(reply.nTemperature, 400);
    EXPECT_EQ(reply.cTempFlag, '1');
    EXPECT_TRUE(reply.bBattery);
    EXPECT_EQ(reply.nBattery, 87);
    EXPECT_TRUE(reply.bIdent);
    EXPECT_EQ(reply.model, QByteArray("KVTQ"));
    EXPECT_EQ(reply.version, QByteArray("v2.1.4"));
    EXPECT_EQ(reply.year, QByteArray("2024"));
    EXPECT_EQ(reply.month, QByteArray("01"));
    EXPECT_EQ(reply.day, QByteArray("15"));
    EXPECT_EQ(reply.identRest, QByteArray("20240115"));
    EXPECT_EQ(QByteArray(reply.versionDigits, 3), QByteArray("214"));
}

TEST(StatusReply, MissingTagsAndShortLinesAreReportedNotRead) {
    StatusReply reply;
    EXPECT_FALSE(DecodeStatusReply(kStatus.left(42), reply));
    EXPECT_FALSE(DecodeStatusReply("Pw05" + kStatus.mid(4), reply));

    // 'r' without 'e' is no progress; a missing tag leaves its field unread.
    QByteArray line = kStatus;
    line[12] = '-';
    line[28] = '-';
    line[39] = '-';
    line[4] = 'X';
    ASSERT_TRUE(DecodeStatusReply(line, reply));
    EXPECT_FALSE(reply.bProgress);
    EXPECT_TRUE(reply.records.isEmpty());
    EXPECT_FALSE(reply.bPressure);
    EXPECT_EQ(reply.nPressure, 0);
    EXPECT_FALSE(reply.bBattery);
    EXPECT_FALSE(reply.bLogState);
    EXPECT_TRUE(reply.bStopwatch);

    // An identification cut short yields what is there, nothing beyond.
    ASSERT_TRUE(DecodeStatusReply(kStatus.left(51), reply));
    EXPECT_TRUE(reply.bIdent);
    EXPECT_EQ(reply.model, QByteArray("KV"));
    EXPECT_TRUE(reply.version.isEmpty());
    EXPECT_EQ(reply.versionDigits[0], '\0');

    // Numbers: leading blanks, a sign, stray text, nothing at all.
    EXPECT_EQ(SpanNumber(" -12xyz", 0, 7), -12);
    EXPECT_EQ(SpanNumber("p 777", 1, 4), 777);
    EXPECT_EQ(SpanNumber("p1234567", 1, 4), 1234);
    EXPECT_EQ(SpanNumber("abc", 0, 3), 0);
    EXPECT_EQ(SpanNumber("12", 5, 3), 0);
    EXPECT_EQ(SpanNumber("99999999999999", 0, 14), 999999999);
}

TEST(BlockReply, OnlyTheExpectedHeadWithEomAtTheVeryEndIsAccepted) {
    EXPECT_TRUE(IsBlockReply("Pw02:07e80009eom", kReplyJointInfo));
    EXPECT_TRUE(IsBlockReply("Pw02:eom", kReplyJointInfo));
    EXPECT_FALSE(IsBlockReply("Pw02:07e80009eom ", kReplyJointInfo));
    EXPECT_FALSE(IsBlockReply("Pw02:07e80009eomx", kReplyJointInfo));
    EXPECT_FALSE(IsBlockReply("Pw03:07e80009eom", kReplyJointInfo));
    EXPECT_FALSE(IsBlockReply("Pw02:om", kReplyJointInfo));
    EXPECT_FALSE(IsBlockReply("Pw02eom", kReplyJointInfo));
    EXPECT_TRUE(IsBlockReply(kEmptyNotesBlock, kReplyNotes));
}

TEST(BlockReply, PayloadGroupsBecomeWordsStoredLowByteFirst) {
    std::vector<quint16> words;
    ASSERT_TRUE(BlockWords("Pw12:0005FFFFabCd12eom", words));
    EXPECT_EQ(words, (std::vector<quint16>{0x0005, 0xFFFF, 0xABCD})); // "12" dropped
    EXPECT_EQ(WordBytes(words), QByteArray("\x05\x00\xFF\xFF\xCD\xAB", 6));
    EXPECT_EQ(BlockPayload("Pw12:0005FFFFabCd12eom"), QByteArray("0005FFFFabCd12"));

    ASSERT_TRUE(BlockWords(kEmptyNotesBlock, words));
    EXPECT_EQ(words, (std::vector<quint16>{999, 0, 0, 999, 0, 0}));

    EXPECT_FALSE(BlockWords("Pw12:00050x12eom", words));
    EXPECT_EQ(words, (std::vector<quint16>{0x0005}));
    EXPECT_TRUE(BlockWords("eom", words));
    EXPECT_TRUE(words.empty());
}
