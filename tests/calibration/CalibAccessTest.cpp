// The way into the calibration mode: the fourth tap, the gateway, the access
// code, and the parameters form in its scrolling host.

#include "calibration/CalibParamPage.h"
#include "calibration/CalibrationDlg.h"
#include "calibration/CalibrationEntry.h"
#include "calibration/GatewayDlgs.h"
#include "calibration/Resource.h"
#include "calibration/ScrollDlg.h"
#include "diagnostics/DiagnosticsDlg.h"
#include "diagnostics/SettingsDlg.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "link/PtyVantrek.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {
QString Calib(const char* name) {
    return ReadSettingText(kKeyCalibration, QString::fromLatin1(name), QStringLiteral("<none>"));
}

CCalibParamPage& PageOf(CDialog& dlg) {
    return *static_cast<CCalibParamPage*>(static_cast<CScrollDlg&>(dlg).Container().Page());
}

// Lets posted messages arrive, as the event loop would.
void DeliverPosted() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

class NoContainerDlg : public CScrollDlg {
public:
    NoContainerDlg() : CScrollDlg(QStringLiteral("T"), nullptr) {}

protected:
    bool CreateContainer(const QRect&) override { return false; }
};
} // namespace

TEST(CalibAccess, FourthTapOpensTheGatewayAndTheSettingsDialogStays) {
    CSettingsDlg settings(nullptr);
    settings.Create();
    settings.SetDlgItemText(IDC_TEMP_OFFSET, QStringLiteral("12"));
    ScriptedRunner runner;
    runner.Then<CCheckVantrekDlg>([](CCheckVantrekDlg& dlg) { dlg.ClickDlgItem(IDCANCEL); });
    for (int tap = 0; tap < 4; ++tap)
        settings.OnStaticClicked(IDC_PORT_LABEL);
    EXPECT_EQ(runner.Run(), std::vector<int>{IDD_CHECK_VANTREK});
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_FALSE(settings.IsEnded());
    EXPECT_EQ(settings.GetDlgItemText(IDC_TEMP_OFFSET), QStringLiteral("12"));
}

TEST(CalibAccess, OnlyTheExactCodeTypedAndAcceptedOpensTheParameters) {
    ScriptedPrompter prompter;
    ScriptedRunner runner;
    struct Try {
        const char* code;
        int button;
    };
    for (const Try t :
         {Try{"Qarvo7", IDOK}, Try{"qarvo7 ", IDOK}, Try{"qarvo", IDOK}, Try{"qarvo7", IDCANCEL}}) {
        runner.Then<CCheckVantrekDlg>([](CCheckVantrekDlg& dlg) {
            EXPECT_TRUE(dlg.GetDlgItemText(IDC_HIDDEN_STRIP).isEmpty());
            dlg.ClickDlgItem(IDC_HIDDEN_STRIP);
        });
        runner.Then<CAccessCodeDlg>([t](CAccessCodeDlg& dlg) {
            auto* edit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_ACCESS_CODE));
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
            dlg.SetDlgItemText(IDC_ACCESS_CODE, QString::fromLatin1(t.code));
            dlg.ClickDlgItem(t.button);
        });
        RunCalibrationEntrySequence(nullptr);
    }
    EXPECT_EQ(runner.Run().size(), 8u);
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_TRUE(prompter.Shown().empty());

    // The right code: the parameters open; their Cancel ends the sequence.
    runner.Then<CCheckVantrekDlg>(
        [](CCheckVantrekDlg& dlg) { dlg.ClickDlgItem(IDC_HIDDEN_STRIP); });
    runner.Then<CAccessCodeDlg>([](CAccessCodeDlg& dlg) {
        dlg.SetDlgItemText(IDC_ACCESS_CODE, QStringLiteral("qarvo7"));
        dlg.ClickDlgItem(IDOK);
    });
    runner.Then<CScrollDlg>([](CScrollDlg& dlg) {
        EXPECT_EQ(dlg.BandHeight(), 22);
        PageOf(dlg).ClickDlgItem(IDCANCEL);
        DeliverPosted();
        EXPECT_EQ(dlg.Result(), IDCANCEL);
    });
    RunCalibrationEntrySequence(nullptr);
    EXPECT_EQ(runner.Run().back(), IDD_SCROLL);
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_EQ(Calib("Technician"), QStringLiteral("<none>"));

    // Their OK opens the Calibration window.
    PtyVantrek vantrek(5);
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    runner.Then<CCheckVantrekDlg>(
        [](CCheckVantrekDlg& dlg) { dlg.ClickDlgItem(IDC_HIDDEN_STRIP); });
    runner.Then<CAccessCodeDlg>([](CAccessCodeDlg& dlg) {
        dlg.SetDlgItemText(IDC_ACCESS_CODE, QStringLiteral("qarvo7"));
        dlg.ClickDlgItem(IDOK);
    });
    runner.Then<CScrollDlg>([](CScrollDlg& dlg) {
        PageOf(dlg).ClickDlgItem(IDOK);
        DeliverPosted();
        EXPECT_EQ(dlg.Result(), IDOK);
    });
    runner.Then<CCalibrationDlg>([](CCalibrationDlg& dlg) { dlg.EndDialog(IDCANCEL); });
    RunCalibrationEntrySequence(nullptr);
    EXPECT_EQ(runner.Run().back(), IDD_CALIBRATION);
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST(CalibAccess, GatewayConnectRunsDiagnosticsAndExitEndsTheSequence) {
    PtyVantrek vantrek(5);
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    ScriptedRunner runner;
    runner.Then<CCheckVantrekDlg>([](CCheckVantrekDlg& dlg) { dlg.ClickDlgItem(IDOK); });
    runner.Then<CDiagnosticsDlg>([](CDiagnosticsDlg& dlg) {
        EXPECT_TRUE(dlg.LinkIsOpen());
        dlg.ClickDlgItem(IDCANCEL);
    });
    RunCalibrationEntrySequence(nullptr);
    runner.Then<CCheckVantrekDlg>([](CCheckVantrekDlg& dlg) { dlg.ClickDlgItem(IDCANCEL); });
    RunCalibrationEntrySequence(nullptr);
    EXPECT_EQ(runner.Run(), (std::vector<int>{IDD_CHECK_VANTREK, 170, IDD_CHECK_VANTREK}));
    EXPECT_TRUE(runner.Failures().empty());
}

