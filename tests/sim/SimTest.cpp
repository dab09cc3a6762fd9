// The simulator run as its own process, talked to through the program's link.

#include "../link/PtyVantrek.h"

#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "link/Link.h"
#include "link/StatusReply.h"
#include "platform/MessageBox.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace {
// Built beside the tests: <build>/tests/test_sim and <build>/tools/vantrek-sim.
QString SimulatorPath() {
    return QCoreApplication::applicationDirPath() +
           QStringLiteral("/../tools/vantrek-sim/vantrek-sim");
}

class SimTest : public ::testing::Test {
protected:
    void TearDown() override {
        LinkClose();
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.terminate();
            m_sim.waitForFinished(5000);
        }
    }

    // Starts the simulator with `options` and opens the link to it as COM1.
    void Start(QStringList options) {
        m_transcriptPath = TestRootFolder() + QStringLiteral("/transcript");
        const QString link = TestRootFolder() + QStringLiteral("/vantrek");
        options << QStringLiteral("--link") << link << QStringLiteral("--transcript")
                << m_transcriptPath;
        m_sim.start(SimulatorPath(), options);
        ASSERT_TRUE(m_sim.waitForStarted(5000)) << SimulatorPath().toStdString();
        ASSERT_TRUE(m_sim.waitForReadyRead(5000));
        ASSERT_TRUE(m_sim.readAllStandardOutput().startsWith("vantrek-sim: " + link.toUtf8()));
        MapComPort(0, link);
        ASSERT_TRUE(LinkOpen(0, kLinkBaud));
    }

    QByteArray Ask(const QByteArray& command) {
        LinkPuts(command);
        return ReceiveLine(m_line);
    }

    StatusReply Poll(int logRequest = 0, bool reset = false, bool demo = false, int psi = 0) {
        StatusReply reply;
        EXPECT_TRUE(DecodeStatusReply(Ask(StatusPollCommand(logRequest, reset, demo, psi)), reply));
        return reply;
    }

    // Polls until the Vantrek reports `state`, for at most two seconds.
    bool PollUntil(char state) {
        return Within([&] { return Poll().cLogState == state; });
    }

    QByteArray Transcript() const {
        QFile file(m_transcriptPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool TranscriptHas(const QByteArray& text) const {
        return Within([&] { return Transcript().contains(text); });
    }

    QProcess m_sim;
    QString m_transcriptPath;
    ScriptedPrompter m_prompter;
    ReplyLine m_line;
};

// One record field as the handheld sends it.
QByteArray IntField(unsigned value) {
    return QByteArray::number(value, 16).rightJustified(4, '0');
}
QByteArray TextField(const QString& text) {
    QByteArray digits = IntField(unsigned(text.size()));
    for (const QChar c : text)
        digits += IntField(unsigned((c.unicode() & 0xFF) << 8 | c.unicode() >> 8));
    return digits;
}
// The words the Vantrek returns for the same field.
void ExpectWords(std::vector<quint16>& words, const QString& text) {
    words.push_back(quint16(text.size()));
    for (const QChar c : text)
        words.push_back(quint16((c.unicode() & 0xFF) << 8 | c.unicode() >> 8));
    if (text.isEmpty())
        words.push_back(0);
}
} // namespace

