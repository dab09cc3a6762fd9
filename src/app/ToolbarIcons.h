#pragma once

#include <QIcon>

// The 16 by 16 toolbar button for a command id of toolbar 128.
QIcon ToolbarIcon(int commandId);
