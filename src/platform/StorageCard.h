#pragma once
// Storage cards: folders under the removable-media mount points. The first
// whose name contains "Card" is the card the handheld would back reports up
// to. Tests point the search at folders of their own.

#include <QString>
#include <QStringList>

// The card's folder, or empty when there is none.
QString FindStorageCard();

// Where cards are looked for, in order.
QStringList StorageCardRoots();
// Sets where cards are looked for; an empty list goes back to
// /media/$USER, /run/media/$USER, /media and /mnt.
void SetStorageCardRoots(const QStringList& roots);
