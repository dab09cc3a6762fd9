// calibration-seeds DIR: writes calibration archives into DIR, as the first
// corpus of the calibration fuzzer: a full run as the simulator prints it,
// an empty one, and session logs at the wide string's length forms.

#include "calibration/CalibRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {
const char kRun[] = "---\r\nVantrek KVTQ-0042 v2.1.4 c20240115\r\nCalibration mode\r\n-->>"
                    "\r\nCal Date (yyyymmdd) = 20240115 : \r\nSerial Number is 42\r\n"
                    "  400F point: measured 401F is within 3F\r\n"
                    "  540F point: measured 538F is within 3F\r\n"
                    "  50 PSI point: measured 49.8 PSI is within 0.5%\r\n"
                    "  1500 PSI point: measured 1498.7 PSI is within 0.5%\r\n"
                    "CJC_Scale = 1.00213\r\nCJC_Offset = -0.412\r\n-------!!!\r\n-->>";

CCalibRecord Record(const QString& log) {
    CCalibRecord r;
    r.m_strSignature = kCalibSignature;
    r.m_nVersion = kCalibVersion;
    r.m_strDateTime = QStringLiteral("2024/03/05  07:08:09");
    r.m_strVantrekSerial = QStringLiteral("KVTQ-0042");
    r.m_strSessionLog = log;
    for (QString* s :
         {&r.m_strTechnician, &r.m_strCompany, &r.m_strPyroModel, &r.m_strPyroSerial,
          &r.m_strPyroCert, &r.m_strPyroExpire, &r.m_strPressModel, &r.m_strPressSerial,
          &r.m_strPressCert, &r.m_strPressExpire, &r.m_strXdcrSerial})
        *s = QStringLiteral("---");
    r.m_strVantrekModel = QStringLiteral("TK208M");
    r.m_strHandheldId = QStringLiteral("host (VTQPv0.2.5)");
    return r;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: calibration-seeds DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out))
        return 1;
    const std::pair<const char*, QString> seeds[] = {
        {"run", QString::fromLatin1(kRun)},
        {"empty", QString()},
        {"long-255", QString(255, QLatin1Char('x'))},
        {"long-300", QString(300, QLatin1Char('y'))},
    };
    for (const auto& [name, log] : seeds) {
        QFile file(out + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".kdc"));
        if (!file.open(QIODevice::WriteOnly) || !WriteCalibRecord(file, Record(log))) {
            std::fprintf(stderr, "calibration-seeds: cannot write %s\n",
                         qUtf8Printable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
