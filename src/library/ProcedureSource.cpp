#include "library/ProcedureSource.h"

#include "framework/SettingsStore.h"
#include "library/LibraryFolders.h"

#include <QFileInfo>

CSettingsProcedureSource::CSettingsProcedureSource() {
    m_settings.rules = ReadSettingText(kKeyLibrary, kProcedureRulesKey, QString());
    m_settings.machines = ReadSettingText(kKeyLibrary, kMachinesKey, QString());
    const QString file = SettingsFilePath();
    m_settings.folder = QFileInfo(file).absolutePath();
    m_settings.where = QStringLiteral("[Library] of %1").arg(file);
}

bool CSettingsProcedureSource::Write(const QString& rules, const QString& machines, QString&) {
    WriteSettingText(kKeyLibrary, kProcedureRulesKey, rules);
    WriteSettingText(kKeyLibrary, kMachinesKey, machines);
    m_settings.rules = rules;
    m_settings.machines = machines;
    return true;
}
