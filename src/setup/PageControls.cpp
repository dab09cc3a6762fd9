#include "setup/PageControls.h"

#include "framework/Dialog.h"
#include "framework/Globals.h"
#include "framework/Strings.h"
#include "setup/JointRecord.h"
#include "setup/Resource.h"

namespace {
constexpr int kUnlistedMaterial = 20;

bool IsUnlistedMaterial(const CDialog& page) {
    return page.GetCurSel(IDC_MATERIAL_LIST) == kUnlistedMaterial;
}
} // namespace

void FillList(CDialog& page, int id, const QStringList& items) {
    page.ResetContent(id);
    for (const QString& item : items)
        page.AddString(id, item);
}

int SelectionOr(const CDialog& page, int id, int stored) {
    const int index = page.GetCurSel(id);
    return index >= 0 ? index : stored;
}

void StoreTrimmed(const CDialog& page, int id, const QString& name) {
    WriteLogText(name, TrimOrDash(page.GetDlgItemText(id)));
}

void LoadMaterial(CDialog& page) {
    // The stored list ends in an empty entry where the list shows "Unlisted".
    QStringList items = g_strPipeMaterials.mid(0, kUnlistedMaterial);
    items << LoadString(IDS_UNLISTED);
    FillList(page, IDC_MATERIAL_LIST, items);
    page.SetCurSel(IDC_MATERIAL_LIST, ReadPipeMaterialInx());
    const bool unlisted = IsUnlistedMaterial(page);
    page.SetDlgItemText(IDC_MATERIAL_TEXT,
                        unlisted ? ReadLogText(LogData::kPipeMaterialText) : QString());
    page.ShowDlgItem(IDC_MATERIAL_TEXT, unlisted);
}

void OnMaterialChanged(CDialog& page) {
    page.SetDlgItemText(IDC_MATERIAL_TEXT, QString());
    page.ShowDlgItem(IDC_MATERIAL_TEXT, IsUnlistedMaterial(page));
}

void StoreMaterial(const CDialog& page) {
    const int index = page.GetCurSel(IDC_MATERIAL_LIST);
    WriteLogInt(LogData::kPipeMaterialInx, index);
    WriteLogText(LogData::kPipeMaterialText,
                 TrimOrDash(IsUnlistedMaterial(page) ? page.GetDlgItemText(IDC_MATERIAL_TEXT)
                                                     : page.GetLBText(IDC_MATERIAL_LIST, index)));
}
