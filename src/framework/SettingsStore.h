#pragma once
// The persistent settings: integer and text values grouped under the keys
// "Settings", "Log Data" and "Calibration". Every read sees the latest value,
// also one written by another process; the file is parsed again only when it
// has changed. Writes reach the file when the event loop next runs. A missing or unreadable value
// yields the caller's default, and readers never write it back.

#include <QString>

inline const QString kKeySettings = QStringLiteral("Settings");
inline const QString kKeyLogData = QStringLiteral("Log Data");
inline const QString kKeyCalibration = QStringLiteral("Calibration");

int ReadSettingInt(const QString& key, const QString& name, int defaultValue);
QString ReadSettingText(const QString& key, const QString& name, const QString& defaultValue);
void WriteSettingInt(const QString& key, const QString& name, int value);
void WriteSettingText(const QString& key, const QString& name, const QString& value);

// "Temp Offset", or 0 when it lies outside what the Settings dialog can
// store (-199 to 199): a value edited in by hand could wrap a reading.
constexpr int kTempOffsetLimit = 200;
int ReadTempOffset();

// Empty when "Temp Offset" is 0, else "Temp Offset: %d%s" with the offset and
// the current temperature unit text.
QString TempOffsetText();

// Where the store lives: by default the user's configuration folder (Qt's
// organization "Kelvorn", application "Kelvorn VTQ-PPC"). Tests and the demo
// point it at a folder of their own; an empty folder goes back to the default.
void SetSettingsFolder(const QString& folder);
QString SettingsFilePath();