TEST(CalibAccess, ScrollArithmeticKeepsWithinItsRange) {
    const ScrollInfo si{0, 930, 250, 0};
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::LineDown), 8);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::LineUp), 0);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::PageUp), 0);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::PageDown), 250);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::Bottom), 680);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::ThumbTrack, 333), 333);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::ThumbPosition, 333), 0);
    EXPECT_EQ(ScrollPosition(si, ScrollRequest::EndScroll), 0);
    const ScrollInfo nearEnd{0, 930, 250, 676};
    EXPECT_EQ(ScrollPosition(nearEnd, ScrollRequest::LineDown), 680);
    EXPECT_EQ(ScrollPosition(nearEnd, ScrollRequest::PageDown), 680);
    EXPECT_EQ(ScrollPosition(nearEnd, ScrollRequest::Top), 0);
    const ScrollInfo nearTop{0, 930, 250, 5};
    EXPECT_EQ(ScrollPosition(nearTop, ScrollRequest::LineUp), 0);
    EXPECT_EQ(ScrollPosition(nearTop, ScrollRequest::PageUp), 0);
    const ScrollInfo atEnd{0, 930, 250, 680};
    EXPECT_EQ(ScrollPosition(atEnd, ScrollRequest::LineDown), 680);
    EXPECT_EQ(ScrollPosition(atEnd, ScrollRequest::PageDown), 680);

    // A container taller than its page has no range and keeps it at 0.
    CScrollDlg dlg(QString(), nullptr);
    dlg.Container().SetPage(std::make_unique<CCalibParamPage>());
    dlg.Create();
    CPageContainer& c = dlg.Container();
    EXPECT_EQ(dlg.BandHeight(), 0);
    c.OnSize(240, 2000);
    EXPECT_EQ(c.VInfo().max, 0);
    c.OnVScroll(ScrollRequest::LineDown);
    EXPECT_EQ(c.YOffset(), 0);
    // Shorter than its page: 8 pixels a line, never past max - page.
    c.OnSize(240, 250);
    EXPECT_EQ(c.VInfo().max, c.Page()->height());
    EXPECT_EQ(c.VInfo().page, 250);
    EXPECT_EQ(c.HInfo().max, 0);
    c.OnVScroll(ScrollRequest::LineDown);
    EXPECT_EQ(c.YOffset(), -8);
    EXPECT_EQ(c.Page()->y(), -8);
    c.OnVScroll(ScrollRequest::Bottom);
    EXPECT_EQ(c.Page()->y(), 250 - c.Page()->height());
    c.OnVScroll(ScrollRequest::LineDown);
    EXPECT_EQ(c.Page()->y(), 250 - c.Page()->height());
    c.OnVScroll(ScrollRequest::PageUp);
    EXPECT_EQ(c.VInfo().pos, c.Page()->height() - 500);
}

