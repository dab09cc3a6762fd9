#include "setup/GaugePressure.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "setup/DimensionTables.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <cmath>

namespace {
bool ContainsDigit(const QString& text) {
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            return true;
    }
    return false;
}

// The area the interfacial pressure acts on, in in². A sidewall joint whose
// forces come from the fitting label has none: the force is divided by the
// piston area alone, so 1 is returned.
double JointArea() {
    if (UsesDirectPipeArea(g_strMachineModel))
        return DirectPipeArea();
    if (ReadLogInt(LogData::kDoSidewallFusion) == 0)
        return TextToDouble(ReadLogText(LogData::kPipeAreaInch));
    if (ReadLogInt(LogData::kFittingForceOrCalc) != 0)
        return FittingBaseArea();
    return 1.0;
}
} // namespace

QString CalcGaugePressure(const QString& ifpText) {
    if (!ContainsDigit(ifpText))
        return kNoPressure;
    const double area = JointArea();
    if (!(area > 0))
        return kNoPressure;
    const double ifp = ToPsi(TextToDouble(ifpText));
    const double drag = ToPsi(TextToDouble(ReadLogText(LogData::kDragPressure)));
    double piston = TextToDouble(ReadLogText(LogData::kPistonArea));
    if (ReadLogInt(LogData::kPistonAreaUnit) == 1)
        piston *= kSqCmToSqInch;
    // A hand-typed machine may have no usable piston area; show no pressure
    // rather than a division's "inf" or a negative gauge pressure.
    if (!(piston > 0))
        return kNoPressure;
    // The display unit is read from the store, as the page that shows it does.
    const PressUnitInfo& unit = PressUnit(ReadSettingInt(kKeySettings, kPressUnitInx, 0));
    const double gauge = ((ifp / piston) * area + drag) / unit.psiPerUnit;
    if (!std::isfinite(gauge))
        return kNoPressure;
    return FormatDouble(unit.displayFormat, gauge);
}

QString ComputeRecommendedPressures() {
    QString texts[4] = {ReadLogText(LogData::kHeatIfp), ReadLogText(LogData::kSoakIfp),
                        ReadLogText(LogData::kFuseIfp), ReadLogText(LogData::kCoolIfp)};
    if (ReadLogInt(LogData::kDoSidewallFusion) != 0) {
        texts[0] = ReadLogText(LogData::kRecBeadForceOrIfp);
        texts[1] = ReadLogText(LogData::kRecSoakForceOrIfp);
        texts[2] = ReadLogText(LogData::kRecFuseForceOrIfp);
        texts[3] = kNoPressure;
    }
    const bool mechanical = IsTarvexMech();
    const QString recNames[4] = {LogData::kRecHeat, LogData::kRecSoak, LogData::kRecFuse,
                                 LogData::kRecCool};
    QString display;
    for (int phase = 0; phase < 4; ++phase) {
        QString text;
        if (!mechanical)
            text = CalcGaugePressure(texts[phase]);
        else if (phase == 0)
            text = ReadLogText(LogData::kFittingHeatPressure);
        else if (phase == 2)
            text = ReadLogText(LogData::kFittingFusePressure);
        else
            text = kNoPressure;
        WriteLogText(recNames[phase], text);
        WriteSettingInt(kKeySettings, Format(QStringLiteral("Demo PSI %d"), {phase + 1}),
                        TextToLong(text));
        display += text;
        if (phase < 3)
            display += QLatin1Char('\n');
    }
    WriteSettingInt(kKeySettings, QStringLiteral("Demo PSI Inx"), 1);
    return display;
}
