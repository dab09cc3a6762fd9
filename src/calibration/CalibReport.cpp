#include "calibration/CalibReport.h"

namespace {
const QString kDash = QStringLiteral("---");
const QString kWithin = QStringLiteral(" is within");
const QString kDegF = QStringLiteral("°F");
} // namespace

CalibResults ExtractCalibResults(const QString& log) {
    CalibResults r;
    for (QString& t : r.temp)
        t = kDash;
    for (QString& p : r.press)
        p = kDash;
    r.cjc = kDash;

    qsizetype from = 0;
    for (qsizetype i; (i = log.indexOf(kWithin, from)) >= 0; from = i + 2) {
        const QChar c = i > 0 ? log[i - 1] : QChar();
        if (c == QLatin1Char('F')) {
            // The three digits before the unit letter; a line too near the
            // start of the log to hold them has no value.
            if (i < 4)
                continue;
            const QString v = log.mid(i - 4, 3);
            const QString head = v.left(2);
            int slot = -1;
            if (head == QLatin1String("40") || head == QLatin1String("39"))
                slot = 0;
            else if (head == QLatin1String("44") || head == QLatin1String("43"))
                slot = 1;
            else if (head == QLatin1String("50") || head == QLatin1String("49"))
                slot = 2;
            else if (head == QLatin1String("54") || head == QLatin1String("53"))
                slot = 3;
            if (slot >= 0)
                r.temp[slot] = v + kDegF;
        } else if (c == QLatin1Char('I')) {
            const qsizetype blank = log.indexOf(QLatin1Char(' '), std::max<qsizetype>(0, i - 12));
            if (blank < 0)
                continue;
            const qsizetype end = log.indexOf(QLatin1Char(' '), blank + 1);
            if (end < 0)
                continue;
            const QString v = log.mid(blank + 1, end - blank - 1);
            int slot = -1;
            switch (v.isEmpty() ? 0 : v[0].unicode()) {
            case '1':
                slot = 3;
                break;
            case '7':
                slot = 2;
                break;
            case '2':
                slot = 1;
                break;
            case '5':
            case '4':
                slot = 0;
                break;
            default:
                break;
            }
            if (slot >= 0)
                r.press[slot] = v + QStringLiteral("psi");
        }
    }

    const qsizetype j = log.indexOf(QStringLiteral("CJC_Scale"), from);
    if (j >= 0) {
        const qsizetype k = log.indexOf(QStringLiteral("-------!!!"), j);
        // The two characters before the marker are the line break.
        if (k >= 0 && k - j - 2 >= 0)
            r.cjc = log.mid(j, k - j - 2);
    }
    return r;
}

QString BuildCalibReport(const CCalibRecord& rec) {
    const CalibResults r = ExtractCalibResults(rec.m_strSessionLog);
    const QString crlf = QStringLiteral("\r\n");
    QString s;
    s += QStringLiteral("Kelvorn Vantrek\r\n");
    s += QStringLiteral("   Model: ") + rec.m_strVantrekModel + crlf;
    s += QStringLiteral("   VTQ s/n: ") + rec.m_strVantrekSerial + crlf;
    s += QStringLiteral("   PPC s/n: ") + rec.m_strHandheldId + crlf;
    s += QStringLiteral("   Xdcr s/n: ") + rec.m_strXdcrSerial + crlf + crlf;
    s += rec.m_strDateTime + QStringLiteral("\r\n\r\nTarget\tMeasured\r\n");
    const char* temps[] = {"400°F\t", "440°F\t", "500°F\t", "540°F\t"};
    for (int n = 0; n < 4; ++n)
        s += QString::fromUtf8(temps[n]) + r.temp[n] + crlf;
    s += crlf;
    const char* presses[] = {"50psi\t", "250psi\t", "750psi\t", "1500psi\t"};
    for (int n = 0; n < 4; ++n)
        s += QString::fromLatin1(presses[n]) + r.press[n] + crlf;
    s += crlf;
    s += r.cjc + crlf + crlf;
    s += QStringLiteral("Technician: ") + rec.m_strTechnician + crlf;
    s += QStringLiteral("Company: ") + rec.m_strCompany + crlf + crlf;
    s += QStringLiteral("Temperature Calibrator\r\n");
    s += QStringLiteral("    Model: ") + rec.m_strPyroModel + crlf;
    s += QStringLiteral("    S/N: ") + rec.m_strPyroSerial + crlf;
    s += QStringLiteral("    Certificate: ") + rec.m_strPyroCert + crlf;
    s += QStringLiteral("    Expiration: ") + rec.m_strPyroExpire + crlf + crlf;
    s += QStringLiteral("Pressure Calibrator\r\n");
    s += QStringLiteral("    Model: ") + rec.m_strPressModel + crlf;
    s += QStringLiteral("    S/N: ") + rec.m_strPressSerial + crlf;
    s += QStringLiteral("    Certificate: ") + rec.m_strPressCert + crlf;
    s += QStringLiteral("    Expiration: ") + rec.m_strPressExpire;
    return s;
}
