#pragma once
// The Calibration dialog, template 178: shows everything the Vantrek prints
// during its calibration, answers its prompts (start, date, serial number,
// end) and archives the run, at most once per dialog.

#include "framework/SetupPageDlg.h"

#include <QFont>
#include <QString>

class CCalibrationDlg : public CSetupPageDlg {
public:
    explicit CCalibrationDlg(QWidget* parent);
    ~CCalibrationDlg() override;

    static const DlgTemplate& Template178();

    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnOK() override {}
    void OnCancel() override;

    int Step() const { return m_nStep; }
    bool LinkIsOpen() const { return m_bLinkOpen; }
    bool ArchiveWritten() const { return m_bArchiveWritten; }
    const QString& SessionLog() const { return m_strSessionLog; }
    int LineLength() const { return m_nLineLen; }
    QByteArray Line() const { return QByteArray(m_szLine); }

private:
    void ExchangeStep();
    void ReceivePass();
    // True when the line now ends a pattern: the step is set for the answer.
    bool MatchPatterns();
    void WriteArchive();

    static constexpr int kLineMax = 3000;
    bool m_bLinkOpen = false;
    char m_szLine[kLineMax + 2] = {};
    int m_nLineLen = 0;
    QString m_strSerial;
    QFont m_logFont;
    QString m_strSessionLog;
    int m_nStep = 0;
    bool m_bArchiveWritten = false;
};
