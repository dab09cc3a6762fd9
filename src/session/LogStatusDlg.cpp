#include "session/LogStatusDlg.h"

#include "framework/FitText.h"
#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Resources.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "link/Link.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "session/ReportPlacing.h"
#include "session/ReportStorage.h"
#include "session/Resource.h"
#include "setup/GaugePressure.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/NumberText.h"
#include "setup/SetupWizard.h"
#include "setup/Units.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>
#include <cstring>

namespace {
constexpr int kTimer = 1;
constexpr int kFirstTick = 100;
constexpr int kTick = 300;
// Ticks without a handled reply before the link is restarted, reset and
// reopened.
constexpr int kRestartTicks = 5;
// Silent ticks between the watchdog's repeats of a download request.
constexpr int kResendTicks = 3;
constexpr int kShowTicks = 6;
constexpr int kResetTicks = 30;
constexpr int kReconnectTicks = 45;
constexpr int kLoggedTempPage = 7;
constexpr int kMaxVantrekId = 31;
constexpr int kRecValuesGap = 3; // pixels
constexpr int kBannerGap = 4;    // pixels

const QString kDemoMode = QStringLiteral("Demo Mode");
const QString kDemoPsiInx = QStringLiteral("Demo PSI Inx");
const QString kComPort = QStringLiteral("COM Port");

int DemoMode() {
    return ReadSettingInt(kKeySettings, kDemoMode, 0);
}

// The acknowledgements of the three upload records begin with these.
const char* const kAckHeads[] = {"Pw02", "Pw03", "Pw04"};
// Times a joint goes out whole before the operator is told it was not taken.
constexpr int kMaxJointSends = 3;

// Any line acknowledges an uploaded record, except one with the record's
// head that says the Vantrek refused it.
bool IsRefusal(const QByteArray& line, const char* head) {
    return line.startsWith(head) && line.mid(4).toUpper().contains("ERR");
}

// A status reply, whole or damaged.
bool IsStatusLine(const QByteArray& line) {
    return line.startsWith(kReplyStatus) && line.size() > 42;
}

// The demonstration banner takes the top row right of the temperature offset
// text (the whole row when there is none) up to the window's edge, its words
// centred on what is shown: the offset reminder stays in sight in
// demonstration mode.
void PlaceDemoBanner(CDialog& dlg) {
    auto* banner = qobject_cast<QLabel*>(dlg.GetDlgItem(IDC_DEMO_BANNER));
    auto* offset = qobject_cast<QLabel*>(dlg.GetDlgItem(IDC_TEMP_OFFSET_TEXT));
    if (!banner || !offset)
        return;
    int left = banner->x();
    if (!offset->text().isEmpty())
        left = std::max(left, offset->x() + offset->contentsRect().left() +
                                  QFontMetrics(offset->font()).horizontalAdvance(offset->text()) +
                                  kBannerGap);
    const int width = std::min(banner->geometry().right() + 1, dlg.width()) - left;
    banner->setGeometry(left, banner->y(), width, banner->height());
    banner->setPixmap(DemoBannerPixmap(width));
}

// Shows the wait cursor for as long as it lives.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

const DlgTemplate& CLogStatusDlg::Template140() {
    static const DlgTemplate tmpl{
        IDD_LOG_STATUS,
        "Log/Status",
        13,
        17,
        134,
        140,
        {
            {IDC_TEMP_OFFSET_TEXT, Ctl::Static, "Temp offset", 2, 0, 71, 8},
            {IDC_TEMP_FRAME, Ctl::Group, "°F", 6, 8, 58, 29},
            {IDC_TEMP_VALUE, Ctl::Static, "400", 10, 16, 49, 16, Style::Right},
            {IDC_PRESS_FRAME, Ctl::Group, "Kg/cm²", 70, 8, 58, 29},
            {IDC_PRESS_VALUE, Ctl::Static, "999.9", 72, 16, 49, 16, Style::Right},
            {IDC_BATTERY_SYMBOL, Ctl::Bitmap, "#142", 68, 10, 7, 10},
            {IDC_REC_FRAME, Ctl::Group, "", 6, 8, 58, 47},
            {IDC_REC_LABELS, Ctl::Static, "Bead:\nSoak:\nFuse:\nCool:", 14, 17, 21, 33},
            // Values reach to the panel's frame (22 units would end 7 short of
            // it), so that "71.030" fits beside its label in the dialog font.
            {IDC_REC_VALUES, Ctl::Static, "700\n30\n700\n700", 35, 17, 27, 33, Style::Right},
            {IDC_VERSION_TEXT, Ctl::Static, "Probe Version Number", 6, 39, 58, 19, Style::Center},
            {IDC_CONNECT, Ctl::Button, "Connect", 81, 41, 38, 14},
            {IDC_DEMO_BANNER, Ctl::Bitmap, "#168", 0, 0, 156, 7},
            {IDC_STATUS_FRAME, Ctl::Group, "Status", 7, 61, 120, 40},
            {IDC_SETUP, Ctl::Button, "Setup...", 11, 77, 36, 14},
            {IDC_PROGRESS_TEXT, Ctl::Static, "99999 records\n\nElasped: 0:00:00", 50, 72, 73, 26},
            {IDC_STOPWATCH_FRAME, Ctl::Group, "Stopwatch", 7, 103, 120, 34},
            {IDC_STOPWATCH, Ctl::Static, "0:00:00", 12, 113, 70, 16},
            {IDC_STOPWATCH_RESET, Ctl::Button, "Reset", 87, 115, 36, 14},
            {IDOK, Ctl::DefButton, "OK", 115, 56, 18, 10, Style::Hidden},
            {IDCANCEL, Ctl::Button, "x", 0, 59, 13, 9, Style::Hidden},
        },
        "System",
        8};
    return tmpl;
}

CLogStatusDlg::CLogStatusDlg(QWidget* parent) : CSetupPageDlg(Template140(), parent) {
    m_font = QFont(QStringLiteral("Tahoma"));
    m_font.setPixelSize(25);
    m_font.setWeight(QFont::Bold);
    m_font.setStyleHint(QFont::SansSerif);
    LoadUnitSettings();
}

CLogStatusDlg::~CLogStatusDlg() {
    KillTimer(kTimer);
    // However the window ends, the port is closed and a report that was being
    // downloaded is completed and kept.
    Disconnect();
    FinishDownload(CReportDownload::End::Closing, false);
    m_records.Free();
}

bool CLogStatusDlg::OnInitDialog() {
    m_nIdleTicks = 0;
    m_nLinkState = 0;
    m_nVantrekBattery = 100;
    m_bPolling = true;
    ShowDlgItem(IDC_DEMO_BANNER, false);
    m_strLoggedTemp.clear();
    SetDlgItemText(IDC_PRESS_FRAME, g_strPressUnit);
    SetDlgItemText(IDC_TEMP_FRAME, g_strTempUnit);
    SetDlgItemText(IDC_TEMP_VALUE, QString());
    SetDlgItemText(IDC_PRESS_VALUE, QString());
    SetDlgItemText(IDC_TEMP_OFFSET_TEXT, TempOffsetText());
    PlaceDemoBanner(*this);
    // Readings are drawn smaller rather than lose a digit at the edge.
    for (int id : {IDC_PRESS_VALUE, IDC_TEMP_VALUE, IDC_STOPWATCH})
        FitLabelText(qobject_cast<QLabel*>(GetDlgItem(id)), m_font);
    if (auto* values = qobject_cast<QLabel*>(GetDlgItem(IDC_REC_VALUES))) {
        // A gap keeps the longest value apart from its label.
        values->setContentsMargins(kRecValuesGap, 0, 0, 0);
        FitLabelText(values, DialogFont());
    }
    // The recommended pressures panel shares the temperature frame's place and
    // covers it while it is shown, the strip above its frame line too, where
    // the temperature frame has its caption.
    if (QWidget* panel = GetDlgItem(IDC_REC_FRAME))
        panel->setStyleSheet(QStringLiteral(
            "QGroupBox { background-color: palette(window); background-clip: margin; }"));
    for (int id : {IDC_REC_FRAME, IDC_REC_LABELS, IDC_REC_VALUES})
        if (QWidget* w = GetDlgItem(id))
            w->raise();
    ShowReady();
    m_strVersionText.clear();
    SetDlgItemText(IDC_VERSION_TEXT, QString());
    m_nLogRequest = 0;
    m_bStopwatchReset = false;
    if (!m_records.Allocate())
        MessageBox(LoadString(IDS_NO_COMMAND_BUFFER), LoadString(IDS_ERROR), MB_OK | MB_ICONERROR);
    m_nPage = 0;
    ShowDlgItem(IDC_BATTERY_SYMBOL, false);
    // What a download cut off by a killed run left is put in place.
    RecoverStaleDownloads();
    if (ReadSettingInt(kKeySettings, kComPort, 5) == 0)
        Connect();
    SetTimer(kTimer, kFirstTick);
    return true;
}

void CLogStatusDlg::OnTimer(int id) {
    if (id != kTimer)
        return;
    // Stopped during the tick, so that a message box shown inside it cannot
    // start another.
    KillTimer(kTimer);
    RunStepMachine();
    UpdateTitle();
    ShowDlgItem(IDC_DEMO_BANNER, DemoMode() == 1);
    UpdateStatusCaption();
    if (m_bPolling && !IsEnded())
        SetTimer(kTimer, kTick);
}

void CLogStatusDlg::UpdateTitle() {
    QString battery = LoadString(IDS_BATTERY_UNKNOWN);
    QString charge;
    if (const std::optional<PowerStatus> power = ReadPowerStatus()) {
        if (power->batteryPercent >= 0 && power->batteryPercent <= 100)
            battery = Format(LoadString(IDS_BATTERY_FMT), {power->batteryPercent});
        if (power->charging)
            charge = LoadString(IDS_CHARGING);
        else if (power->acOnline)
            charge = LoadString(IDS_ON_AC);
    }
    setWindowTitle(QStringLiteral("Log/Status ") + battery + charge);
}

void CLogStatusDlg::UpdateStatusCaption() {
    const int n = m_nIdleTicks;
    QString caption;
    if (n < kShowTicks) {
        caption = m_strStatus;
    } else if (n < kResetTicks) {
        caption = m_strStatus + Format(QStringLiteral(" (bt:%d)"), {n});
    } else if (n == kResetTicks) {
        SetDlgItemText(IDC_STATUS_FRAME, QStringLiteral("Resetting Connection..."));
        LinkClose();
        m_exchange.ResetPort();
    } else if (n < kReconnectTicks) {
        caption = Format(QStringLiteral("Reconnect in %d seconds..."), {(kReconnectTicks - n) / 3});
    } else if (n == kReconnectTicks) {
        Connect();
    }
    SetDlgItemText(IDC_STATUS_FRAME, caption);
}

void CLogStatusDlg::RunStepMachine() {
    ++m_nIdleTicks;
    if (m_nLinkState == 0) {
        m_nIdleTicks = 0;
        return;
    }
    ResetIdleTimer();
    const bool gotLine = ReadReplyLine(m_line);
    const QByteArray line = gotLine ? m_line.Text() : QByteArray();
    // Not while a line may still be on its way.
    const bool quiet = !gotLine && !m_line.Receiving();
    bool unexpected = false;

    switch (m_exchange.OnTick(gotLine, line, quiet)) {
    case CRequestExchange::TickUse::Held:
        break;
    case CRequestExchange::TickUse::Surplus: {
        // Shown, never answered: its poll has been answered already.
        StatusReply reply;
        if (IsCleanStatusReply(line) && DecodeStatusReply(line, reply))
            HandleStatusReply(reply, false);
        break;
    }
    case CRequestExchange::TickUse::Free:
        switch (m_nStep) {
        case 0:
            if (!m_bVantrekHasReport)
                EnableDlgItem(IDC_SETUP, true);
            // A reply here ends a silence: it is not looked at, but it
            // answers one of the polls that went out meanwhile.
            if (m_exchange.Awaits(kReplyStatus) && line.startsWith(kReplyStatus))
                m_exchange.Answered(line);
            SendStatusPoll();
            m_nStep = 1;
            break;
        case 1:
            if (gotLine)
                unexpected = !HandleStep1(line);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            if (gotLine)
                HandleDownloadLine(line);
            break;
        case 7:
        case 8:
        case 9:
            if (gotLine)
                HandleUploadLine(line);
            break;
        default:
            break;
        }
        break;
    }

    // The watchdog acts only on a tick that brought no line, so it never
    // throws away an exchange that is alive: the reply that ends a silence
    // is answered by exactly one command. During a download its fresh command
    // is the request that went unanswered, so a late answer is still taken;
    // only when that too stays unanswered does the attempt start over.
    const int silent = m_nIdleTicks - kRestartTicks;
    if (!gotLine && silent > 0 && !IsEnded()) {
        if (!Downloading()) {
            // An upload cut off here may never have reached the Vantrek.
            if (m_nStep >= 7)
                m_bUploadUnconfirmed = true;
            Restart();
        } else if ((silent - 1) % kResendTicks == 0) {
            if (m_exchange.Resend())
                ClearReadings();
            else
                Restart();
        }
    }
    if (unexpected) {
        Restart();
    } else if (gotLine) {
        UpdateBatteryWarning();
        m_nIdleTicks = 0;
    }
}

bool CLogStatusDlg::HandleStep1(const QByteArray& line) {
    const bool awaitingReport = m_exchange.Awaits(kReplyJointInfo);
    if (awaitingReport || CReportDownload::IsReportStart(line)) {
        if (!awaitingReport)
            m_download.BeginAttempt(); // a report's first block, however late
        switch (m_download.Offer(CReportDownload::Part::JointInfo, line, false)) {
        case CReportDownload::Verdict::Taken:
            m_exchange.Answered(line);
            BeginReport();
            return true;
        case CReportDownload::Verdict::Damaged:
            // Asked for again; after the repeats the attempt starts over.
            return m_exchange.Damaged();
        default:
            // Only the report's first block can answer "Wp2R"; anything else
            // now is a stray and is dropped.
            EndAttemptIfNotOffered(line);
            return true;
        }
    }
    if (!IsStatusLine(line))
        return false;
    m_exchange.Answered(line);
    StatusReply reply;
    if (!IsCleanStatusReply(line) || !DecodeStatusReply(line, reply)) {
        // A damaged reply changes nothing, but it answers the poll.
        SendStatusPoll();
        return true;
    }
    const bool downloading = HandleStatusReply(reply);
    if (m_bUploadUnconfirmed && reply.bLogState)
        CheckUpload(reply);
    if (downloading)
        return true;
    if (m_records.RecordBuildState == CJointRecords::kJointInfoReady) {
        StartUpload();
    } else {
        SendStatusPoll();
        m_download.m_nFailedSaves = 0;
    }
    return true;
}

QString CLogStatusDlg::JointNotTakenMessage() {
    return QStringLiteral("The Vantrek® did not take the joint.\n\nIt is not logging. Please "
                          "set up the joint and start it again.");
}

void CLogStatusDlg::CheckUpload(const StatusReply& reply) {
    m_bUploadUnconfirmed = false;
    if (reply.cLogState == '1' || reply.cLogState == '2') {
        m_nJointSends = 0; // it logs, or has logged, the joint
    } else if (m_nJointSends < kMaxJointSends) {
        // Not logging: the whole joint goes again, rebuilt from the stored
        // setup.
        m_records.BuildJointInfoRecord();
    } else {
        m_nJointSends = 0;
        MessageBox(JointNotTakenMessage(), QString(), MB_OK | MB_ICONEXCLAMATION);
    }
}

void CLogStatusDlg::StartUpload() {
    // A report the Vantrek no longer offers is kept as far as it came before
    // a new joint takes its place.
    if (m_download.IsOpen())
        FinishDownload(CReportDownload::End::Cut, false);
    ++m_nJointSends;
    SendRecord(kAckHeads[0]);
    SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_SETTING_UP_1));
    SetDlgItemText(IDC_PRESS_VALUE, QStringLiteral("--"));
    m_records.BuildNotesRecord();
    WriteLogInt(LogData::kParameterEntered, 1);
    m_download.m_nFailedSaves = 0;
    m_nStep = 7;
}

