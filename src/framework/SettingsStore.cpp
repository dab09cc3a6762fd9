#include "framework/SettingsStore.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"

#include <QSettings>
#include <limits>
#include <memory>

namespace {
QString g_folder;

// One value of a key lives at "key/name". QSettings escapes blanks, dots,
// parentheses and non-ASCII characters in the file, so the handheld's value
// names are kept as they are; only a slash would split a name into groups, and
// none of the program's names holds one.
QString Path(const QString& key, const QString& name) {
    return key + QLatin1Char('/') + name;
}

std::unique_ptr<QSettings> Open() {
    if (g_folder.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("Kelvorn"),
                                           QStringLiteral("Kelvorn VTQ-PPC"));
    return std::make_unique<QSettings>(g_folder + QStringLiteral("/Kelvorn VTQ-PPC.conf"),
                                       QSettings::IniFormat);
}
} // namespace

int ReadSettingInt(const QString& key, const QString& name, int defaultValue) {
    const QVariant value = Open()->value(Path(key, name));
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    // The handheld keeps 32-bit integers; anything else is unreadable.
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(number);
}

QString ReadSettingText(const QString& key, const QString& name, const QString& defaultValue) {
    const QVariant value = Open()->value(Path(key, name));
    if (!value.isValid() || !value.canConvert<QString>())
        return defaultValue;
    // A text holding commas is written quoted and reads back as one string;
    // one written by hand without quotes reads as a list: join it back.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void WriteSettingInt(const QString& key, const QString& name, int value) {
    Open()->setValue(Path(key, name), value);
}

void WriteSettingText(const QString& key, const QString& name, const QString& value) {
    Open()->setValue(Path(key, name), value);
}

QString TempOffsetText() {
    const int offset = ReadSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);
    if (offset == 0)
        return QString();
    return Format(LoadString(IDS_TEMP_OFFSET_FMT), {offset, g_strTempUnit});
}

void SetSettingsFolder(const QString& folder) {
    g_folder = folder;
}

QString SettingsFilePath() {
    return Open()->fileName();
}