TEST_F(SimTest, StatusLinesCarryEveryTagAndFollowThePolls) {
    Start({QStringLiteral("--battery"), QStringLiteral("20"), QStringLiteral("--temp"),
           QStringLiteral("412"), QStringLiteral("--cal-date"), QStringLiteral("20230930")});
    const StatusReply idle = Poll(0, true, true, 1150);
    EXPECT_TRUE(idle.bLogState);
    EXPECT_EQ(idle.cLogState, '0');
    EXPECT_TRUE(idle.bProgress);
    EXPECT_EQ(idle.records, QByteArray("    0"));
    EXPECT_EQ(idle.elapsed, QByteArray("0:00:00"));
    EXPECT_TRUE(idle.bStopwatch);
    EXPECT_EQ(idle.stopwatch, QByteArray("0:00:00"));
    EXPECT_TRUE(idle.bPressure);
    EXPECT_EQ(idle.nPressure, 1150); // the demonstration pressure is the live one
    EXPECT_EQ(idle.nTemperature, 412);
    EXPECT_EQ(idle.cTempFlag, '1');
    EXPECT_TRUE(idle.bBattery);
    EXPECT_EQ(idle.nBattery, 20);
    EXPECT_TRUE(idle.bIdent);
    EXPECT_EQ(idle.model, QByteArray("KVTQ"));
    EXPECT_EQ(idle.version, QByteArray("v2.1.4"));
    EXPECT_EQ(idle.year + idle.month + idle.day, QByteArray("20230930"));
    EXPECT_EQ(QByteArray(idle.versionDigits, 3), QByteArray("214"));
    EXPECT_EQ(Poll().nPressure, 0); // demonstration off: the gauge at rest

    // Diagnostics and offsets.
    const QByteArray diag = Ask(DiagnosticsPoll());
    EXPECT_TRUE(diag.startsWith("Pw05LRp   0c11801t412C08000b020iKVTQ-0042 v2.1.4 c20230930"))
        << diag.toStdString();
    LinkPuts(SetOffsetsCommand(12000, -15));
    EXPECT_EQ(Ask(DiagnosticsPoll()).mid(11, 16), QByteArray("c12000t412C-0015"));

    EXPECT_TRUE(TranscriptHas("> Wp01L0s1D1p1150\n< Pw01L0r    0e0:00:00s0:00:00p1150t412f1"));
}

TEST_F(SimTest, UploadLogDownloadReturnsTheFieldsAndTheSamples) {
    Start({QStringLiteral("--time-scale"), QStringLiteral("2000"),
           QStringLiteral("--block-records"), QStringLiteral("40")});
    const QString machine = QStringLiteral("M-7 \u00b2\u03a9");
    QByteArray jointInfo = kJointInfoPrefix;
    std::vector<quint16> expected;
    // Date, then the rest of the 33 fields: texts alternate with the layout's
    // integers, with one empty text among them.
    const unsigned date[] = {2024, 5, 17, 9, 30, 0};
    for (const unsigned value : date) {
        jointInfo += IntField(value);
        expected.push_back(quint16(value));
    }
    const char kinds[] = "TITTITTIITTITITTTTITTTTTITT";
    int n = 0;
    for (const char kind : QByteArray(kinds)) {
        ++n;
        if (kind == 'I') {
            jointInfo += IntField(unsigned(n));
            expected.push_back(quint16(n));
        } else {
            const QString text = n == 1 ? machine : n == 5 ? QString() : QString::number(n);
            jointInfo += TextField(text);
            ExpectWords(expected, text);
        }
    }
    EXPECT_EQ(Ask(jointInfo + kRecordEnd), QByteArray("Pw02 OK"));
    EXPECT_EQ(Ask(kNotesPrefix + IntField(999) + TextField(QString()) + IntField(999) +
                  TextField(QStringLiteral("Cold day")) + kRecordEnd),
              QByteArray("Pw03 OK"));
    EXPECT_EQ(Ask(kReservePrefix + IntField(0) + TextField(QStringLiteral("VTQPv0.2.5 ------")) +
                  TextField(QStringLiteral("12.5 in\u00b2~")) + kRecordEnd),
              QByteArray("Pw04 OK"));
    // A malformed record is refused, not kept.
    EXPECT_TRUE(Ask(QByteArray(kNotesPrefix) + "03e7" + kRecordEnd).startsWith("Pw03 ERR"));

    // The whole profile logs in a fraction of a second at this time scale.
    ASSERT_TRUE(PollUntil('2'));
    const StatusReply finished = Poll();
    const int count = finished.records.trimmed().toInt();
    EXPECT_EQ(count, 471); // 470 s sampled every second, from 0

    std::vector<quint16> words;
    const QByteArray header = Ask(JointInfoRequest());
    ASSERT_TRUE(IsBlockReply(header, kReplyJointInfo));
    ASSERT_TRUE(BlockWords(header, words));
    EXPECT_EQ(words, expected);
    const QByteArray notes = Ask(NotesRequest());
    ASSERT_TRUE(IsBlockReply(notes, kReplyNotes));
    ASSERT_TRUE(BlockWords(notes, words));
    std::vector<quint16> expectedNotes = {999};
    ExpectWords(expectedNotes, QString());
    expectedNotes.push_back(999);
    ExpectWords(expectedNotes, QStringLiteral("Cold day"));
    EXPECT_EQ(words, expectedNotes);
    EXPECT_TRUE(IsBlockReply(Ask(ReserveRequest()), kReplyReserve));

    const QByteArray sampleHeader = Ask(SampleHeaderRequest());
    ASSERT_TRUE(IsBlockReply(sampleHeader, kReplySampleHeader));
    EXPECT_EQ(SpanNumber(sampleHeader, 20, 5), count);
    EXPECT_EQ(SpanNumber(sampleHeader, 13, 5), 2350); // time span in 0.2 s units

    // The data blocks, as the download takes them.
    std::vector<quint16> samples;
    int left = count;
    for (int block = 0; left > 0 && block < 100; ++block) {
        const QByteArray data = Ask(DataBlockRequest(block));
        ASSERT_TRUE(BlockWords(data, words));
        left -= int(BlockPayload(data).size() / 8);
        samples.insert(samples.end(), words.begin(), words.end());
    }
    ASSERT_EQ(samples.size(), size_t(2 * count));
    int peak = 0;
    int heaterOut = -1;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(samples[2 * i], quint16(5 * i)); // one sample a second
        const int psi = qint16(samples[2 * i + 1]);
        peak = std::max(peak, psi);
        if (i > 40 && heaterOut < 0 && psi < 5)
            heaterOut = i; // after the soak the pressure falls away
    }
    EXPECT_NEAR(peak, 351, 1);
    EXPECT_EQ(heaterOut, 150);
    EXPECT_GT(qint16(samples[2 * 161 + 1]), 340); // the sharp rise to fuse

    // Downloaded: idle again; the report can be restored and cleared.
    EXPECT_EQ(Poll().cLogState, '0');
    LinkPuts(RestoreReportCommand());
    EXPECT_EQ(Poll().cLogState, '2');
    LinkPuts(ClearReportCommand());
    EXPECT_EQ(Poll().cLogState, '0');
}