void CLogStatusDlg::HandleUploadLine(const QByteArray& line) {
    const char* head = kAckHeads[m_nStep - 7];
    if (IsRefusal(line, head)) {
        // Refused: the record goes again. Refused every time, the joint
        // starts over once the Vantrek says it is not logging.
        if (!m_exchange.Damaged()) {
            m_bUploadUnconfirmed = true;
            Restart();
        }
        return;
    }
    m_exchange.Answered(line);
    if (m_nStep == 9) {
        SendStatusPoll();
        if (!m_bVantrekHasReport)
            EnableDlgItem(IDC_SETUP, true);
        m_bUploadUnconfirmed = true;
        m_nStep = 1;
        return;
    }
    SendRecord(kAckHeads[m_nStep - 6]);
    if (m_nStep == 7) {
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_SETTING_UP_2));
        m_records.BuildReserveRecord(m_szVantrekId);
    } else {
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_SETTING_UP_3));
        m_records.RecordBuildState = CJointRecords::kNoRecord;
    }
    ++m_nStep;
}

void CLogStatusDlg::BeginReport() {
    if (m_download.TakeClearQuestion() &&
        MessageBox(LoadString(IDS_DELETE_CORRUPTED_Q), LoadString(IDS_DELETE_CORRUPTED_REPORT),
                   MB_YESNO | MB_ICONERROR) == IDYES)
        LinkPuts(ClearReportCommand());
    SetDlgItemText(IDC_PRESS_VALUE, QStringLiteral("--"));
    EnableDlgItem(IDC_SETUP, false);
    SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_DOWNLOADING_B));
    m_exchange.Request(NotesRequest(), kReplyNotes);
    m_nStep = 2;
}

