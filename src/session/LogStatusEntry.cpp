#include "session/LogStatusEntry.h"

#include "platform/MessageBox.h"

// Stands in until the Log/Status window joins the build, so that the command
// tells the operator instead of doing nothing.
void RunLogStatusWindow(QWidget*) {
    MessageBox(QStringLiteral("The Log/Status window is not available in this version."), QString(),
               MB_OK | MB_ICONINFORMATION);
}
