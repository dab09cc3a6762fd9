#include "library/LibraryFolders.h"

#include "framework/SettingsStore.h"
#include "platform/StorageCard.h"
#include "session/ReportStorage.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kFolders = QStringLiteral("Folders");
const QString kStorage = QStringLiteral("Storage");
const QString kCard = QStringLiteral("Card");
} // namespace

QStringList AddedLibraryFolders() {
    // One folder a line: a line break cannot be part of a path a user picks
    // in a dialog, and the store keeps text values only.
    return ReadSettingText(kKeyLibrary, kFolders, QString())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void SetAddedLibraryFolders(const QStringList& folders) {
    WriteSettingText(kKeyLibrary, kFolders, folders.join(QLatin1Char('\n')));
}

void AddLibraryFolder(const QString& folder) {
    QStringList folders = AddedLibraryFolders();
    const QString path = LibraryRootPath(folder);
    if (!folders.contains(path)) {
        folders << path;
        SetAddedLibraryFolders(folders);
    }
}

QString LibraryImportFolder(const QString& database) {
    const QString set = ReadSettingText(kKeyLibrary, QStringLiteral("ImportFolder"), QString());
    return LibraryRootPath(set.isEmpty() ? QFileInfo(database).absolutePath() +
                                               QStringLiteral("/Imported reports")
                                         : set);
}

QString NamedBackupCard() {
    return ReadSettingText(kStorage, kCard, QString()).trimmed();
}

void SetNamedBackupCard(const QString& card) {
    WriteSettingText(kStorage, kCard, card.trimmed());
}

LibraryFolderSettings ReadLibraryFolderSettings() {
    return {LibraryRootPath(ReportFolder()), NamedBackupCard(), AddedLibraryFolders()};
}

namespace {
QString CardReports(const QString& card) {
    return LibraryRootPath(card + QStringLiteral("/Joint Reports"));
}
} // namespace

QStringList LibraryRoots(const LibraryFolderSettings& settings) {
    QStringList roots{settings.device};
    const QString card = settings.namedCard.isEmpty() ? FindStorageCard() : settings.namedCard;
    if (!card.isEmpty())
        roots << CardReports(card);
    for (const QString& folder : settings.added)
        roots << LibraryRootPath(folder);
    roots.removeDuplicates();
    return roots;
}

QStringList LibraryRoots() {
    return LibraryRoots(ReadLibraryFolderSettings());
}

QStringList RemovedLibraryFolders(const LibraryFolderSettings& before,
                                  const LibraryFolderSettings& after) {
    QStringList was, is{after.device};
    for (const QString& f : before.added)
        was << LibraryRootPath(f);
    for (const QString& f : after.added)
        is << LibraryRootPath(f);
    if (!before.namedCard.isEmpty())
        was << CardReports(before.namedCard);
    if (!after.namedCard.isEmpty())
        is << CardReports(after.namedCard);
    QStringList removed;
    for (const QString& f : was)
        if (!is.contains(f) && !removed.contains(f))
            removed << f;
    return removed;
}

QString LibraryRootPath(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}