void CLogStatusDlg::EndAttemptIfNotOffered(const QByteArray& line) {
    StatusReply reply;
    if (!IsStatusLine(line) || !IsCleanStatusReply(line) || !DecodeStatusReply(line, reply) ||
        !reply.bLogState || reply.cLogState == '2')
        return;
    HandleStatusReply(reply, false);
    m_bVantrekHasReport = false;
    m_exchange.Reset();
    m_nStep = 0;
    EndAttempt();
}

void CLogStatusDlg::EndAttempt() {
    if (m_download.EndAttempt())
        FinishDownload(CReportDownload::End::Cut);
}

void CLogStatusDlg::HandleDownloadLine(const QByteArray& line) {
    using Part = CReportDownload::Part;
    using Verdict = CReportDownload::Verdict;
    const Part part = m_nStep == 2   ? Part::Notes
                      : m_nStep == 3 ? Part::Reserve
                      : m_nStep == 4 ? Part::SampleHeader
                                     : Part::DataBlock;
    const int block = m_download.NextBlock();
    Verdict verdict = m_download.Offer(part, line, m_exchange.Confirming());
    const bool clean = verdict != Verdict::Damaged && verdict != Verdict::Suspect;
    switch (verdict) {
    case Verdict::NotAnswer:
        EndAttemptIfNotOffered(line);
        return;
    case Verdict::Damaged:
    case Verdict::Suspect:
        // Asked for again; after the repeats the notes make do with the
        // empty block, a data block cuts the download, and the other parts
        // are waited for.
        if (m_exchange.Damaged(verdict == Verdict::Suspect))
            return;
        verdict = m_download.GiveUp(part);
        if (verdict == Verdict::NotAnswer)
            return;
        break;
    default:
        break;
    }
    if (verdict == Verdict::Cut || m_download.WriteFailed()) {
        m_bPolling = false;
        m_nStep = 6;
        m_exchange.Reset();
        FinishDownload(CReportDownload::End::Cut);
        return;
    }
    m_exchange.Answered(line);
    switch (part) {
    case Part::Notes:
        if (clean)
            SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_DOWNLOADING_C));
        m_exchange.Request(ReserveRequest(), kReplyReserve);
        m_nStep = 3;
        break;
    case Part::Reserve:
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_DOWNLOADING_D));
        m_exchange.Request(SampleHeaderRequest(), kReplySampleHeader);
        m_nStep = 4;
        break;
    case Part::SampleHeader:
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_DOWNLOADING_E));
        // A later attempt at the same report goes on where the last stopped.
        m_exchange.Request(DataBlockRequest(m_download.NextBlock()), kReplyDataBlock);
        m_nStep = 5;
        break;
    case Part::DataBlock:
        SetDlgItemText(IDC_PROGRESS_TEXT, Format(LoadString(IDS_DOWNLOADING_BLOCK_FMT), {block}));
        if (verdict == Verdict::Complete) {
            m_bPolling = false;
            m_nStep = 6;
            m_exchange.Reset();
            FinishDownload(CReportDownload::End::Complete);
            WriteLogInt(LogData::kJointNumber, NextJointNumber());
        } else {
            m_exchange.Request(DataBlockRequest(m_download.NextBlock()), kReplyDataBlock);
        }
        break;
    default:
        break;
    }
}

