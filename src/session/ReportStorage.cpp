#include "session/ReportStorage.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "platform/DeviceRoot.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/StorageCard.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool MakeFolder(const QString& folder) {
    return QFileInfo(folder).isDir() || (QDir().mkpath(folder) && QFileInfo(folder).isDir());
}
} // namespace

QString ReportFolder() {
    return DevicePath(LoadString(IDS_REPORT_FOLDER));
}

bool EnsureReportFolder() {
    const QString folder = ReportFolder();
    if (MakeFolder(folder))
        return true;
    MessageBox(Format(LoadString(IDS_CANNOT_CREATE_FOLDER), {QDir::toNativeSeparators(folder)}));
    return false;
}

bool EnsureBackupFolder() {
    if (AwcLibraryPresent())
        return true;
    g_strBackupFolder.clear();
    // A desktop seldom has a folder named like a card: the user may name
    // the folder that stands for it.
    const QString named =
        ReadSettingText(QStringLiteral("Storage"), QStringLiteral("Card"), QString()).trimmed();
    const QString card = named.isEmpty() ? FindStorageCard() : QDir::cleanPath(named);
    if (card.isEmpty()) {
        MessageBox(LoadString(IDS_NO_STORAGE_CARD));
        return false;
    }
    QString sub = LoadString(IDS_REPORT_FOLDER);
    sub.replace(QLatin1Char('\\'), QLatin1Char('/'));
    g_strBackupFolder = card + sub;
    if (MakeFolder(g_strBackupFolder))
        return true;
    MessageBox(Format(LoadString(IDS_CANNOT_CREATE_BACKUP_FOLDER),
                      {QDir::toNativeSeparators(g_strBackupFolder)}));
    return false;
}

QString SafeFileNamePart(const QString& text) {
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        char32_t code = c.unicode();
        // A lone half of a surrogate pair has no file-name encoding.
        bool bad = c.isLowSurrogate() ||
                   (c.isHighSurrogate() && (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()));
        if (!bad && c.isHighSurrogate())
            code = QChar::surrogateToUcs4(c, text[++i]);
        // Invisible format characters (bidirectional overrides among them)
        // and noncharacters would let a name show as something it is not.
        bad = bad || code < 0x20 || code == 0x7f || refused.contains(c) ||
              QChar::category(code) == QChar::Other_Format || QChar::isNonCharacter(code);
        if (bad)
            safe += QLatin1Char('_');
        else if (code > 0xffff)
            safe += QString::fromUcs4(&code, 1);
        else
            safe += c;
    }
    // Without separators ".." cannot leave the folder, but a name made only of
    // dots would still mean a folder, so dots are not left on their own.
    if (!safe.isEmpty() && safe.count(QLatin1Char('.')) == safe.size())
        safe.fill(QLatin1Char('_'));
    return safe;
}
