#include "library/LibraryFolders.h"

#include "framework/SettingsStore.h"
#include "library/LibraryScanner.h"
#include "platform/StorageCard.h"
#include "session/ReportStorage.h"

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

QString NamedBackupCard() {
    return ReadSettingText(kStorage, kCard, QString()).trimmed();
}

void SetNamedBackupCard(const QString& card) {
    WriteSettingText(kStorage, kCard, card.trimmed());
}

QStringList LibraryRoots() {
    QStringList roots{LibraryRootPath(ReportFolder())};
    const QString named = NamedBackupCard();
    const QString card = named.isEmpty() ? FindStorageCard() : named;
    if (!card.isEmpty())
        roots << LibraryRootPath(card + QStringLiteral("/Joint Reports"));
    for (const QString& folder : AddedLibraryFolders())
        roots << LibraryRootPath(folder);
    roots.removeDuplicates();
    return roots;
}