void CLogStatusDlg::ClearReadings() {
    SetDlgItemText(IDC_TEMP_VALUE, QStringLiteral("---"));
    SetDlgItemText(IDC_PRESS_VALUE, QStringLiteral("---"));
    SetDlgItemText(IDC_PRESS_FRAME, g_strPressUnit);
    ShowDlgItem(IDC_BATTERY_SYMBOL, false);
    SetDlgItemText(IDC_STOPWATCH, QString());
}

void CLogStatusDlg::Restart() {
    ClearReadings();
    FlushInput();
    m_line.Clear();
    // An attempt at the download starts over; unanswered polls stay counted.
    if (Downloading())
        m_exchange.Reset();
    m_nStep = 0;
    if (m_download.InAttempt())
        EndAttempt();
}

bool CLogStatusDlg::Downloading() const {
    return m_exchange.Active() && std::strchr(m_exchange.Head(), ':') != nullptr;
}

void CLogStatusDlg::SendStatusPoll() {
    const int stored = ReadSettingInt(kKeySettings, kDemoPsiInx, 1);
    // Wide enough that a stored index at the integer limit cannot wrap.
    qint64 next = qint64(stored) + (m_bStopwatchReset ? 1 : 0);
    if (next < 1 || next > 4)
        next = 1;
    const int i = int(next);
    const int psi = ReadSettingInt(kKeySettings, Format(QStringLiteral("Demo PSI %d"), {i}), 0);
    if (i != stored)
        WriteSettingInt(kKeySettings, kDemoPsiInx, i);
    // A poll while another is unanswered (the silence polls of the watchdog)
    // is a copy of it: each may still be answered.
    const QByteArray poll =
        StatusPollCommand(m_nLogRequest, m_bStopwatchReset, DemoMode() != 0, psi);
    if (m_exchange.Awaits(kReplyStatus))
        m_exchange.Again(poll);
    else
        m_exchange.Request(poll, kReplyStatus);
    m_nLogRequest = 0;
    m_bStopwatchReset = false;
}

