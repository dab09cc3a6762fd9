#include "session/LogStatusEntry.h"

#include "framework/Modal.h"
#include "session/LogStatusDlg.h"

void RunLogStatusWindow(QWidget* parent) {
    CLogStatusDlg dialog(parent);
    RunModal(dialog);
}
