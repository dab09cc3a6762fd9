// The service mode: the gateway, the access code, the parameters form at its
// top and scrolled to its end, a calibration run, the Summary of its archive
// and the probe diagnostics, the Vantrek played here on a pseudo-terminal.

#include "PictureVantrek.h"
#include "Pictures.h"

#include "calibration/CalibParamPage.h"
#include "calibration/CalibRecord.h"
#include "calibration/CalibSummaryDlg.h"
#include "calibration/CalibrationDlg.h"
#include "calibration/GatewayDlgs.h"
#include "calibration/Resource.h"
#include "calibration/ScrollDlg.h"
#include "diagnostics/DiagnosticsDlg.h"
#include "framework/SettingsStore.h"

#include <QByteArray>

namespace {
const char kCalibrationOutput[] =
    "\r\nVantrek KVTQ-0042 v2.1.4 c20240115\r\nCalibration mode\r\n"
    "Calibrating KVTQ-0042 v2.1.4 c20240115\r\nCal Date (yyyymmdd) = 20240115 : 20240305\r\n"
    "Serial Number is 42\r\nTemperature calibration\r\n"
    "  400F point: measured 401F is within 3F\r\n"
    "  440F point: measured 438F is within 3F\r\n"
    "  500F point: measured 501F is within 3F\r\n"
    "  540F point: measured 538F is within 3F\r\n"
    "Pressure calibration\r\n"
    "  50 PSI point: measured 49.8 PSI is within 0.5%\r\n"
    "  250 PSI point: measured 250.6 PSI is within 0.5%\r\n"
    "  750 PSI point: measured 751.1 PSI is within 0.5%\r\n"
    "  1500 PSI point: measured 1498.7 PSI is within 0.5%\r\n"
    "CJC_Scale = 1.00213\r\nCJC_Offset = -0.412\r\n-------!!!\r\n";

void FillParameters() {
    const char* values[][2] = {
        {"Technician", "Kim Larsen"},           {"Company", "Kelvorn Service"},
        {"Pyrometer Model", "Fluke 724"},       {"Pyrometer Serial", "2231877"},
        {"Pyrometer Cert", "C-4471"},           {"Pyrometer Expiration", "2025-06-30"},
        {"Press Calib Model", "Druck DPI 104"}, {"Press Calib Serial", "104-5512"},
        {"Press Calib Cert", "P-0913"},         {"Press Calib Expire", "2025-09-30"},
        {"Xdcr Serial Number", "X-88017"},      {"Serial Number", "KVTQ-0042"},
    };
    for (const auto& v : values)
        WriteSettingText(kKeyCalibration, QString::fromLatin1(v[0]), QString::fromLatin1(v[1]));
}
} // namespace

int WriteServicePictures() {
    int failures = 0;
    FillParameters();
    {
        CCheckVantrekDlg dlg(nullptr);
        failures += !SavePicture(dlg, QStringLiteral("service-gateway"));
    }
    {
        CAccessCodeDlg dlg(nullptr);
        dlg.Create();
        dlg.SetDlgItemText(IDC_ACCESS_CODE, QStringLiteral("qarv"));
        failures += !SavePicture(dlg, QStringLiteral("service-access-code"));
    }
    {
        CScrollDlg dlg(QStringLiteral("Calibration Parameters"), nullptr);
        dlg.Container().SetPage(std::make_unique<CCalibParamPage>());
        dlg.Create();
        dlg.Container().Page()->OnTimer(1);
        failures += !SavePicture(dlg, QStringLiteral("service-parameters-top"));
        dlg.Container().OnVScroll(ScrollRequest::Bottom);
        failures += !SavePicture(dlg, QStringLiteral("service-parameters-end"));
    }
    {
        PictureVantrek vantrek;
        CCalibrationDlg dlg(nullptr);
        dlg.Create();
        dlg.OnTimer(1);
        failures += !SavePicture(dlg, QStringLiteral("service-calibration-start"));
        vantrek.Send(kCalibrationOutput);
        for (int tick = 0; tick < 40; ++tick)
            dlg.OnTimer(1);
        failures += !SavePicture(dlg, QStringLiteral("service-calibration-run"));
    }
    {
        CCalibRecord r;
        r.m_strSignature = kCalibSignature;
        r.m_nVersion = kCalibVersion;
        r.m_strDateTime = QStringLiteral("2024/03/05  07:08:09");
        r.m_strVantrekSerial = QStringLiteral("KVTQ-0042");
        r.m_strSessionLog = QStringLiteral("---") + QString::fromLatin1(kCalibrationOutput);
        r.m_strTechnician = QStringLiteral("Kim Larsen");
        r.m_strCompany = QStringLiteral("Kelvorn Service");
        r.m_strPyroModel = QStringLiteral("Fluke 724");
        r.m_strPyroSerial = QStringLiteral("2231877");
        r.m_strPyroCert = QStringLiteral("C-4471");
        r.m_strPyroExpire = QStringLiteral("2025-06-30");
        r.m_strPressModel = QStringLiteral("Druck DPI 104");
        r.m_strPressSerial = QStringLiteral("104-5512");
        r.m_strPressCert = QStringLiteral("P-0913");
        r.m_strPressExpire = QStringLiteral("2025-09-30");
        r.m_strVantrekModel = QStringLiteral("TK208M");
        r.m_strHandheldId = QStringLiteral("Acme Pad 7 (VTQPv0.2.5)");
        r.m_strXdcrSerial = QStringLiteral("X-88017");
        CCalibSummaryDlg dlg(nullptr, r);
        failures += !SavePicture(dlg, QStringLiteral("service-summary"));
    }
    {
        PictureVantrek vantrek;
        CDiagnosticsDlg dlg(nullptr);
        dlg.Create();
        failures += !SavePicture(dlg, QStringLiteral("service-diagnostics-connecting"));
        for (int reply = 0; reply < 2; ++reply) {
            vantrek.Send("Pw05LRp 189c11801t431C08000b087iKVTQ-0042 v2.1.4 c20240115\r\n");
            dlg.OnTimer(1);
        }
        failures += !SavePicture(dlg, QStringLiteral("service-diagnostics"));
    }
    return failures;
}