void CLogStatusDlg::SendRecord(const char* head) {
    EnableDlgItem(IDC_SETUP, false);
    if (m_records.HasBuffer())
        m_exchange.Request(m_records.Text(), head);
}

bool CLogStatusDlg::HandleStatusReply(const StatusReply& reply, bool answer) {
    bool reportWaiting = false;
    if (reply.bLogState) {
        if (reply.cLogState == '1' && m_nLogRequest != 2) {
            ShowLogging();
            m_nLinkState = 2;
        } else if (reply.cLogState == '2') {
            if (answer)
                m_bVantrekHasReport = true;
            EnableDlgItem(IDC_SETUP, false);
            SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_DOWNLOADING_A));
            m_nLinkState = 1;
            ShowReady();
            reportWaiting = true;
        } else {
            m_nLinkState = 1;
            ShowReady();
        }
        if (answer && reply.cLogState != '2')
            m_bVantrekHasReport = false;
    }
    if (reply.bBattery)
        m_nVantrekBattery = reply.nBattery;
    if (reply.bIdent) {
        QByteArray id = reply.model;
        id.append(reply.versionDigits, 3);
        id += reply.identRest;
        m_szVantrekId = id.left(kMaxVantrekId);
        m_strVersionText = QString::fromLatin1(reply.model + ' ' + reply.version + " c" +
                                               reply.year + '/' + reply.month + '/' + reply.day);
    } else {
        m_szVantrekId.clear();
        m_strVersionText.clear();
    }
    SetDlgItemText(IDC_VERSION_TEXT, m_strVersionText);

    const int t = reply.nTemperature;
    QString temp;
    if (t == 777)
        temp = QStringLiteral("ERR");
    else if (t == 0)
        temp = QStringLiteral("-0-");
    else
        temp = QString::number((g_nTempUnit != 0 ? (t - 32) * 5 / 9 : t) + ReadTempOffset());
    if (reply.cTempFlag == '1') {
        if (DemoMode() == 1)
            temp = g_nTempUnit != 0 ? QStringLiteral("230") : QStringLiteral("440");
        SetDlgItemText(IDC_TEMP_VALUE, temp);
        m_strLoggedTemp = temp + QLatin1Char(' ') + g_strTempUnit;
    } else {
        SetDlgItemText(IDC_TEMP_VALUE, QStringLiteral("---"));
    }
    if (m_nPage != kLoggedTempPage)
        m_strLoggedTemp.clear();
    // While a temperature can be logged the caption alternates with the unit,
    // so that the operator sees it is being taken.
    if (m_nPage == kLoggedTempPage && !m_strLoggedTemp.isEmpty() &&
        GetDlgItemText(IDC_TEMP_FRAME) == g_strTempUnit)
        SetDlgItemText(IDC_TEMP_FRAME, QStringLiteral("* Log ") + m_strLoggedTemp);
    else
        SetDlgItemText(IDC_TEMP_FRAME, g_strTempUnit);

    if (reply.bPressure)
        SetDlgItemText(IDC_PRESS_VALUE, FormatPressure(reply.nPressure, g_nPressUnit));
    if (reply.bStopwatch)
        SetDlgItemText(IDC_STOPWATCH, QString::fromLatin1(reply.stopwatch));
    if (reply.bProgress && m_nLinkState == 2) {
        QByteArray records = reply.records;
        while (records.startsWith(' '))
            records.remove(0, 1);
        SetDlgItemText(IDC_PROGRESS_TEXT, QString::fromLatin1(records) +
                                              LoadString(IDS_DATA_POINTS_ELAPSED) +
                                              QString::fromLatin1(reply.elapsed));
    }
    if (!answer)
        return false;
    if (reportWaiting) {
        m_download.BeginAttempt();
        m_exchange.Request(JointInfoRequest(), kReplyJointInfo);
    }
    return reportWaiting;
}

