#pragma once
// The library's folders ("roots"): the device root's "Joint Reports", the
// backup folder's "Joint Reports", and the folders the user added, kept in
// the settings file under [Library]. Read on the window's thread (the
// settings store is not shared between threads).

#include <QString>
#include <QStringList>

inline const QString kKeyLibrary = QStringLiteral("Library");

// The folders the user added, in the order added.
QStringList AddedLibraryFolders();
void SetAddedLibraryFolders(const QStringList& folders);
// Adds `folder` (made absolute and clean) when it is not there yet.
void AddLibraryFolder(const QString& folder);

// The backup folder named in [Storage] Card ("" when none is named).
QString NamedBackupCard();
void SetNamedBackupCard(const QString& card);

// Every root to scan: the device root's reports, the backup folder's
// reports (named, else a card found under the media folders), the added
// folders; each once.
QStringList LibraryRoots();
