#pragma once
// What the Machine page shows and stores, without its widgets: the model
// list, the selection, the fields of a hand-typed ("Unlisted") machine and the
// sidewall-fusion check box. The page copies its controls into the model,
// calls the operator's action, and shows the model's state again.

#include <QString>
#include <QStringList>

class CMachineListModel {
public:
    // Edit field limits of the page.
    static constexpr int kMachineIdLimit = 20;
    static constexpr int kModelNameLimit = 18;
    static constexpr int kPistonAreaLimit = 6;

    // The page opens: fills the list and loads the stored machine. The
    // sidewall box always starts cleared, so sidewall fusion is a fresh
    // decision for every joint.
    void Open();

    // The operator picks another list item: the typed fields are cleared.
    void Select(int index);

    // "Next >>": sets g_strMachineModel and stores the machine.
    void Accept();

    const QStringList& Items() const { return m_items; }
    int Selection() const { return m_nSelection; }
    bool IsUnlisted() const;

    // The Unlisted layout shows the name, piston area and unit fields; a
    // listed model shows its piston area in the label instead.
    QString PistonAreaLabel() const;

    QString MachineId() const { return m_strMachineId; }
    void SetMachineId(const QString& text) { m_strMachineId = text; }
    QString ModelName() const { return m_strModelName; }
    void SetModelName(const QString& text) { m_strModelName = text; }
    QString PistonArea() const { return m_strPistonArea; }
    void SetPistonArea(const QString& text) { m_strPistonArea = text; }
    int AreaUnit() const { return m_nAreaUnit; }
    void SetAreaUnit(int index) { m_nAreaUnit = index == 1 ? 1 : 0; }

    bool SidewallEnabled() const { return m_bSidewallEnabled; }
    bool SidewallChecked() const { return m_bSidewall; }
    // Ignored while the box is disabled.
    void SetSidewallChecked(bool checked) { m_bSidewall = checked && m_bSidewallEnabled; }

private:
    void ApplyLayout();

    QStringList m_items;
    int m_nSelection = 0;
    QString m_strMachineId;
    QString m_strModelName;
    QString m_strPistonArea;
    int m_nAreaUnit = 0;
    bool m_bSidewallEnabled = false;
    bool m_bSidewall = false;
};