void CLogStatusDlg::UpdateBatteryWarning() {
    if (GetDlgItemText(IDC_PRESS_FRAME) != g_strPressUnit) {
        ShowDlgItem(IDC_BATTERY_SYMBOL, false);
        SetDlgItemText(IDC_PRESS_FRAME, g_strPressUnit);
    } else if (m_nVantrekBattery == 20) {
        SetDlgItemText(IDC_PRESS_FRAME, g_strPressUnit + QStringLiteral(" [BAT!]"));
        ShowDlgItem(IDC_BATTERY_SYMBOL, true);
    }
}

void CLogStatusDlg::ShowReady() {
    if (!GetDlgItemText(IDC_STATUS_FRAME).startsWith(QStringLiteral("Ready"))) {
        m_strStatus = LoadString(IDS_READY);
        SetDlgItemText(IDC_STATUS_FRAME, m_strStatus);
        SetDlgItemText(IDC_SETUP, LoadString(IDS_SETUP));
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_TURN_ON_VANTREK));
        for (int id : {IDC_STOPWATCH_FRAME, IDC_STOPWATCH, IDC_STOPWATCH_RESET})
            ShowDlgItem(id, false);
    }
    for (int id : {IDC_REC_FRAME, IDC_REC_VALUES, IDC_REC_LABELS})
        ShowDlgItem(id, false);
}

