#include "report/JointSummary.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/Strings.h"
#include "platform/Clock.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/NotesPrefix.h"

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
const QString kTarvexMech = QStringLiteral("Tarvex Mech.");

// A value short enough stands beside its label; a longer one takes the
// label's place after the number, so the line still fits the box.
constexpr int kShortValue = 8;
constexpr int kShortModel = 7;

QString ValueLine(int labelId, int number, const QString& value, int shortLength = kShortValue) {
    if (value.size() <= shortLength)
        return NumberedLabel(labelId, number) + QStringLiteral(": ") + value + kLineEnd;
    return Format(QStringLiteral("%2d. "), {number}) + value + kLineEnd;
}

QString PressureLine(int labelId, int number, const QString& value) {
    return NumberedLabel(labelId, number) + QStringLiteral(": ") + value + QLatin1Char(' ') +
           g_strPressUnit + kLineEnd;
}
} // namespace

QString NumberedLabel(int stringId, int number) {
    return Format(LoadString(stringId), {number});
}

QString PipeSizeText(const QString& size, const QString& sizeUnit, const QString& wall,
                     const QString& wallUnit) {
    const bool ratio = wallUnit.contains(QStringLiteral("DR"));
    return Format(QStringLiteral("%s%s  %s %s"),
                  {size, sizeUnit, ratio ? wallUnit : wall, ratio ? wall : wallUnit});
}

QString FittingSizeText() {
    return ReadLogText(LogData::kFittingMainSize) +
           g_strFittingSizeUnits.value(ReadLogInt(LogData::kFittingMainUnit)) +
           QStringLiteral(" x ") + ReadLogText(LogData::kFittingOutletSize) +
           g_strFittingSizeUnits.value(ReadLogInt(LogData::kFittingOutletUnit));
}

void AppendJointSummary(QString& text) {
    const QDateTime now = CurrentLocalTime();
    text += Format(QStringLiteral("%2d. %04d/%02d/%02d  %02d:%02d:%02d") + kLineEnd,
                   {1, now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                    now.time().minute(), now.time().second()});
    text += NumberedLabel(IDS_LBL_JOINT_NUMBER, 2) +
            Format(QStringLiteral(": %d"), {ReadLogInt(LogData::kJointNumber, 1)}) + kLineEnd;
    text += ValueLine(IDS_LBL_JOB_NUMBER, 3, ReadLogText(LogData::kJobNumber));
    text += ValueLine(IDS_LBL_EMPLOYEE_ID, 4, ReadLogText(LogData::kEmployeeId));
    text += ValueLine(IDS_LBL_MACHINE_ID, 5, ReadLogText(LogData::kMachineId));
    const QString model = ReadLogText(LogData::kMachineModelText);
    text += ValueLine(IDS_LBL_MACHINE_MODEL, 6, model, kShortModel);
    const bool mechanical = model.contains(kTarvexMech);

    int n = 7;
    if (!mechanical) {
        text += NumberedLabel(IDS_LBL_PISTON_AREA, n) +
                Format(QStringLiteral(": %s %s"),
                       {ReadLogText(LogData::kPistonArea),
                        AreaUnitText(ReadLogInt(LogData::kPistonAreaUnit))}) +
                kLineEnd;
        n = 8;
    }
    text += ValueLine(IDS_LBL_PIPE_MATERIAL, n, ReadLogText(LogData::kPipeMaterialText));

    const int sidewall = ReadLogInt(LogData::kDoSidewallFusion);
    if (!IsTarvexMech() && sidewall == 0) {
        const QString size = PipeSizeText(
            ReadLogText(LogData::kPipeSize), PipeSizeUnitText(ReadLogInt(LogData::kPipeSizeUnit)),
            ReadLogText(LogData::kWallThickness),
            WallThicknessUnitText(ReadLogInt(LogData::kWallThicknessUnit)));
        text += ValueLine(IDS_LBL_PIPE_SIZE, n + 1, size);
        n += 2;
    } else {
        text += ValueLine(IDS_LBL_FITTING_TYPE, n + 1,
                          g_strFittingTypes.value(ReadLogInt(LogData::kFittingType)));
        text += ValueLine(IDS_LBL_PIPE_SIZE, n + 2, FittingSizeText());
        n += 3;
    }

    int k = n;
    if (UsesDirectPipeArea(model)) {
        text += NumberedLabel(IDS_LBL_PIPE_AREA, n) + QStringLiteral(": ") +
                ReadLogText(LogData::kPipeAreaSw) + QLatin1Char(' ') +
                AreaUnitText(ReadPipeAreaSwUnitInx()) + kLineEnd;
        k = n + 1;
    }

    text += kLineEnd;
    if (!mechanical) {
        const bool forces = sidewall == 1 && ReadLogInt(LogData::kFittingForceOrCalc) == 0;
        text += LoadString(forces ? IDS_HDR_REC_FORCES : IDS_HDR_IFP_COLON) + kLineEnd;
        const bool fitting = sidewall == 1;
        text +=
            PressureLine(IDS_LBL_BEAD, k,
                         ReadLogText(fitting ? LogData::kRecBeadForceOrIfp : LogData::kHeatIfp));
        text +=
            PressureLine(IDS_LBL_SOAK, k + 1,
                         ReadLogText(fitting ? LogData::kRecSoakForceOrIfp : LogData::kSoakIfp));
        text +=
            PressureLine(IDS_LBL_FUSE, k + 2,
                         ReadLogText(fitting ? LogData::kRecFuseForceOrIfp : LogData::kFuseIfp));
        if (sidewall == 0)
            text += PressureLine(IDS_LBL_COOL, k + 3, ReadLogText(LogData::kCoolIfp));
    } else {
        text += LoadString(IDS_HDR_REC_FORCES) + kLineEnd;
        text += PressureLine(IDS_LBL_BEAD, k + 2, ReadLogText(LogData::kFittingHeatPressure));
        text += PressureLine(IDS_LBL_FUSE, k + 3, ReadLogText(LogData::kFittingFusePressure));
    }

    const QString prefix = NotesPrefix();
    if (!prefix.isEmpty())
        text += kLineEnd + prefix;
}
