// The wizard over a Log/Status window that is not running: pages are answered
// by a scripted runner, message boxes by a scripted prompter, and the Vantrek
// is a pseudo-terminal whose status replies the window handles as its timer
// would under the pages.
#include "setup/SetupWizard.h"
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "link/PtyVantrek.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "setup/ConfirmNextJointDlg.h"
#include "setup/DragPressurePage.h"
#include "setup/FittingPage.h"
#include "setup/HeaterTempPage.h"
#include "setup/JointRecord.h"
#include "setup/MachinePage.h"
#include "setup/NotesPage.h"
#include "setup/OperatorPage.h"
#include "setup/PipePage.h"
#include "setup/ReadyToLogPage.h"
#include "setup/RecPressuresPage.h"
#include "setup/Resource.h"
#include "setup/SidewallParamsPage.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

namespace {
// Status replies: idle, and logging, both with a heater temperature of 430 °F
// that may be logged.
const QByteArray kIdle("Pw01L0r    0e0:00:00s0:00:00p0000t430f1b 87i00042KVTQ v2.1.4 20240115");
const QByteArray kLogging("Pw01L1r  123e0:01:05s0:12:34p1150t430f1b 87i00042KVTQ v2.1.4 20240115");

using Pages = std::vector<int>;

void Choose(CDialog& page, int id, int index) {
    page.SetCurSel(id, index);
    page.OnSelChange(id);
}

// 8" IPS, DR 11: a pipe the Pipe page accepts.
void FillPipe(CDialog& page) {
    Choose(page, IDC_MATERIAL_LIST, 19);
    page.SetDlgItemText(IDC_PIPE_SIZE, QStringLiteral("8"));
    page.SetDlgItemText(IDC_WALL_THICKNESS, QStringLiteral("11"));
    page.SetDlgItemText(IDC_HEAT_IFP, QStringLiteral("75"));
    page.SetDlgItemText(IDC_SOAK_IFP, QStringLiteral("30"));
    page.SetDlgItemText(IDC_FUSE_IFP, QStringLiteral("75"));
    page.SetDlgItemText(IDC_COOL_IFP, QStringLiteral("75"));
}

void FillDrag(CDialog& page) {
    page.SetDlgItemText(IDC_DRAG_PRESSURE, QStringLiteral("30"));
}

class SetupWizard : public ::testing::Test {
protected:
    void SetUp() override {
        LoadJointSetupLists();
        ASSERT_TRUE(vantrek.Ok());
        ASSERT_TRUE(session.Records().Allocate());
        g_strReportPath = QStringLiteral("last.kjr");
    }

    void ConnectSession() {
        session.Connect();
        ASSERT_EQ(session.LinkState(), 1);
    }

    // The window's timer ticks under the open page: it polls, and the
    // Vantrek's reply is handled on the next tick.
    void Reply(const QByteArray& line) {
        session.RunStepMachine();
        ASSERT_TRUE(vantrek.Deliver(line + "\r\n"));
        session.RunStepMachine();
    }

    template <class Page> void Next(std::function<void(Page&)> fill = {}) {
        runner.Then<Page>([fill](Page& page) {
            if (fill)
                fill(page);
            page.ClickDlgItem(IDOK);
        });
    }
    template <class Page> void Back(std::function<void(Page&)> fill = {}) {
        runner.Then<Page>([fill](Page& page) {
            if (fill)
                fill(page);
            page.ClickDlgItem(IDCANCEL);
        });
    }
    // The page is open while the wizard is at `step`.
    template <class Page> std::function<void(Page&)> AtStep(int step) {
        return [this, step](Page&) { EXPECT_EQ(session.m_nPage, step); };
    }

    void ExpectNothingBuilt() {
        EXPECT_EQ(session.Records().RecordBuildState, 0);
        EXPECT_EQ(session.m_nPage, -1);
        EXPECT_EQ(g_strReportPath, QStringLiteral("last.kjr"));
    }

