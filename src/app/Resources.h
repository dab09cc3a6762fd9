#pragma once
// The program's pictures, drawn by code: icon 128, the toolbar's buttons,
// bitmap 144 (the main view without a report) and the bitmaps of later windows.

#include <QIcon>
#include <QPixmap>

QIcon LoadIconResource(int id);
QPixmap LoadBitmapResource(int id);

// The 16 by 16 toolbar button for a command id of toolbar 128.
QIcon ToolbarIcon(int commandId);
