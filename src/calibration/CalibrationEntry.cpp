#include "calibration/CalibrationEntry.h"

#include "calibration/CalibParamPage.h"
#include "calibration/CalibrationDlg.h"
#include "calibration/GatewayDlgs.h"
#include "calibration/ScrollDlg.h"
#include "diagnostics/DiagnosticsDlg.h"
#include "framework/Modal.h"

namespace {
const QString kAccessCode = QStringLiteral("qarvo7");
}

void RunCalibrationEntrySequence(QWidget* parent) {
    CCheckVantrekDlg gateway(parent);
    RunModal(gateway);
    if (gateway.Choice() == 1) {
        CDiagnosticsDlg diagnostics(parent);
        RunModal(diagnostics);
        return;
    }
    if (gateway.Choice() != 2)
        return;

    CAccessCodeDlg access(parent);
    RunModal(access);
    // Whole and case-sensitive; a wrong code ends the sequence without a word.
    if (access.Code() != kAccessCode)
        return;

    CScrollDlg scroll(QStringLiteral("Calibration Parameters"), nullptr);
    scroll.Container().SetPage(std::make_unique<CCalibParamPage>());
    if (RunModal(scroll) != IDOK)
        return;

    CCalibrationDlg calibration(parent);
    RunModal(calibration);
}