void CLogStatusDlg::ShowLogging() {
    if (GetDlgItemText(IDC_STATUS_FRAME).startsWith(QStringLiteral("Logging")))
        return;
    m_strStatus = LoadString(IDS_LOGGING);
    SetDlgItemText(IDC_STATUS_FRAME, m_strStatus);
    SetDlgItemText(IDC_SETUP, LoadString(IDS_STOP));
    for (int id : {IDC_STOPWATCH_FRAME, IDC_STOPWATCH, IDC_STOPWATCH_RESET})
        ShowDlgItem(id, true);
    FillRecommendedPressures();
}

void CLogStatusDlg::FillRecommendedPressures() {
    using namespace LogData;
    SetDlgItemText(IDC_REC_LABELS, LoadString(IDS_PRESSURE_LABELS));
    QStringList ifp;
    if (ReadLogInt(kDoSidewallFusion) != 0)
        ifp = {ReadLogText(kRecBeadForceOrIfp), ReadLogText(kRecSoakForceOrIfp),
               ReadLogText(kRecFuseForceOrIfp), kNoPressure};
    else
        ifp = {ReadLogText(kHeatIfp), ReadLogText(kSoakIfp), ReadLogText(kFuseIfp),
               ReadLogText(kCoolIfp)};
    QStringList gauge;
    if (IsTarvexMech()) {
        gauge = {ReadLogText(kFittingHeatPressure), kNoPressure, ReadLogText(kFittingFusePressure),
                 kNoPressure};
    } else {
        for (const QString& text : ifp)
            gauge << CalcGaugePressure(text);
    }
    const QString* recNames[] = {&kRecHeat, &kRecSoak, &kRecFuse, &kRecCool};
    for (int i = 0; i < 4; ++i)
        WriteLogText(*recNames[i], gauge[i]);
    for (int i = 0; i < 4; ++i)
        WriteSettingInt(kKeySettings, Format(QStringLiteral("Demo PSI %d"), {i + 1}),
                        TextToLong(gauge[i]));
    WriteSettingInt(kKeySettings, kDemoPsiInx, 1);
    SetDlgItemText(IDC_REC_VALUES, gauge.join(QLatin1Char('\n')));
    for (int id : {IDC_REC_FRAME, IDC_REC_VALUES, IDC_REC_LABELS})
        ShowDlgItem(id, true);
}