    PtyVantrek vantrek{5}; // the default port, COM6
    CLogStatusDlg session{nullptr};
    ScriptedPrompter prompter;
    ScriptedRunner runner;
};

QString Text(const QString& name) {
    return ReadLogText(name, QStringLiteral("<absent>"));
}

QByteArray SettingsFile() {
    QFile file(SettingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST_F(SetupWizard, ButtFusionOnAListedHydraulicModelStartsLogging) {
    Next<CMachinePage>([this](CMachinePage& page) {
        EXPECT_EQ(session.m_nPage, 0);
        Choose(page, IDC_MODEL_LIST, 5); // #Q70 MF
    });
    Next<COperatorPage>([](COperatorPage& page) {
        page.SetDlgItemText(IDC_EMPLOYEE_ID, QStringLiteral("7"));
        page.SetDlgItemText(IDC_JOB_NUMBER, QStringLiteral("J1"));
        page.SetDlgItemText(IDC_JOINT_NUMBER, QStringLiteral("12"));
    });
    Next<CPipePage>(FillPipe);
    Next<CNotesPage>(
        [](CNotesPage& page) { page.SetDlgItemText(IDC_NOTES, QStringLiteral("good")); });
    // Accepts the default drag pressure: the first press fills it in.
    Next<CDragPressurePage>([this](CDragPressurePage& page) {
        EXPECT_EQ(session.LinkState(), 1); // connected at the offer
        page.ClickDlgItem(IDOK);
    });
    Next<CRecPressuresPage>([](CRecPressuresPage& page) {
        EXPECT_EQ(page.GetDlgItemText(IDC_REC_PRESSURE_VALUES),
                  QStringLiteral("271\n126\n271\n271"));
    });
    Next<CHeaterTempPage>([this](CHeaterTempPage& page) {
        EXPECT_EQ(session.m_nPage, 7);
        Reply(kIdle);
        EXPECT_EQ(session.LoggedTemp(), QStringLiteral("430 °F"));
        page.SetDlgItemText(IDC_HEATER_TEMP, QStringLiteral("425"));
    });
    Next<CReadyToLogPage>([](CReadyToLogPage& page) {
        EXPECT_EQ(page.GetDlgItemText(IDC_LOGGED_TEMP), QStringLiteral("Logged 430 °F"));
    });
    prompter.Answer(IDYES);

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(), (Pages{136, 134, 138, 167, 153, 164, 162, 163}));
    EXPECT_TRUE(runner.Failures().empty());
    ASSERT_EQ(prompter.Shown().size(), 1u); // no offer once connected
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Connect to Vantrek®?  (Please make sure it is turned on)"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Vantrek® Not Connected"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_YESNO | MB_ICONQUESTION);

    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("#Q70 MF"));
    EXPECT_EQ(Text(LogData::kPistonArea), QStringLiteral("6.010"));
    EXPECT_EQ(Text(LogData::kEmployeeId), QStringLiteral("7"));
    EXPECT_EQ(ReadLogInt(LogData::kJointNumber), 12);
    EXPECT_EQ(Text(LogData::kPipeAreaInch), QStringLiteral("19.314511"));
    EXPECT_EQ(Text(LogData::kPipeMaterialText), QStringLiteral("PE 4710"));
    EXPECT_EQ(Text(LogData::kNotes), QStringLiteral("good"));
    EXPECT_EQ(Text(LogData::kDragPressure), QStringLiteral("30 psi"));
    EXPECT_EQ(Text(LogData::kRecHeat), QStringLiteral("271"));
    EXPECT_EQ(Text(LogData::kHtrTemp), QStringLiteral("430 °F"));
    EXPECT_EQ(Text(LogData::kExtHtrTemp), QStringLiteral("425 °F"));

    // The joint information waits in the command buffer for the next reply.
    EXPECT_EQ(session.m_nPage, 9);
    EXPECT_EQ(session.Records().RecordBuildState, 2);
    EXPECT_TRUE(session.Records().Text().startsWith("Wp02:"));
    EXPECT_TRUE(session.Records().Text().endsWith("eom\r\n"));
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_EQ(session.LoggedTemp(), QString());
}

