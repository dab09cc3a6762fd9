#include "setup/MachineListModel.h"

#include "framework/Globals.h"
#include "framework/Strings.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"

void CMachineListModel::Open() {
    m_items.clear();
    for (int i = 0; i < kMachineModelCount; ++i)
        m_items << MachineModelListText(i);
    m_strMachineId = ReadLogText(LogData::kMachineId);
    m_nSelection = ReadMachineModelInx();
    m_strModelName = IsUnlisted() ? ReadLogText(LogData::kMachineModelText) : QString();
    m_strPistonArea = ReadLogText(LogData::kPistonArea);
    SetAreaUnit(ReadLogInt(LogData::kPistonAreaUnit));
    m_bSidewall = false;
    ApplyLayout();
}

void CMachineListModel::Select(int index) {
    m_nSelection = index >= 0 && index < kMachineModelCount ? index : 0;
    m_strModelName.clear();
    m_strPistonArea.clear();
    ApplyLayout();
}

bool CMachineListModel::IsUnlisted() const {
    return m_nSelection == kUnlistedModelInx;
}

void CMachineListModel::ApplyLayout() {
    if (!IsUnlisted())
        m_nAreaUnit = 0;
    m_bSidewallEnabled = SidewallFusionAllowed(MachineModelListText(m_nSelection));
    if (!m_bSidewallEnabled)
        m_bSidewall = false;
}

QString CMachineListModel::PistonAreaLabel() const {
    QString label = LoadString(IDS_PISTON_AREA_LABEL);
    if (!IsUnlisted())
        label +=
            QString::fromLatin1(MachineModelTable[static_cast<size_t>(m_nSelection)].pistonArea);
    return label;
}

void CMachineListModel::Accept() {
    QString model = m_strModelName;
    if (!IsUnlisted()) {
        const MachineModelRow& row = MachineModelTable[static_cast<size_t>(m_nSelection)];
        model = QString::fromLatin1(row.name);
        m_strPistonArea = QString::fromLatin1(row.pistonArea);
    }
    if (m_bSidewall)
        model += QStringLiteral(" SW");
    g_strMachineModel = model;
    WriteLogText(LogData::kMachineId, TrimOrDash(m_strMachineId));
    WriteLogText(LogData::kMachineModelText, TrimOrDash(model));
    WriteLogInt(LogData::kMachineModelInx, m_nSelection);
    WriteLogText(LogData::kPistonArea, TrimOrDash(m_strPistonArea));
    WriteLogInt(LogData::kPistonAreaUnit, m_nAreaUnit);
    WriteLogInt(LogData::kDoSidewallFusion, m_bSidewall ? 1 : 0);
}
