#pragma once
// One calibration run, and its archive form: the framework's wide strings,
// little-endian, the signature and version plain and every other text
// scrambled (each UTF-16 code unit complemented).

#include <QString>
#include <QtGlobal>

class QIODevice;

inline const QString kCalibSignature = QStringLiteral("Kelvorn VTQ Calib");
constexpr qint32 kCalibVersion = 1;

struct CCalibRecord {
    QString m_strSignature;
    qint32 m_nVersion = 0;
    QString m_strDateTime;
    QString m_strVantrekSerial;
    QString m_strSessionLog;
    QString m_strTechnician;
    QString m_strCompany;
    QString m_strPyroModel;
    QString m_strPyroSerial;
    QString m_strPyroCert;
    QString m_strPyroExpire;
    QString m_strPressModel;
    QString m_strPressSerial;
    QString m_strPressCert;
    QString m_strPressExpire;
    QString m_strVantrekModel;
    QString m_strHandheldId;
    QString m_strXdcrSerial;
};

// The complement of every code unit: the same call scrambles and restores.
QString ScrambleText(const QString& text);

// The framework's archive form of a wide string: 0xFF, the marker FE FF, the
// length in 1, 3 or 7 bytes, then the UTF-16LE code units.
QByteArray EncodeWideString(const QString& text);

// Writes the record, `record` holding plain texts; false when the device
// refused a write.
bool WriteCalibRecord(QIODevice& device, const CCalibRecord& record);

enum class CalibReadResult {
    Ok,
    Unreadable,     // cut off, or a length past the end of the data
    NotCalibration, // the first string is not the signature
};

// Reads one record and restores its texts. The signature is checked as soon
// as it is read. No length is trusted beyond the bytes the device holds, so
// damaged data can neither crash the reader nor make it allocate more than
// the file's size.
CalibReadResult ReadCalibRecord(QIODevice& device, CCalibRecord& record);
