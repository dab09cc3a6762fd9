#include "setup/MachineModels.h"

#include "framework/Globals.h"
#include "framework/Strings.h"

const std::array<MachineModelRow, kMachineModelCount> MachineModelTable = {{
    {"4.710", "#Q5 HF"},
    {"1.670", "#Q5 LF"},
    {"4.710", "#Q5RX HF"},
    {"1.670", "#Q5RX LF"},
    {"11.780", "#Q70 HF"},
    {"6.010", "#Q70 MF"},
    {"3.140", "#Q70 LF"},
    {"11.780", "#Q90 HF"},
    {"6.010", "#Q90 MF"},
    {"3.140", "#Q90 LF"},
    {"29.440", "#Q95 HF"},
    {"15.320", "#Q95 MF"},
    {"9.450", "#Q95 LF"},
    {"29.440", "#Q130 HF"},
    {"15.320", "#Q130 MF"},
    {" 9.450", "#Q130 LF"},
    {"31.420", "#Q170 HF"},
    {"14.140", "#Q170 MF"},
    {"31.420", "#Q210 HF"},
    {"1.670", "Veltor05 EP"},
    {"1.670", "Veltor05 EP Vertical"},
    {"1.670", "Veltor05 HP"},
    {"1.670", "Veltor040 EP"},
    {"1.670", "Veltor040 HP"},
    {"3.140", "Veltor070 EP"},
    {"3.140", "Veltor070 HP"},
    {"14.140", "Grandor 2000 MF"},
    {"31.420", "Grandor 2000 HF"},
    {"4.710", "BR040 HF"},
    {"1.670", "BR040 LF"},
    {"4.710", "BR05 HF"},
    {"1.670", "BR05 LF"},
    {"11.780", "BR070 HF"},
    {"6.010", "BR070 MF"},
    {"3.140", "BR070 LF"},
    {"6.010", "BR080 MF"},
    {"11.780", "BR090 HF"},
    {"6.010", "BR090 MF"},
    {"3.140", "BR090 LF"},
    {"1.670", "Rovanax05 HP"},
    {"3.140", "Rovanax070 HP"},
    {"29.440", "Sidewall 60 HF"},
    {"1.000", "Tarvex Mech."},
    {"4.710", "N040 HF"},
    {"1.670", "N040 LF"},
    {"4.710", "N040RX HF"},
    {"1.670", "N040RX LF"},
    {"4.710", "N05 HF"},
    {"1.670", "N05 LF"},
    {"4.710", "N05RX HF"},
    {"1.670", "N05RX LF"},
    {"11.780", "N070 HF"},
    {"6.010", "N070 MF"},
    {"3.140", "N070 LF"},
    {"6.010", "N080 MF"},
    {"11.780", "N090 HF"},
    {"6.010", "N090 MF"},
    {"3.140", "N090 LF"},
    {"29.440", "N150 HF"},
    {"15.320", "N150 MF"},
    {"9.450", "N150 LF"},
    {"2.750", "Orbalt 0040 LWR CYL"},
    {"4.210", "Orbalt 0040 UPR+LWR"},
    {"19.640", "Orbalt 0090-HF"},
    {"3.140", "Orbalt 0090-LF"},
    {"15.320", "#Q130 AutoGrando-H"},
    {"6.770", "#Q130 AutoGrando-L"},
    {"1.000", "Unlisted"},
}};

QString MachineModelListText(int index) {
    if (index == kUnlistedModelInx)
        return LoadString(IDS_UNLISTED);
    if (index < 0 || index >= kMachineModelCount)
        return QString();
    return QString::fromLatin1(MachineModelTable[static_cast<size_t>(index)].name);
}

bool IsTarvexMech() {
    return g_strMachineModel.contains(QLatin1String("Tarvex Mech."));
}

bool IsOrbalt(const QString& model) {
    return model.contains(QLatin1String("Orbalt"));
}

bool IsTarvexLD(const QString& model) {
    return model.contains(QLatin1String("Tarvex LD"));
}

bool UsesDirectPipeArea(const QString& model) {
    return IsTarvexLD(model) || IsOrbalt(model) || model.contains(QLatin1String("Sidewall"));
}

bool SidewallFusionAllowed(const QString& listText) {
    return listText.size() <= 17 && !listText.contains(QLatin1String("Tarvex Mech.")) &&
           !listText.contains(QLatin1String("Orbalt")) &&
           !listText.contains(QLatin1String("Sidewall 60 HF"));
}