TEST_F(SimTest, AStopRequestEndsLoggingAndTheStopwatchResets) {
    Start({QStringLiteral("--time-scale"), QStringLiteral("60")});
    Ask(kJointInfoPrefix + QByteArray(33 * 4, '0') + kRecordEnd); // every field 0 or empty
    Ask(kNotesPrefix + IntField(999) + IntField(0) + IntField(999) + IntField(0) + kRecordEnd);
    EXPECT_EQ(Ask(kReservePrefix + IntField(1) + IntField(0) + IntField(0) + kRecordEnd),
              QByteArray("Pw04 OK"));
    ASSERT_TRUE(Within([&] { return Poll().records.trimmed().toInt() > 3; }));
    EXPECT_EQ(Poll().cLogState, '1');
    const StatusReply stopped = Poll(2);
    EXPECT_EQ(stopped.cLogState, '2');
    EXPECT_EQ(Poll().records, stopped.records); // nothing logged after the stop

    EXPECT_NE(Poll().stopwatch, QByteArray("0:00:00"));
    EXPECT_EQ(Poll(0, true).stopwatch, QByteArray("0:00:00"));
}

TEST_F(SimTest, CalibrationDialogueMatchesTheHandheldsPatterns) {
    Start({QStringLiteral("--serial"), QStringLiteral("0"), QStringLiteral("--calibrate")});
    QByteArray received;
    auto receiveUntil = [&](const QByteArray& end) {
        return Within([&] {
            unsigned char byte = 0;
            while (LinkGetByte(byte))
                received.append(char(byte));
            return received.endsWith(end);
        });
    };
    ASSERT_TRUE(receiveUntil("\r\n-->>"));
    LinkPuts(CalibrationGo());
    ASSERT_TRUE(receiveUntil(" : "));
    const QByteArray dateRequest = received.mid(received.lastIndexOf('\n') + 1);
    ASSERT_EQ(dateRequest.size(), 33);
    EXPECT_TRUE(dateRequest.startsWith("Cal Date (yyyymmdd) = "));
    EXPECT_EQ(dateRequest[9], '(');
    EXPECT_EQ(dateRequest[17], 'd');
    EXPECT_EQ(dateRequest[31], ':');

    LinkPuts(CalibrationDateAnswer(2025, 2, 3));
    ASSERT_TRUE(receiveUntil("\nSerial Number is 0 : "));
    LinkPuts(CalibrationSerialAnswer(7));
    ASSERT_TRUE(receiveUntil("\n-->>"));
    LinkPuts(CalibrationExit());
    ASSERT_TRUE(receiveUntil("Calibration stored.\r\n"));

    // Every verdict carries its value right before the unit and " is within".
    QByteArrayList values;
    for (qsizetype i = received.indexOf(" is within"); i >= 0;
         i = received.indexOf(" is within", i + 2)) {
        if (received[i - 1] == 'F')
            values << received.mid(i - 4, 3);
        else if (received[i - 1] == 'I') {
            const qsizetype blank = received.indexOf(' ', i - 12);
            values << received.mid(blank + 1, received.indexOf(' ', blank + 1) - blank - 1);
        }
    }
    EXPECT_EQ(values.join(','), QByteArray("401,438,501,538,49.8,250.6,751.1,1498.7"));
    const qsizetype cjc = received.indexOf("CJC_Scale");
    ASSERT_GE(cjc, 0);
    EXPECT_GT(received.indexOf("\r\n-------!!!", cjc), cjc);

    // The Vantrek keeps what it was told.
    EXPECT_EQ(Poll().identRest, QByteArray("20250203"));
    EXPECT_TRUE(Ask(DiagnosticsPoll()).endsWith("KVTQ-0007 v2.1.4 c20250203"));
}

