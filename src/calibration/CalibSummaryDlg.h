#pragma once
// The Summary dialog, template 182: a calibration archive as its report
// above and the Vantrek's session log below.

#include "calibration/CalibRecord.h"
#include "framework/Dialog.h"

class CCalibSummaryDlg : public CDialog {
public:
    CCalibSummaryDlg(QWidget* parent, const CCalibRecord& record);

    static const DlgTemplate& Template182();

    bool OnInitDialog() override;
    const CCalibRecord& Record() const { return m_record; }

private:
    CCalibRecord m_record;
};