TEST_F(SetupWizard, SidewallFusionWalksTheFittingPagesAndNeedsTheProbe) {
    Next<CMachinePage>([](CMachinePage& page) {
        Choose(page, IDC_MODEL_LIST, 5);
        page.ClickDlgItem(IDC_SIDEWALL_FUSION);
    });
    Next<COperatorPage>();
    Next<CFittingPage>([](CFittingPage& page) {
        EXPECT_TRUE(page.IsDlgItemVisible(IDC_CALCULATE_PRESSURES));
        page.ClickDlgItem(IDC_CALCULATE_PRESSURES);
    });
    Next<CSidewallParamsPage>([](CSidewallParamsPage& page) {
        EXPECT_TRUE(page.IsDlgItemVisible(IDC_BASE_GROUP));
        page.SetDlgItemText(IDC_BASE_VALUE_1, QStringLiteral("2"));
        page.SetDlgItemText(IDC_BASE_VALUE_2, QStringLiteral("0.25"));
    });
    Next<CNotesPage>();
    Next<CDragPressurePage>(FillDrag);
    Next<CRecPressuresPage>();
    Next<CHeaterTempPage>();
    prompter.Answer(IDNO);
    prompter.Answer(IDNO);

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(), (Pages{136, 134, 165, 183, 167, 153, 164, 162}));
    EXPECT_TRUE(runner.Failures().empty());
    ASSERT_EQ(prompter.Shown().size(), 3u); // two offers, then the refusal
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Vantrek® Not Connected"));
    EXPECT_EQ(prompter.Shown()[2].text, QStringLiteral("Probe not connected!"));
    EXPECT_EQ(prompter.Shown()[2].caption, QStringLiteral("Cannot Proceed!"));
    EXPECT_EQ(prompter.Shown()[2].type & MB_ICONMASK, MB_ICONSTOP);
    ExpectNothingBuilt();
    // What the pages stored stays for the next try.
    EXPECT_EQ(Text(LogData::kMachineModelText), QStringLiteral("#Q70 MF SW"));
    EXPECT_EQ(ReadLogInt(LogData::kFittingForceOrCalc), 1);
    EXPECT_EQ(Text(LogData::kFittingWallThickness), QStringLiteral("0.25"));
    EXPECT_EQ(Text(LogData::kRecCool), QStringLiteral("-----"));
    EXPECT_EQ(Text(LogData::kHtrTemp), QStringLiteral("---"));
}

TEST_F(SetupWizard, TarvexMechSkipsDragPressureAndBacksToNotes) {
    ConnectSession();
    Next<CMachinePage>([](CMachinePage& page) {
        Choose(page, IDC_MODEL_LIST, 42);
        EXPECT_FALSE(page.IsDlgItemEnabled(IDC_SIDEWALL_FUSION));
    });
    Next<COperatorPage>();
    Next<CFittingPage>(
        [](CFittingPage& page) { EXPECT_FALSE(page.IsDlgItemVisible(IDC_ENTER_FORCES)); });
    Next<CSidewallParamsPage>([](CSidewallParamsPage& page) {
        page.SetDlgItemText(IDC_BEAD_FORCE, QStringLiteral("1200"));
        page.SetDlgItemText(IDC_FUSE_FORCE, QStringLiteral("800"));
    });
    Next<CNotesPage>();
    Back<CRecPressuresPage>([](CRecPressuresPage& page) {
        EXPECT_EQ(page.GetDlgItemText(IDC_REC_PRESSURE_VALUES),
                  QStringLiteral("1200\n-----\n800\n-----"));
    });
    Next<CNotesPage>();
    Next<CRecPressuresPage>();
    Back<CHeaterTempPage>();
    Next<CNotesPage>();
    Next<CRecPressuresPage>();
    Next<CHeaterTempPage>();
    Next<CReadyToLogPage>();

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(),
              (Pages{136, 134, 165, 183, 167, 164, 167, 164, 162, 167, 164, 162, 163}));
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_TRUE(prompter.Shown().empty());
    EXPECT_EQ(g_strMachineModel, QStringLiteral("Tarvex Mech."));
    EXPECT_EQ(Text(LogData::kFittingHeatPressure), QStringLiteral("1200"));
    EXPECT_EQ(Text(LogData::kRecHeat), QStringLiteral("1200"));
    EXPECT_EQ(Text(LogData::kRecFuse), QStringLiteral("800"));
    EXPECT_EQ(session.Records().RecordBuildState, 2);
}