void CLogStatusDlg::Connect() {
    EnableDlgItem(IDC_CONNECT, false);
    m_line.Clear();
    m_exchange.ResetPort();
    m_nLinkState = 0;
    m_nStep = 0;
    m_nIdleTicks = 0;
    WaitCursor wait;
    const int port = ReadSettingInt(kKeySettings, kComPort, 5);
    if (!LinkOpen(port, kLinkBaud)) {
        Disconnect();
        MessageBox(LoadString(IDS_COULD_NOT_CONNECT), LoadString(IDS_ERROR), MB_OK);
    } else {
        m_nLinkState = 1;
        SetDlgItemText(IDC_CONNECT, LoadString(IDS_DISCONNECT));
    }
    if (port == 0) {
        // COM1 connects by itself when the window opens, and only then.
        SetDlgItemText(IDC_CONNECT, QStringLiteral("COM1"));
        EnableDlgItem(IDC_CONNECT, false);
    } else {
        EnableDlgItem(IDC_CONNECT, true);
    }
}

void CLogStatusDlg::Disconnect() {
    m_nStep = 0;
    m_exchange.ResetPort();
    m_nVantrekBattery = 100;
    m_nLinkState = 0;
    SetDlgItemText(IDC_PRESS_FRAME, g_strPressUnit);
    ShowDlgItem(IDC_BATTERY_SYMBOL, false);
    SetDlgItemText(IDC_PRESS_VALUE, QStringLiteral("---"));
    SetDlgItemText(IDC_CONNECT, LoadString(IDS_CONNECT));
    ShowReady();
    LinkClose();
}

void CLogStatusDlg::ResetVantrekId() {
    m_szVantrekId = QByteArrayLiteral("------");
}

void CLogStatusDlg::OnCommand(int id) {
    switch (id) {
    case IDC_CONNECT:
        OnConnectButton();
        break;
    case IDC_SETUP:
        OnSetupButton();
        break;
    case IDC_STOPWATCH_RESET:
        OnResetButton();
        break;
    default:
        CSetupPageDlg::OnCommand(id);
        break;
    }
}

void CLogStatusDlg::OnConnectButton() {
    if (GetDlgItemText(IDC_CONNECT) != LoadString(IDS_CONNECT)) {
        Disconnect();
        return;
    }
    if (MessageBox(LoadString(IDS_CHECK_BLUETOOTH), LoadString(IDS_CHECK_VANTREK),
                   MB_OKCANCEL | MB_ICONINFORMATION) == IDOK)
        Connect();
}

void CLogStatusDlg::OnSetupButton() {
    if (GetDlgItemText(IDC_SETUP) == LoadString(IDS_STOP)) {
        if (MessageBox(LoadString(IDS_CONFIRM_STOP_LOGGING), LoadString(IDS_STOP_LOGGING_Q),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        m_nLogRequest = 2;
        ShowReady();
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_LOGGING_STOPPED));
        EnableDlgItem(IDC_SETUP, false);
        return;
    }
    RunWizard();
}

void CLogStatusDlg::OnResetButton() {
    m_bStopwatchReset = true;
}

void CLogStatusDlg::RunWizard() {
    RunSetupWizard(*this);
}

void CLogStatusDlg::FinishDownload(CReportDownload::End end, bool close) {
    if (m_download.IsOpen()) {
        SetDlgItemText(IDC_PROGRESS_TEXT, LoadString(IDS_SAVING_DATA));
        WaitCursor wait;
        const CReportDownload::Outcome outcome = m_download.Finish(end);
        m_nLogRequest = 0;
        // The window shows what was placed: the report, or what came of it.
        if (outcome.placed) {
            g_strReportPath = outcome.path;
            g_bReportChanged = true;
            g_nSearchPercent = 100;
        } else {
            g_strReportPath.clear();
        }
    }
    if (close && !IsEnded())
        EndDialog(IDCANCEL);
}
