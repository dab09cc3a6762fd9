#pragma once
// The Log/Status window: owns the serial link while it is open, polls the
// Vantrek on its timer, shows live pressure, temperature, stopwatch, progress
// and battery, watches the link and reconnects when it goes quiet, runs the
// joint setup wizard, uploads a joint's records and downloads a finished
// joint report.

#include "framework/SetupPageDlg.h"
#include "link/ReplyLine.h"
#include "link/StatusReply.h"
#include "report/JointRecords.h"
#include "session/ReportDownload.h"
#include "session/RequestExchange.h"

#include <QByteArray>
#include <QFont>
#include <QString>

class CLogStatusDlg : public CSetupPageDlg {
public:
    explicit CLogStatusDlg(QWidget* parent);
    ~CLogStatusDlg() override;

    static const DlgTemplate& Template140();
    // What the operator is told when the Vantrek never took a joint sent.
    static QString JointNotTakenMessage();

    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnCommand(int id) override;

    // Button handlers.
    void OnConnectButton();
    void OnSetupButton();
    void OnResetButton();

    // Opens the link on the chosen port; on failure says so and stays
    // disconnected.
    void Connect();
    void Disconnect();

    // What the setup wizard uses of the window.
    int LinkState() const { return m_nLinkState; }
    QString LoggedTemp() const { return m_strLoggedTemp; }
    void ClearLoggedTemp() { m_strLoggedTemp.clear(); }
    void ResetVantrekId();
    QByteArray VantrekId() const { return m_szVantrekId; }
    CJointRecords& Records() { return m_records; }

    // The step machine and its state, public so that the wizard and tests
    // can follow the session exactly.
    void RunStepMachine();
    int m_nPage = 0;
    int Step() const { return m_nStep; }
    int IdleTicks() const { return m_nIdleTicks; }
    bool IsPolling() const { return m_bPolling; }
    const CReportDownload& Download() const { return m_download; }

protected:
    // Runs the joint setup wizard over this window.
    virtual void RunWizard();

private:
    // Shows a status reply. When it is taken as the answer to a poll and
    // announces a finished report, an attempt at the download begins: true
    // then.
    bool HandleStatusReply(const StatusReply& reply, bool answer = true);
    // Ends the download: places what came and, unless the window is going
    // anyway or `close` is false, ends the window as after a download.
    void FinishDownload(CReportDownload::End end, bool close = true);
    // Step 1: a status reply, or the report's first block. False for a line
    // that is unexpected there.
    bool HandleStep1(const QByteArray& line);
    // The "Pw02:" block was taken: the notes are asked for.
    void BeginReport();
    // Steps 2 to 5: a line that may answer the download's request.
    void HandleDownloadLine(const QByteArray& line);
    // A line that answers no download request: a clean status reply that
    // says the Vantrek no longer offers the report ends the attempt.
    void EndAttemptIfNotOffered(const QByteArray& line);
    // The attempt at the download ends; after three that brought nothing new
    // the download ends too.
    void EndAttempt();
    // Steps 7 to 9: a line that may acknowledge an uploaded record.
    void HandleUploadLine(const QByteArray& line);
    // Sends the joint information and begins the upload.
    void StartUpload();
    // Whether the joint was taken, from a status reply after an upload.
    void CheckUpload(const StatusReply& reply);
    // Sends the record in the command buffer, acknowledged by `head`.
    void SendRecord(const char* head);
    void SendStatusPoll();
    void ClearReadings();
    void Restart();
    // A download request is outstanding (not a status poll).
    bool Downloading() const;
    void UpdateBatteryWarning();
    void ShowReady();
    void ShowLogging();
    void FillRecommendedPressures();
    void UpdateTitle();
    void UpdateStatusCaption();

    int m_nLinkState = 0;
    int m_nStep = 0;
    int m_nIdleTicks = 0;
    bool m_bPolling = true;
    ReplyLine m_line;
    int m_nVantrekBattery = 100;
    int m_nLogRequest = 0;
    bool m_bStopwatchReset = false;
    QByteArray m_szVantrekId;
    QString m_strVersionText;
    QString m_strStatus;
    QString m_strLoggedTemp;
    CJointRecords m_records;
    // An upload went out, or was cut off by a restart: the next status reply
    // shows whether the Vantrek took the joint (it logs), else it goes again.
    bool m_bUploadUnconfirmed = false;
    // Times the joint went out whole without the Vantrek taking it.
    int m_nJointSends = 0;
    // The last status reply announced a report: Setup stays off, so that no
    // new joint can overwrite the Vantrek's only copy of one not taken whole.
    bool m_bVantrekHasReport = false;
    CReportDownload m_download;
    CRequestExchange m_exchange;
    QFont m_font;
};
