// One joint's whole road through the windows, against the Vantrek simulator
// running as a process of its own: Setup and every page to "Start", the
// upload, logging, Stop, and the downloaded report on disk.
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/Resource.h"
#include "setup/DragPressurePage.h"
#include "setup/HeaterTempPage.h"
#include "setup/JointRecord.h"
#include "setup/MachinePage.h"
#include "setup/NotesPage.h"
#include "setup/OperatorPage.h"
#include "setup/PipePage.h"
#include "setup/ReadyToLogPage.h"
#include "setup/RecPressuresPage.h"
#include "setup/Resource.h"
#include "support/Simulator.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
// A text field as the report file holds it: its length, low byte first, then
// each character high byte first.
QByteArray FileField(const QString& text) {
    QByteArray bytes;
    bytes += char(text.size() & 0xff);
    bytes += char(text.size() >> 8);
    for (const QChar c : text) {
        bytes += char(c.unicode() >> 8);
        bytes += char(c.unicode() & 0xff);
    }
    return bytes;
}

template <class Page> void Next(ScriptedRunner& runner, std::function<void(Page&)> fill) {
    runner.Then<Page>([fill](Page& page) {
        fill(page);
        page.ClickDlgItem(IDOK);
    });
}
} // namespace

TEST(SetupEndToEnd, WizardToStartThenLoggingStopAndDownload) {
    LoadJointSetupLists();
    Simulator sim({QStringLiteral("--time-scale"), QStringLiteral("50")});
    ASSERT_TRUE(sim.Started());
    SetFixedLocalTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30, 0)));

    ScriptedPrompter prompter;
    ScriptedRunner runner;
    auto dlg = std::make_unique<CLogStatusDlg>(nullptr);
    dlg->Create();
    prompter.Answer(IDOK);
    dlg->ClickDlgItem(IDC_CONNECT);
    ASSERT_EQ(dlg->LinkState(), 1);

    auto tickUntil = [&](auto done) { return TickUntil(*dlg, done); };
    ASSERT_TRUE(tickUntil([&] { return !dlg->VantrekId().isEmpty(); }));

    Next<CMachinePage>(runner, [](CMachinePage& page) {
        page.SetCurSel(IDC_MODEL_LIST, 5); // #Q70 MF
        page.OnSelChange(IDC_MODEL_LIST);
        page.SetDlgItemText(IDC_MACHINE_ID, QStringLiteral("M-22"));
    });
    Next<COperatorPage>(runner, [](COperatorPage& page) {
        page.SetDlgItemText(IDC_EMPLOYEE_ID, QStringLiteral("Lee"));
        page.SetDlgItemText(IDC_JOB_NUMBER, QStringLiteral("J-9"));
        page.SetDlgItemText(IDC_JOINT_NUMBER, QStringLiteral("12"));
    });
    Next<CPipePage>(runner, [](CPipePage& page) {
        page.SetDlgItemText(IDC_PIPE_SIZE, QStringLiteral("8"));
        page.SetDlgItemText(IDC_WALL_THICKNESS, QStringLiteral("11"));
        for (int id : {IDC_HEAT_IFP, IDC_FUSE_IFP, IDC_COOL_IFP})
            page.SetDlgItemText(id, QStringLiteral("75"));
        page.SetDlgItemText(IDC_SOAK_IFP, QStringLiteral("30"));
    });
    Next<CNotesPage>(runner, [](CNotesPage& page) {
        page.SetDlgItemText(IDC_NOTES, QStringLiteral("Cold day"));
    });
    Next<CDragPressurePage>(runner, [](CDragPressurePage& page) {
        page.SetDlgItemText(IDC_DRAG_PRESSURE, QStringLiteral("30"));
    });
    Next<CRecPressuresPage>(runner, [](CRecPressuresPage&) {});
    // The window keeps polling under the page and logs the probe's reading.
    Next<CHeaterTempPage>(runner, [&](CHeaterTempPage& page) {
        EXPECT_TRUE(tickUntil([&] { return !dlg->LoggedTemp().isEmpty(); }));
        EXPECT_EQ(dlg->GetDlgItemText(IDC_TEMP_VALUE), QStringLiteral("430"));
        page.SetDlgItemText(IDC_HEATER_TEMP, QStringLiteral("425"));
    });
    Next<CReadyToLogPage>(runner, [](CReadyToLogPage& page) {
        EXPECT_EQ(page.GetDlgItemText(IDC_LOGGED_TEMP), QStringLiteral("Logged 430 °F"));
    });
    dlg->ClickDlgItem(IDC_SETUP);
    EXPECT_EQ(runner.Run(), (std::vector<int>{136, 134, 138, 167, 153, 164, 162, 163}));
    EXPECT_TRUE(runner.Failures().empty());
    ASSERT_EQ(dlg->Records().RecordBuildState, 2);

    ASSERT_TRUE(tickUntil([&] { return dlg->LinkState() == 2; }));
    ASSERT_TRUE(tickUntil([&] {
        return dlg->GetDlgItemText(IDC_PROGRESS_TEXT).section(QLatin1Char(' '), 0, 0).toInt() >= 20;
    }));
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDC_SETUP); // "Stop"
    ASSERT_TRUE(tickUntil([&] { return dlg->IsEnded(); }));
    const QString path = g_strReportPath;
    dlg.reset();

    EXPECT_TRUE(
        path.endsWith(QStringLiteral("/DL Job J-9 Joint 12 by Lee on 2026-12-06 at 09-30-00.kjr")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray report = file.readAll();
    // What the pages stored went to the Vantrek and came back in the report.
    for (const char* text : {"M-22", "#Q70 MF", "6.010", "Lee", "J-9", "EXEL", "30 psi", "271",
                             "126", "425 °F", "430 °F", "Cold day"}) {
        EXPECT_TRUE(report.contains(FileField(QString::fromUtf8(text)))) << text;
    }
}
