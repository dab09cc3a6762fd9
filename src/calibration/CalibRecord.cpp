#include "calibration/CalibRecord.h"

#include <QIODevice>
#include <QtEndian>
#include <array>

namespace {
void AppendLe16(QByteArray& out, quint16 v) {
    out += char(v & 0xff);
    out += char(v >> 8);
}

// The members that are held scrambled, in their order in the file.
std::array<QString CCalibRecord::*, 16> ScrambledMembers() {
    return {&CCalibRecord::m_strDateTime,    &CCalibRecord::m_strVantrekSerial,
            &CCalibRecord::m_strSessionLog,  &CCalibRecord::m_strTechnician,
            &CCalibRecord::m_strCompany,     &CCalibRecord::m_strPyroModel,
            &CCalibRecord::m_strPyroSerial,  &CCalibRecord::m_strPyroCert,
            &CCalibRecord::m_strPyroExpire,  &CCalibRecord::m_strPressModel,
            &CCalibRecord::m_strPressSerial, &CCalibRecord::m_strPressCert,
            &CCalibRecord::m_strPressExpire, &CCalibRecord::m_strVantrekModel,
            &CCalibRecord::m_strHandheldId,  &CCalibRecord::m_strXdcrSerial};
}

// Reads exactly `count` bytes, refusing a count past what the device still
// holds before anything is allocated.
bool ReadExact(QIODevice& device, qint64 count, QByteArray& out) {
    const qint64 left =
        device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    if (count < 0 || count > left)
        return false;
    out = device.read(count);
    return out.size() == count;
}

bool ReadLe(QIODevice& device, int bytes, quint64& value) {
    QByteArray raw;
    if (!ReadExact(device, bytes, raw))
        return false;
    value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(raw[i]);
    return true;
}

// A string in the framework's archive form. Besides the wide form it takes
// the 8-bit form the framework reads too (no 0xFF FE FF marker), so that any
// other file is recognised by its first string.
bool ReadArchiveString(QIODevice& device, QString& text) {
    quint64 length = 0;
    bool wide = false;
    if (!ReadLe(device, 1, length))
        return false;
    if (length == 0xff) {
        if (!ReadLe(device, 2, length))
            return false;
        if (length == 0xfffe) {
            wide = true;
            if (!ReadLe(device, 1, length))
                return false;
            if (length == 0xff && !ReadLe(device, 2, length))
                return false;
        }
        if (length == 0xffff && !ReadLe(device, 4, length))
            return false;
    }
    QByteArray raw;
    if (!ReadExact(device, qint64(length) * (wide ? 2 : 1), raw))
        return false;
    if (!wide) {
        text = QString::fromLatin1(raw);
        return true;
    }
    text.resize(qsizetype(length));
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(quint16(quint8(raw[2 * i]) | quint8(raw[2 * i + 1]) << 8));
    return true;
}
} // namespace

QString ScrambleText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        c = QChar(quint16(0xffff - c.unicode()));
    return out;
}

QByteArray EncodeWideString(const QString& text) {
    QByteArray out("\xff\xfe\xff", 3);
    const quint64 n = quint64(text.size());
    if (n < 0xff) {
        out += char(n);
    } else if (n < 0xfffe) {
        out += '\xff';
        AppendLe16(out, quint16(n));
    } else {
        out += '\xff';
        AppendLe16(out, 0xffff);
        quint32 n32 = qToLittleEndian(quint32(n));
        out.append(reinterpret_cast<const char*>(&n32), 4);
    }
    out.reserve(out.size() + text.size() * 2);
    for (const QChar c : text)
        AppendLe16(out, c.unicode());
    return out;
}

bool WriteCalibRecord(QIODevice& device, const CCalibRecord& record) {
    QByteArray out = EncodeWideString(record.m_strSignature);
    const quint32 version = qToLittleEndian(quint32(record.m_nVersion));
    out.append(reinterpret_cast<const char*>(&version), 4);
    for (QString CCalibRecord::*member : ScrambledMembers())
        out += EncodeWideString(ScrambleText(record.*member));
    return device.write(out) == out.size();
}

CalibReadResult ReadCalibRecord(QIODevice& device, CCalibRecord& record) {
    CCalibRecord read;
    if (!ReadArchiveString(device, read.m_strSignature))
        return CalibReadResult::Unreadable;
    if (read.m_strSignature != kCalibSignature)
        return CalibReadResult::NotCalibration;
    quint64 version = 0;
    if (!ReadLe(device, 4, version))
        return CalibReadResult::Unreadable;
    read.m_nVersion = qint32(quint32(version));
    for (QString CCalibRecord::*member : ScrambledMembers()) {
        QString scrambled;
        if (!ReadArchiveString(device, scrambled))
            return CalibReadResult::Unreadable;
        read.*member = ScrambleText(scrambled);
    }
    record = std::move(read);
    return CalibReadResult::Ok;
}
