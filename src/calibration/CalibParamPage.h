#pragma once
// The calibration parameters page, template 180: who calibrates, with which
// reference instruments, for which Vantrek. Its values live under the
// "Calibration" key and reach the store only through the Save procedure.

#include "calibration/PageContainer.h"

#include <QFont>

class CCalibParamPage : public CContainerPage {
public:
    explicit CCalibParamPage(QWidget* parent = nullptr);

    static const DlgTemplate& Template180();

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;
    bool TakeValues() override;

    // Takes the values, writes the eleven free texts and, when the serial
    // digits are four decimal digits, the serial number; false (after its
    // message) when they are not.
    bool Save();

    // The date and time label's text for `hour` etc.
    static QString DateTimeLabel(const QDateTime& now);

private:
    QString m_strValues[11];
    QString m_strSerialDigits;
    QFont m_boldFont;
};
