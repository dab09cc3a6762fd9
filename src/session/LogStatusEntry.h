#pragma once
// Runs the Log/Status window modally over `parent`, the main frame's
// WM_LOGSTATUS handler.

class QWidget;

void RunLogStatusWindow(QWidget* parent);
