#include "framework/SettingsStore.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"

#include <QDateTime>
#include <QFileInfo>
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

// The one settings object of the process, which keeps the parsed file, and
// the file's stamp as last read or written. A new object for every call
// parsed the whole file each time.
struct Store {
    std::unique_ptr<QSettings> settings;
    QDateTime modified;
    qint64 size = -1;

    void Remember() {
        const QFileInfo file(settings->fileName());
        modified = file.lastModified();
        size = file.exists() ? file.size() : -1;
    }
};
Store g_store;

// Every reader still sees the latest value: the file is read again whenever
// something outside this process (a hand edit, a second copy of the
// program) has changed it since.
QSettings& Settings() {
    if (!g_store.settings) {
        g_store.settings = Open();
        g_store.Remember();
    } else {
        const QFileInfo file(g_store.settings->fileName());
        if (file.lastModified() != g_store.modified ||
            (file.exists() ? file.size() : -1) != g_store.size) {
            g_store.settings->sync();
            g_store.Remember();
        }
    }
    return *g_store.settings;
}

// Readers see a write at once; the file is written when the event loop next
// runs (QSettings asks for that itself), so the values one handler stores go
// to the file together instead of rewriting it for each.
void Write(const QString& path, const QVariant& value) {
    Settings().setValue(path, value);
}
} // namespace

int ReadSettingInt(const QString& key, const QString& name, int defaultValue) {
    const QVariant value = Settings().value(Path(key, name));
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
    const QVariant value = Settings().value(Path(key, name));
    if (!value.isValid() || !value.canConvert<QString>())
        return defaultValue;
    // A text holding commas is written quoted and reads back as one string;
    // one written by hand without quotes reads as a list: join it back.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void WriteSettingInt(const QString& key, const QString& name, int value) {
    Write(Path(key, name), value);
}

void WriteSettingText(const QString& key, const QString& name, const QString& value) {
    Write(Path(key, name), value);
}

int ReadTempOffset() {
    const int offset = ReadSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);
    return offset > -kTempOffsetLimit && offset < kTempOffsetLimit ? offset : 0;
}

QString TempOffsetText() {
    const int offset = ReadTempOffset();
    if (offset == 0)
        return QString();
    return Format(LoadString(IDS_TEMP_OFFSET_FMT), {offset, g_strTempUnit});
}

void SetSettingsFolder(const QString& folder) {
    g_folder = folder;
    g_store.settings.reset();
}

QString SettingsFilePath() {
    return Settings().fileName();
}
