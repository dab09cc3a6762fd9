#include "setup/JointRecord.h"

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "setup/MachineModels.h"

QString ReadLogText(const QString& name, const QString& defaultValue) {
    return ReadSettingText(kKeyLogData, name, defaultValue);
}

int ReadLogInt(const QString& name, int defaultValue) {
    return ReadSettingInt(kKeyLogData, name, defaultValue);
}

void WriteLogText(const QString& name, const QString& value) {
    WriteSettingText(kKeyLogData, name, value);
}

void WriteLogInt(const QString& name, int value) {
    WriteSettingInt(kKeyLogData, name, value);
}

namespace {
int ReadIndex(const QString& name, int last) {
    const int index = ReadLogInt(name);
    return index >= 0 && index <= last ? index : 0;
}

QString TextAt(const QStringList& list, int index) {
    return list.value(index >= 0 && index < list.size() ? index : 0);
}

constexpr int kLastPipeMaterial = 20;
} // namespace

int ReadMachineModelInx() {
    return ReadIndex(LogData::kMachineModelInx, kMachineModelCount - 1);
}

int ReadPipeMaterialInx() {
    return ReadIndex(LogData::kPipeMaterialInx, kLastPipeMaterial);
}

int ReadPipeAreaSwUnitInx() {
    return ReadIndex(LogData::kPipeAreaSwUnitInx, 1);
}

int NextJointNumber() {
    constexpr int kMaxJointNumber = 0xffff;
    const int joint = ReadLogInt(LogData::kJointNumber, 1);
    return joint < kMaxJointNumber ? joint + 1 : kMaxJointNumber;
}

QString TrimOrDash(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("--") : trimmed;
}

void LoadJointSetupLists() {
    g_strPipeMaterials = {
        QStringLiteral("EXEL"),
        QStringLiteral("ISO (Single HF IP)"),
        QStringLiteral("ISO (Single LF IP)"),
        QStringLiteral("KPE"),
        QStringLiteral("PA11"),
        QStringLiteral("PA12"),
        QStringLiteral("PE100"),
        QStringLiteral("PE80"),
        QStringLiteral("PE 2406"),
        QStringLiteral("PE 2602"),
        QStringLiteral("PE 2606"),
        QStringLiteral("PE 2706"),
        QStringLiteral("PE 2708"),
        QStringLiteral("PE 3408"),
        QStringLiteral("PE 3608"),
        QStringLiteral("PE 3708"),
        QStringLiteral("PE 3710"),
        QStringLiteral("PE 4608"),
        QStringLiteral("PE 4708"),
        QStringLiteral("PE 4710"),
        QString(),
    };
    g_strFittingSizeUnits = {QStringLiteral("\" IPS"), QStringLiteral("\" DIPS"),
                             QStringLiteral("\" CTS"), QStringLiteral("mm")};
}

QStringList PipeSizeUnitTexts() {
    return {QStringLiteral("\" IPS"), QStringLiteral("\" DIPS"), QStringLiteral("\" O.D."),
            QStringLiteral("mm O.D."), QStringLiteral("mm JIS")};
}

QStringList WallThicknessUnitTexts() {
    return {QStringLiteral("DR"), QStringLiteral("\" WT"), QStringLiteral("mm WT")};
}

QStringList AreaUnitTexts() {
    return {QStringLiteral("in²"), QStringLiteral("cm²")};
}

QString PipeSizeUnitText(int index) {
    return TextAt(PipeSizeUnitTexts(), index);
}

QString WallThicknessUnitText(int index) {
    return TextAt(WallThicknessUnitTexts(), index);
}

QString AreaUnitText(int index) {
    return TextAt(AreaUnitTexts(), index);
}