TEST(CalibAccess, ScrollDialogHintsOnEnterAndEndsOnThePagesOk) {
    ScriptedPrompter prompter;
    WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"), QStringLiteral("KVTQ-0815"));
    CScrollDlg dlg(QStringLiteral("Calibration Parameters"), nullptr);
    dlg.Container().SetPage(std::make_unique<CCalibParamPage>());
    dlg.Create();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    EXPECT_FALSE(dlg.IsEnded());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Hint"));
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Please scroll down the page to inspect each field carefully, then "
                             "follow the instructions at the end of the page."));
    // Enter where it is typed, in one of the form's edits, asks the same.
    QWidget* edit = PageOf(dlg).GetDlgItem(IDC_TECHNICIAN);
    ASSERT_NE(edit, nullptr);
    QCoreApplication::sendEvent(edit, &enter);
    EXPECT_FALSE(dlg.IsEnded());
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Hint"));
    prompter.Clear();

    PageOf(dlg).ClickDlgItem(IDOK);
    EXPECT_FALSE(dlg.IsEnded()); // posted, not sent
    DeliverPosted();
    EXPECT_EQ(dlg.Result(), IDOK);
    EXPECT_EQ(dlg.Container().Page(), nullptr);
    EXPECT_EQ(Calib("Serial Number"), QStringLiteral("KVTQ-0815"));

    NoContainerDlg broken;
    broken.Create();
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Cannot create container!"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_OK);
}