TEST_F(SetupWizard, ReusedDataOpenTheNotesAndBackWritesNothing) {
    WriteLogInt(LogData::kParameterEntered, 1);
    WriteLogInt(LogData::kJointNumber, 12);
    WriteLogText(LogData::kMachineModelText, QStringLiteral("#Q70 MF"));
    WriteLogInt(LogData::kMachineModelInx, 5);
    for (const int sidewall : {0, 1}) {
        WriteLogInt(LogData::kDoSidewallFusion, sidewall);
        const QByteArray before = SettingsFile();
        ScriptedRunner walk;
        walk.Then<CConfirmNextJointDlg>([](CConfirmNextJointDlg& dlg) {
            EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Use these data for next joint?"));
            EXPECT_TRUE(dlg.GetDlgItemText(IDC_JOINT_SUMMARY)
                            .contains(QStringLiteral(" 2. Joint Number: 12\n")));
            dlg.ClickDlgItem(IDOK);
        });
        // Each page is changed, then left with "<< Back".
        walk.Then<CNotesPage>([](CNotesPage& page) {
            page.SetDlgItemText(IDC_NOTES, QStringLiteral("changed"));
            page.ClickDlgItem(IDCANCEL);
        });
        if (sidewall) {
            walk.Then<CSidewallParamsPage>([](CSidewallParamsPage& page) {
                page.SetDlgItemText(IDC_BEAD_FORCE, QStringLiteral("1"));
                page.ClickDlgItem(IDCANCEL);
            });
            walk.Then<CFittingPage>([](CFittingPage& page) {
                page.SetDlgItemText(IDC_FITTING_MAIN_SIZE, QStringLiteral("1"));
                page.ClickDlgItem(IDCANCEL);
            });
        } else {
            walk.Then<CPipePage>([](CPipePage& page) {
                FillPipe(page);
                page.ClickDlgItem(IDCANCEL);
            });
        }
        walk.Then<COperatorPage>([](COperatorPage& page) {
            page.SetDlgItemText(IDC_EMPLOYEE_ID, QStringLiteral("someone"));
            page.ClickDlgItem(IDCANCEL);
        });
        walk.Then<CMachinePage>([](CMachinePage& page) {
            Choose(page, IDC_MODEL_LIST, 3);
            page.ClickDlgItem(IDCANCEL);
        });

        RunSetupWizard(session);

        EXPECT_EQ(walk.Run(), sidewall ? (Pages{184, 167, 183, 165, 134, 136})
                                       : (Pages{184, 167, 138, 134, 136}));
        EXPECT_TRUE(walk.Failures().empty());
        EXPECT_EQ(SettingsFile(), before) << sidewall;
        ExpectNothingBuilt();
    }
}

TEST_F(SetupWizard, NoStartsAfreshAndCancelLeaves) {
    WriteLogInt(LogData::kParameterEntered, 1);
    runner.Then<CConfirmNextJointDlg>(
        [](CConfirmNextJointDlg& dlg) { dlg.ClickDlgItem(IDCANCEL); });
    RunSetupWizard(session);
    EXPECT_EQ(runner.Run(), (Pages{184}));
    EXPECT_EQ(ReadLogInt(LogData::kParameterEntered), 1);
    ExpectNothingBuilt();

    runner.Then<CConfirmNextJointDlg>(
        [](CConfirmNextJointDlg& dlg) { dlg.ClickDlgItem(IDC_CONFIRM_NO); });
    Back<CMachinePage>();
    RunSetupWizard(session);
    EXPECT_EQ(runner.Run(), (Pages{184, 184, 136}));
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_EQ(ReadLogInt(LogData::kParameterEntered), 0);
    ExpectNothingBuilt();

    // Without a joint set up before, "Setup..." opens the Machine page at once.
    Back<CMachinePage>();
    RunSetupWizard(session);
    EXPECT_EQ(runner.Run(), (Pages{184, 184, 136, 136}));
}

