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

#include <QByteArray>
#include <QFont>
#include <QString>

class CLogStatusDlg : public CSetupPageDlg {
public:
    explicit CLogStatusDlg(QWidget* parent);
    ~CLogStatusDlg() override;

    static const DlgTemplate& Template140();

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
    // True when the reply announced a finished report and its download began.
    bool HandleStatusReply(const StatusReply& reply);
    // Closes, completes and backs up the report being downloaded, then ends
    // the window unless it is being destroyed already.
    void FinishDownload(bool endWindow = true);
    void SendStatusPoll();
    void SendCommandBuffer();
    void Restart();
    // Download requests: a request whose answer came damaged is sent again
    // when no other line follows, at most three times.
    void SendDownloadRequest(const QByteArray& command);
    // False when the request was repeated often enough and the caller is to
    // go on without a clean answer.
    bool NoteDamagedReply();
    void RepeatDamagedRequest();
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
    // An upload was cut off by a restart: sent again once the Vantrek says it
    // is not logging.
    bool m_bUploadCut = false;
    CReportDownload m_download;
    QByteArray m_lastRequest;
    int m_nRepeats = 0;
    bool m_bDamagedReply = false;
    QFont m_font;
};