TEST(CalibAccess, ParametersPageLoadsSavesAndRefusesBadSerialDigits) {
    ScriptedPrompter prompter;
    {
        CCalibParamPage page;
        page.Create();
        EXPECT_EQ(page.GetDlgItemText(IDC_SERIAL_DIGITS), QStringLiteral("0000"));
        EXPECT_EQ(page.TimerInterval(1), 300);
        for (int id :
             {IDC_TECHNICIAN, IDC_COMPANY, IDC_PYRO_MODEL, IDC_PYRO_SERIAL, IDC_PYRO_CERT,
              IDC_PRESS_CAL_MODEL, IDC_PRESS_CAL_SERIAL, IDC_PRESS_CAL_CERT, IDC_PRESS_CAL_EXPIRE})
            EXPECT_EQ(page.TextLimit(id), 100) << id;
        EXPECT_EQ(page.TextLimit(IDC_PYRO_EXPIRE), 0);
        EXPECT_EQ(page.TextLimit(IDC_XDCR_SERIAL), 0);
        EXPECT_EQ(page.TextLimit(IDC_SERIAL_DIGITS), 4);
    }

    // The form shows what is stored, so that Save writes it back unchanged
    // and not as empty texts.
    const std::pair<int, const char*> stored[] = {{IDC_TECHNICIAN, "Technician"},
                                                  {IDC_COMPANY, "Company"},
                                                  {IDC_PYRO_MODEL, "Pyrometer Model"},
                                                  {IDC_PYRO_SERIAL, "Pyrometer Serial"},
                                                  {IDC_PYRO_CERT, "Pyrometer Cert"},
                                                  {IDC_PYRO_EXPIRE, "Pyrometer Expiration"},
                                                  {IDC_PRESS_CAL_MODEL, "Press Calib Model"},
                                                  {IDC_PRESS_CAL_SERIAL, "Press Calib Serial"},
                                                  {IDC_PRESS_CAL_CERT, "Press Calib Cert"},
                                                  {IDC_PRESS_CAL_EXPIRE, "Press Calib Expire"},
                                                  {IDC_XDCR_SERIAL, "Xdcr Serial Number"}};
    for (const auto& [id, name] : stored)
        WriteSettingText(kKeyCalibration, QString::fromLatin1(name),
                         QStringLiteral("v ") + QString::fromLatin1(name));
    WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"), QStringLiteral("KVTQ-0815"));
    {
        CCalibParamPage page;
        page.Create();
        for (const auto& [id, name] : stored)
            EXPECT_EQ(page.GetDlgItemText(id), QStringLiteral("v ") + QString::fromLatin1(name))
                << name;
        EXPECT_EQ(page.GetDlgItemText(IDC_SERIAL_DIGITS), QStringLiteral("0815"));
        page.ClickDlgItem(IDC_SAVE);
        prompter.Clear();
        for (const auto& [id, name] : stored)
            EXPECT_EQ(Calib(name), QStringLiteral("v ") + QString::fromLatin1(name)) << name;
        EXPECT_EQ(Calib("Serial Number"), QStringLiteral("KVTQ-0815"));
    }
    for (const auto& [id, name] : stored)
        WriteSettingText(kKeyCalibration, QString::fromLatin1(name), QString());

    // Digits that are not four decimal digits are refused after the eleven
    // free texts are written.
    WriteSettingText(kKeyCalibration, QStringLiteral("Serial Number"), QStringLiteral("KVTQ-12a4"));
    for (const char* digits : {"12a4", "123"}) {
        CCalibParamPage page;
        page.Create();
        page.SetDlgItemText(IDC_SERIAL_DIGITS, QString::fromLatin1(digits));
        page.SetDlgItemText(IDC_TECHNICIAN, QStringLiteral("Kim"));
        page.SetDlgItemText(IDC_XDCR_SERIAL, QString(150, QLatin1Char('x')));
        page.ClickDlgItem(IDC_SAVE);
        ASSERT_EQ(prompter.Shown().size(), 1u) << digits;
        EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("KVTQ serial number must be 4 digits!"));
        EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Invalid Serial Number"));
        EXPECT_EQ(prompter.Shown()[0].type, MB_OK | MB_ICONERROR);
        EXPECT_EQ(Calib("Technician"), QStringLiteral("Kim"));
        EXPECT_EQ(Calib("Xdcr Serial Number"), QString(150, QLatin1Char('x')));
        EXPECT_EQ(Calib("Company"), QString());
        EXPECT_EQ(Calib("Serial Number"), QStringLiteral("KVTQ-12a4"));
        prompter.Clear();
    }

    // Save, then Cancel: what Save wrote stays.
    CCalibParamPage page;
    page.Create();
    page.SetDlgItemText(IDC_SERIAL_DIGITS, QStringLiteral("0007"));
    page.SetDlgItemText(IDC_PRESS_CAL_EXPIRE, QStringLiteral("2027-01"));
    page.ClickDlgItem(IDC_SAVE);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Parameters saved."));
    EXPECT_EQ(prompter.Shown()[0].caption, AppName());
    page.SetDlgItemText(IDC_PRESS_CAL_EXPIRE, QStringLiteral("changed"));
    page.ClickDlgItem(IDCANCEL);
    EXPECT_EQ(Calib("Serial Number"), QStringLiteral("KVTQ-0007"));
    EXPECT_EQ(Calib("Press Calib Expire"), QStringLiteral("2027-01"));
}

TEST(CalibAccess, ClockLabelShowsTwelveHours) {
    const QDate day(2026, 12, 6);
    EXPECT_EQ(CCalibParamPage::DateTimeLabel(QDateTime(day, QTime(0, 30, 0))),
              QStringLiteral("Check date and time: 2026/12/06  00:30:00 AM"));
    EXPECT_EQ(CCalibParamPage::DateTimeLabel(QDateTime(day, QTime(12, 5, 9))),
              QStringLiteral("Check date and time: 2026/12/06  12:05:09 PM"));
    EXPECT_EQ(CCalibParamPage::DateTimeLabel(QDateTime(day, QTime(13, 0, 0))),
              QStringLiteral("Check date and time: 2026/12/06  01:00:00 PM"));
    SetFixedLocalTime(QDateTime(day, QTime(23, 59, 58)));
    CCalibParamPage page;
    page.Create();
    page.OnTimer(1);
    EXPECT_EQ(page.GetDlgItemText(IDC_DATE_TIME),
              QStringLiteral("Check date and time: 2026/12/06  11:59:58 PM"));
}