TEST_F(SimTest, InjectedFaultsReachTheLinkAsAsked) {
    Start({QStringLiteral("--ff-first"), QStringLiteral("100"), QStringLiteral("--chunk"),
           QStringLiteral("7"), QStringLiteral("--chunk-delay"), QStringLiteral("2"),
           QStringLiteral("--stall-after"), QStringLiteral("2")});
    // A damaged first byte, in small pieces, is still one repaired line.
    StatusReply reply;
    EXPECT_TRUE(DecodeStatusReply(Ask(StatusPollCommand(0, false, false, 0)), reply));
    ASSERT_EQ(m_prompter.Shown().size(), 1u);
    EXPECT_EQ(m_prompter.Shown()[0].text, QStringLiteral("First byte was 0xFF.  Changed to 'P'"));
    EXPECT_TRUE(TranscriptHas("! first byte 0xFF\n"));
    EXPECT_FALSE(Ask(DiagnosticsPoll()).isEmpty());

    // The third command finds the link stalled: it is heard, not answered.
    LinkPuts(DiagnosticsPoll());
    EXPECT_TRUE(TranscriptHas("> Wp05\n! stalled\n"));
    unsigned char byte = 0;
    EXPECT_FALSE(LinkGetByte(byte));
}

TEST_F(SimTest, NoiseAndDroppedRepliesAreInjected) {
    Start({QStringLiteral("--noise"), QStringLiteral("100"), QStringLiteral("--seed"),
           QStringLiteral("7")});
    const QByteArray noisy = Ask(DiagnosticsPoll());
    EXPECT_FALSE(noisy.startsWith("Pw05"));
    EXPECT_TRUE(noisy.contains("Pw05LR")); // noise before the reply, never a line end
    m_sim.terminate();
    m_sim.waitForFinished(5000);
    LinkClose();

    Start({QStringLiteral("--drop"), QStringLiteral("100")});
    LinkPuts(DiagnosticsPoll());
    EXPECT_TRUE(TranscriptHas("> Wp05\n< Pw05"));
    EXPECT_TRUE(TranscriptHas("\n! dropped\n"));
    unsigned char byte = 0;
    EXPECT_FALSE(LinkGetByte(byte));
}
