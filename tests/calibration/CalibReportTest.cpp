#include "calibration/CalibReport.h"

#include <gtest/gtest.h>

namespace {
const QString kSimLog =
    QStringLiteral("---\r\nCalibrating KVTQ-0042\r\nTemperature calibration\r\n"
                   "  400F point: measured 401F is within 3F\r\n"
                   "  440F point: measured 438F is within 3F\r\n"
                   "  500F point: measured 501F is within 3F\r\n"
                   "  540F point: measured 538F is within 3F\r\n"
                   "Pressure calibration\r\n"
                   "  50 PSI point: measured 49.8 PSI is within 0.5%\r\n"
                   "  250 PSI point: measured 250.6 PSI is within 0.5%\r\n"
                   "  750 PSI point: measured 751.1 PSI is within 0.5%\r\n"
                   "  1500 PSI point: measured 1498.7 PSI is within 0.5%\r\n"
                   "CJC_Scale = 1.00213\r\nCJC_Offset = -0.412\r\n-------!!!\r\n-->>");
} // namespace

TEST(CalibReport, PicksTheVantreksMeasuredValuesOutOfTheLog) {
    CalibResults r = ExtractCalibResults(kSimLog);
    EXPECT_EQ(r.temp[0], QStringLiteral("401°F"));
    EXPECT_EQ(r.temp[1], QStringLiteral("438°F"));
    EXPECT_EQ(r.temp[2], QStringLiteral("501°F"));
    EXPECT_EQ(r.temp[3], QStringLiteral("538°F"));
    EXPECT_EQ(r.press[0], QStringLiteral("49.8psi"));
    EXPECT_EQ(r.press[1], QStringLiteral("250.6psi"));
    EXPECT_EQ(r.press[2], QStringLiteral("751.1psi"));
    EXPECT_EQ(r.press[3], QStringLiteral("1498.7psi"));
    EXPECT_EQ(r.cjc, QStringLiteral("CJC_Scale = 1.00213\r\nCJC_Offset = -0.412"));

    // A later line for the same target replaces the earlier one; values that
    // match no target, and a pressure without a closing blank, set nothing.
    r = ExtractCalibResults(QStringLiteral("a 399F is within\r\nb 402F is within\r\n"
                                           "c 0.4F is within\r\nd 612F is within\r\n"
                                           "e 4.9 PSI is within\r\nf 51.2 PSI is within\r\n"
                                           "g 9.9 PSI is within\r\nh CJC_Scale 7\r\n"));
    EXPECT_EQ(r.temp[0], QStringLiteral("402°F"));
    EXPECT_EQ(r.temp[1], QStringLiteral("---"));
    EXPECT_EQ(r.press[0], QStringLiteral("51.2psi"));
    EXPECT_EQ(r.press[3], QStringLiteral("---"));
    EXPECT_EQ(r.cjc, QStringLiteral("---")); // no end marker after it

    // Nothing at all, and verdicts at the very start of the log, which have
    // no room for a value before them.
    for (const QString& log :
         {QString(), QStringLiteral(" is within"), QStringLiteral("F is within"),
          QStringLiteral("I is within"), QStringLiteral("PSI is within")}) {
        r = ExtractCalibResults(log);
        for (int n = 0; n < 4; ++n) {
            EXPECT_EQ(r.temp[n], QStringLiteral("---"));
            EXPECT_EQ(r.press[n], QStringLiteral("---"));
        }
    }
    // The cold-junction block is looked for after the last verdict only.
    EXPECT_EQ(ExtractCalibResults(QStringLiteral("CJC_Scale 1\r\n-------!!! 401F is within")).cjc,
              QStringLiteral("---"));
}

TEST(CalibReport, ReportLaysOutIdentitiesResultsAndParameters) {
    CCalibRecord r;
    r.m_strDateTime = QStringLiteral("2026/12/06  09:30:00");
    r.m_strVantrekSerial = QStringLiteral("KVTQ-0042");
    r.m_strSessionLog = QStringLiteral("x 401F is within\r\ny 1498.7 PSI is within");
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
    r.m_strHandheldId = QStringLiteral("HH (VTQPv0.2.5)");
    r.m_strXdcrSerial = QStringLiteral("X-9");
    EXPECT_EQ(BuildCalibReport(r),
              QStringLiteral("Kelvorn Vantrek\r\n   Model: TK208M\r\n   VTQ s/n: KVTQ-0042\r\n"
                             "   PPC s/n: HH (VTQPv0.2.5)\r\n   Xdcr s/n: X-9\r\n\r\n"
                             "2026/12/06  09:30:00\r\n\r\nTarget\tMeasured\r\n"
                             "400°F\t401°F\r\n440°F\t---\r\n500°F\t---\r\n540°F\t---\r\n\r\n"
                             "50psi\t---\r\n250psi\t---\r\n750psi\t---\r\n1500psi\t1498.7psi\r\n"
                             "\r\n---\r\n\r\nTechnician: Kim\r\nCompany: Acme\r\n\r\n"
                             "Temperature Calibrator\r\n    Model: P1\r\n    S/N: P2\r\n"
                             "    Certificate: P3\r\n    Expiration: P4\r\n\r\n"
                             "Pressure Calibrator\r\n    Model: Q1\r\n    S/N: Q2\r\n"
                             "    Certificate: Q3\r\n    Expiration: Q4"));
}
