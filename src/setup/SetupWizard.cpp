#include "setup/SetupWizard.h"

#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "report/JointSummary.h"
#include "session/LogStatusDlg.h"
#include "setup/ConfirmNextJointDlg.h"
#include "setup/DragPressurePage.h"
#include "setup/FittingPage.h"
#include "setup/HeaterTempPage.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/MachinePage.h"
#include "setup/NotesPage.h"
#include "setup/OperatorPage.h"
#include "setup/PipePage.h"
#include "setup/ReadyToLogPage.h"
#include "setup/RecPressuresPage.h"
#include "setup/SidewallParamsPage.h"

namespace {
// Steps of the wizard, kept in the window's m_nPage.
enum Step {
    kLeave = -1,
    kMachine = 0,
    kOperator = 1,
    kPipeOrFitting = 2,
    kSidewallParams = 3,
    kNotes = 4,
    kDragPressure = 5,
    kRecPressures = 6,
    kHeaterTemp = 7,
    kReadyToLog = 8,
    kStart = 9,
};

// Runs one page over the window, so that it always stays in front of it;
// true when it closed forward.
template <class Page> bool Forward(CLogStatusDlg& session) {
    Page page(&session);
    return RunModal(page) == IDOK;
}

void OfferConnection(CLogStatusDlg& session) {
    if (session.LinkState() != 0)
        return;
    if (MessageBox(LoadString(IDS_CONNECT_TO_VANTREK_Q), LoadString(IDS_VANTREK_NOT_CONNECTED),
                   MB_YESNO | MB_ICONQUESTION) == IDYES)
        session.Connect();
}

// Logging can start only on a Vantrek that is connected and not logging.
bool CanStartLogging(const CLogStatusDlg& session) {
    if (session.LinkState() == 0) {
        MessageBox(LoadString(IDS_PROBE_NOT_CONNECTED), LoadString(IDS_CANNOT_PROCEED),
                   MB_OK | MB_ICONSTOP);
        return false;
    }
    if (session.LinkState() == 2) {
        MessageBox(LoadString(IDS_LOGGING_IN_PROGRESS), LoadString(IDS_LOGGING),
                   MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

// Runs the page of `step` and returns the step that follows. The machine
// family is looked at every time, so a machine changed on the Machine page
// decides the pages after it.
int RunStep(CLogStatusDlg& session, int step) {
    const bool mechanical = IsTarvexMech();
    const bool fitting = mechanical || ReadLogInt(LogData::kDoSidewallFusion) != 0;
    switch (step) {
    case kMachine:
        return Forward<CMachinePage>(session) ? kOperator : kLeave;
    case kOperator:
        return Forward<COperatorPage>(session) ? kPipeOrFitting : kMachine;
    case kPipeOrFitting:
        if (fitting)
            return Forward<CFittingPage>(session) ? kSidewallParams : kOperator;
        return Forward<CPipePage>(session) ? kNotes : kOperator;
    case kSidewallParams:
        if (!fitting)
            return kPipeOrFitting;
        return Forward<CSidewallParamsPage>(session) ? kNotes : kPipeOrFitting;
    case kNotes:
        if (Forward<CNotesPage>(session))
            return mechanical ? kRecPressures : kDragPressure;
        return fitting ? kSidewallParams : kPipeOrFitting;
    case kDragPressure:
        OfferConnection(session);
        session.ResetVantrekId();
        return Forward<CDragPressurePage>(session) ? kRecPressures : kNotes;
    case kRecPressures:
        if (Forward<CRecPressuresPage>(session))
            return kHeaterTemp;
        return mechanical ? kNotes : kDragPressure;
    case kHeaterTemp: {
        OfferConnection(session);
        const bool forward = Forward<CHeaterTempPage>(session);
        // What the probe logged while the page was open, either way it closed.
        const QString logged = session.LoggedTemp();
        WriteLogText(LogData::kHtrTemp, logged.isEmpty() ? QStringLiteral("---") : logged);
        session.ClearLoggedTemp();
        if (forward)
            return kReadyToLog;
        return mechanical ? kNotes : kRecPressures;
    }
    case kReadyToLog: {
        if (!CanStartLogging(session))
            return kLeave;
        CReadyToLogPage page(&session);
        if (RunModal(page) == IDOK)
            return kStart;
        return page.CancelFlag() ? kLeave : kHeaterTemp;
    }
    default:
        return kLeave;
    }
}
} // namespace

void RunSetupWizard(CLogStatusDlg& session) {
    int step = kMachine;
    session.m_nPage = step;
    if (ReadLogInt(LogData::kParameterEntered) != 0) {
        QString summary;
        AppendJointSummary(summary);
        CConfirmNextJointDlg confirm(LoadString(IDS_USE_DATA_FOR_NEXT_JOINT), summary, &session);
        switch (RunModal(confirm)) {
        case IDYES:
            step = kNotes;
            break;
        case IDNO:
            WriteLogInt(LogData::kParameterEntered, 0);
            break;
        default:
            step = kLeave;
            break;
        }
    }
    while (step != kLeave && step != kStart) {
        // Set before the page opens: the window's timer reads it under the page.
        session.m_nPage = step;
        step = RunStep(session, step);
        // The window polls under the pages and closes itself once it has
        // downloaded a finished report; a joint set up after that could never
        // be sent, so the wizard ends with it.
        if (session.IsEnded())
            step = kLeave;
    }
    session.m_nPage = step;
    if (step == kStart) {
        session.Records().BuildJointInfoRecord();
        // The view shows no report while the new joint is logged.
        g_strReportPath.clear();
    }
    session.ClearLoggedTemp();
}
