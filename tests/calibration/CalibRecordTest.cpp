#include "calibration/CalibRecord.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {
CCalibRecord Sample(const QString& log) {
    CCalibRecord r;
    r.m_strSignature = kCalibSignature;
    r.m_nVersion = kCalibVersion;
    r.m_strDateTime = QStringLiteral("2026/12/06  09:30:00");
    r.m_strVantrekSerial = QStringLiteral("KVTQ-0042");
    r.m_strSessionLog = log;
    r.m_strTechnician = QStringLiteral("Kim");
    r.m_strCompany = QStringLiteral("Acme");
    r.m_strPyroModel = QStringLiteral("P1");
    r.m_strPyroSerial = QStringLiteral("P2");
    r.m_strPyroCert = QStringLiteral("P3");
    r.m_strPyroExpire = QStringLiteral("P4");
    r.m_strPressModel = QStringLiteral("Q1");
    r.m_strPressSerial = QStringLiteral("Q2");
    r.m_strPressCert = QStringLiteral("Q3");
    r.m_strPressExpire = QStringLiteral("Q4");
    r.m_strVantrekModel = QStringLiteral("TK208M");
    r.m_strHandheldId = QStringLiteral("host (VTQPv0.2.5)");
    r.m_strXdcrSerial = QStringLiteral("X-9");
    return r;
}

QByteArray Write(const CCalibRecord& r) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteCalibRecord(buffer, r));
    return buffer.data();
}

CalibReadResult Read(const QByteArray& bytes, CCalibRecord& r) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ReadCalibRecord(buffer, r);
}

// A buffer that notes the largest read asked of it: a reader that trusts a
// length asks for (and allocates) all of it.
class WatchedBuffer : public QBuffer {
public:
    using QBuffer::QBuffer;
    qint64 largestRead = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        largestRead = std::max(largestRead, maxSize);
        return QBuffer::readData(data, maxSize);
    }
};

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}
} // namespace

TEST(CalibRecord, WideStringsTakeTheirThreeLengthForms) {
    const struct {
        int length;
        QByteArray head;
    } cases[] = {
        {0, Hex("fffeff00")},
        {254, Hex("fffefffe")},
        {255, Hex("fffeffffff00")},
        {300, Hex("fffeffff2c01")},
        {65533, Hex("fffefffffdff")},
        {65534, Hex("fffeffffffff"
                    "feff0000")},
        {70000, Hex("fffeffffffff"
                    "70110100")},
    };
    for (const auto& c : cases) {
        const QString text(c.length, QChar(0x263A));
        const QByteArray bytes = EncodeWideString(text);
        EXPECT_EQ(bytes.left(c.head.size()), c.head) << c.length;
        EXPECT_EQ(bytes.size(), c.head.size() + 2 * c.length) << c.length;
        // Every form reads back whole.
        CCalibRecord back;
        ASSERT_EQ(Read(Write(Sample(text)), back), CalibReadResult::Ok) << c.length;
        EXPECT_EQ(back.m_strSessionLog, text) << c.length;
    }
}

TEST(CalibRecord, SignatureAndVersionArePlainEveryOtherTextScrambled) {
    const QChar scrambled[] = {QChar(0xFF9E), QChar(0xFF9D), QChar(0xFF9C)};
    EXPECT_EQ(ScrambleText(QStringLiteral("abc")), QString(scrambled, 3));
    EXPECT_EQ(ScrambleText(ScrambleText(QStringLiteral("K\u00e9 \U0001F600"))),
              QStringLiteral("K\u00e9 \U0001F600"));

    const CCalibRecord r = Sample(QStringLiteral("abc"));
    const QByteArray bytes = Write(r);
    const QByteArray signature = EncodeWideString(kCalibSignature);
    ASSERT_EQ(bytes.left(signature.size()), signature);
    EXPECT_EQ(bytes.mid(signature.size(), 4), Hex("01000000"));
    EXPECT_EQ(bytes.mid(signature.size() + 4, 4 + 2 * 20),
              EncodeWideString(ScrambleText(r.m_strDateTime)));
    EXPECT_TRUE(bytes.contains(Hex("fffeff03"
                                   "9eff9dff9cff")));
    EXPECT_FALSE(bytes.contains(QByteArray("K\0V\0T\0Q\0", 8)));

    CCalibRecord back;
    ASSERT_EQ(Read(bytes, back), CalibReadResult::Ok);
    EXPECT_EQ(back.m_nVersion, 1);
    EXPECT_EQ(Write(back), bytes);
}

TEST(CalibRecord, DamagedDataIsRefusedWithoutTrustingItsLengths) {
    const QByteArray good = Write(Sample(QStringLiteral("log")));
    CCalibRecord back;
    ASSERT_EQ(Read(good, back), CalibReadResult::Ok);
    // Cut anywhere, the record is unreadable.
    for (qsizetype n = 0; n < good.size(); ++n)
        ASSERT_EQ(Read(good.left(n), back), CalibReadResult::Unreadable) << n;

    const QByteArray head = EncodeWideString(kCalibSignature) + Hex("01000000");
    // A 32-bit length of some four billion code units, and lengths just past
    // the end, are refused before anything is allocated for them.
    const QByteArray damaged[] = {
        Hex("fffeffffffff f0ffffff 4100"),
        Hex("fffeffffffff 00000100 4100"),
        Hex("fffeffffffff ffffffff"),
        Hex("fffeff05 41004100"),
        Hex("ffffffffffff7f"),
    };
    for (const QByteArray& member : damaged) {
        QByteArray bytes = head + member;
        WatchedBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        EXPECT_EQ(ReadCalibRecord(buffer, back), CalibReadResult::Unreadable)
            << member.toHex().constData();
        EXPECT_LE(buffer.largestRead, bytes.size()) << member.toHex().constData();
    }

    // Another file, or another signature, is not a calibration archive.
    EXPECT_EQ(Read(QByteArray("VTQPv0.2.5") + QByteArray(300, 'x'), back),
              CalibReadResult::NotCalibration);
    EXPECT_EQ(Read(EncodeWideString(QStringLiteral("Kelvorn VTQ calib")) + good, back),
              CalibReadResult::NotCalibration);
    EXPECT_EQ(back.m_strSessionLog, QStringLiteral("log")); // the last good read stays
}
