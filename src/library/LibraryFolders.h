#pragma once
// The library's folders ("roots"): the device root's "Joint Reports", the
// backup folder's "Joint Reports", and the folders the user added, kept in
// the settings file under [Library]. The settings are read on the window's
// thread (the settings store is not shared between threads).

#include <QString>
#include <QStringList>

inline const QString kKeyLibrary = QStringLiteral("Library");

// The folders the user added, in the order added.
QStringList AddedLibraryFolders();
void SetAddedLibraryFolders(const QStringList& folders);
// Adds `folder` (made absolute and clean) when it is not there yet.
void AddLibraryFolder(const QString& folder);

// Where reports dropped on the window from outside the library's folders
// are copied to ([Library] ImportFolder, else "Imported reports" beside the
// index `database`); a library folder once a report is there.
QString LibraryImportFolder(const QString& database);

// The backup folder named in [Storage] Card ("" when none is named).
QString NamedBackupCard();
void SetNamedBackupCard(const QString& card);

// What the settings say of the library's folders, read where the settings
// are (the window's thread).
struct LibraryFolderSettings {
    QString device;    // the device root's "Joint Reports"
    QString namedCard; // the named backup folder, or empty
    QStringList added;
};
LibraryFolderSettings ReadLibraryFolderSettings();

// Every root to scan: the device root's reports, the backup folder's
// reports (named, else a card found under the media folders), the added
// folders; each once. Looking for a card lists the media folders, where a
// share may hang: never on the window's thread.
QStringList LibraryRoots(const LibraryFolderSettings& settings);
QStringList LibraryRoots();

// The folders that were library folders by `before` and are not by
// `after`, as far as the settings tell (a card found by looking stays).
QStringList RemovedLibraryFolders(const LibraryFolderSettings& before,
                                  const LibraryFolderSettings& after);

// A root path as the library keeps it: absolute and clean.
QString LibraryRootPath(const QString& folder);
