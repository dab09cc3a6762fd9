#include "setup/NotesPrefix.h"

#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"

QString NotesPrefix() {
    return FittingSummary(TempOffsetText());
}

QString FittingSummary(const QString& text) {
    // Label mode names any base type but 0 a rectangle; with dimensions only
    // type 1 has the rectangle's fields, so anything else is shown as round.
    const int baseType = ReadLogInt(LogData::kFittingBaseType);
    int selection = 0; // forces from the fitting label
    if (!IsTarvexMech()) {
        if (ReadLogInt(LogData::kDoSidewallFusion) == 0)
            return text;
        selection = ReadLogInt(LogData::kFittingForceOrCalc);
        if (selection != 0 && selection != 1)
            return text;
    }
    QString summary = text;
    if (!summary.isEmpty())
        summary += QStringLiteral(", ");
    if (selection == 0)
        return summary +
               LoadString(baseType != 0 ? IDS_RECTANGLE_FITTING_BASE : IDS_ROUND_FITTING_BASE);

    const QString unit = ReadLogInt(LogData::kFittingDimensionsUnit) == 0
                             ? QStringLiteral(" (in.), ")
                             : QStringLiteral(" (mm), ");
    if (baseType == 1) {
        return summary + LoadString(IDS_RECTANGLE_FITTING_BASE) + QLatin1Char(':') + unit +
               LoadString(IDS_HOLE_DIAM) + ReadLogText(LogData::kFittingBaseHoleDiameter) +
               QStringLiteral(", ") + LoadString(IDS_LENGTH) +
               ReadLogText(LogData::kFittingBaseLength) + QStringLiteral(", ") +
               LoadString(IDS_WIDTH) + ReadLogText(LogData::kFittingBaseWidth);
    }
    return summary + LoadString(IDS_ROUND_FITTING_BASE) + QLatin1Char(':') + unit +
           LoadString(IDS_OD) + ReadLogText(LogData::kFittingOd) + QStringLiteral(", ") +
           LoadString(IDS_WALL_THICKNESS) + ReadLogText(LogData::kFittingWallThickness);
}