TEST_F(SetupWizard, BackFromEveryPageOfThePipePath) {
    ConnectSession();
    Reply(kIdle);
    EXPECT_NE(session.VantrekId(), QByteArray("------"));
    Next<CMachinePage>(AtStep<CMachinePage>(0));
    Back<COperatorPage>(AtStep<COperatorPage>(1));
    Next<CMachinePage>();
    Next<COperatorPage>();
    Back<CPipePage>([this](CPipePage& page) {
        EXPECT_EQ(session.m_nPage, 2);
        FillPipe(page);
    });
    Next<COperatorPage>();
    Next<CPipePage>(FillPipe);
    Back<CNotesPage>(AtStep<CNotesPage>(4));
    Next<CPipePage>(); // the pipe stored by the last "Next >>"
    Next<CNotesPage>();
    Back<CDragPressurePage>([this](CDragPressurePage& page) {
        EXPECT_EQ(session.m_nPage, 5);
        // The identification is sent again only once the Vantrek answers anew.
        EXPECT_EQ(session.VantrekId(), QByteArray("------"));
        FillDrag(page);
    });
    Next<CNotesPage>();
    Next<CDragPressurePage>(FillDrag);
    Back<CRecPressuresPage>(AtStep<CRecPressuresPage>(6));
    Next<CDragPressurePage>(FillDrag);
    Next<CRecPressuresPage>();
    Back<CHeaterTempPage>(AtStep<CHeaterTempPage>(7));
    Next<CRecPressuresPage>();
    Next<CHeaterTempPage>();
    Back<CReadyToLogPage>(AtStep<CReadyToLogPage>(8));
    Next<CHeaterTempPage>();
    runner.Then<CReadyToLogPage>(
        [](CReadyToLogPage& page) { page.ClickDlgItem(IDC_READY_CANCEL); });

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(), (Pages{136, 134, 136, 134, 138, 134, 138, 167, 138, 167, 153,
                                   167, 153, 164, 153, 164, 162, 164, 162, 163, 162, 163}));
    EXPECT_TRUE(runner.Failures().empty());
    EXPECT_TRUE(prompter.Shown().empty());
    ExpectNothingBuilt();
    EXPECT_EQ(Text(LogData::kHtrTemp), QStringLiteral("---"));
}

TEST_F(SetupWizard, LoggingInProgressRefusesANewJoint) {
    ConnectSession();
    Reply(kLogging);
    ASSERT_EQ(session.LinkState(), 2);
    WriteLogInt(LogData::kParameterEntered, 1);
    runner.Then<CConfirmNextJointDlg>([](CConfirmNextJointDlg& dlg) { dlg.ClickDlgItem(IDOK); });
    Next<CNotesPage>();
    Next<CDragPressurePage>(FillDrag);
    Next<CRecPressuresPage>();
    Next<CHeaterTempPage>();

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(), (Pages{184, 167, 153, 164, 162}));
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Logging in progress.  Cannot start new log!"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Logging..."));
    EXPECT_EQ(prompter.Shown()[0].type & MB_ICONMASK, MB_ICONEXCLAMATION);
    ExpectNothingBuilt();
}

TEST_F(SetupWizard, EndsWhenTheWindowClosesUnderAPage) {
    ConnectSession();
    Next<CMachinePage>();
    // A finished report was downloaded under the page, which closes the window.
    Next<COperatorPage>([this](COperatorPage&) { session.EndDialog(IDOK); });

    RunSetupWizard(session);

    EXPECT_EQ(runner.Run(), (Pages{136, 134}));
    EXPECT_TRUE(runner.Failures().empty());
    ExpectNothingBuilt();
}
