#pragma once
// The hidden way into calibration and probe diagnostics, started by four
// taps on the Settings dialog's "Port" label. Returns when the sequence ends.

class QWidget;

void RunCalibrationEntrySequence(QWidget* parent);
