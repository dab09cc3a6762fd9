#include "report/AppendNotesDlg.h"

#include "framework/Format.h"
#include "framework/Strings.h"
#include "report/Resource.h"
#include "report/VtkDoc.h"

#include <algorithm>

const DlgTemplate& CAppendNotesDlg::Template174() {
    static const DlgTemplate tmpl{IDD_APPEND_NOTES,
                                  "Append Notes to Report",
                                  2,
                                  0,
                                  156,
                                  158,
                                  {
                                      {IDC_EXISTING_NOTES, Ctl::Edit, "", 4, 4, 148, 40,
                                       Style::Multiline | Style::ReadOnly | Style::VScroll},
                                      // Three lines: the warning, wrapped, and the characters left.
                                      {IDC_NOTES_LEFT, Ctl::Static, "", 4, 47, 148, 24},
                                      {IDC_NEW_NOTES, Ctl::Edit, "", 4, 73, 148, 62,
                                       Style::Multiline | Style::VScroll | Style::WantReturn},
                                      {1, Ctl::DefButton, "OK", 24, 140, 50, 14},
                                      {2, Ctl::Button, "Cancel", 82, 140, 50, 14},
                                  }};
    return tmpl;
}

CAppendNotesDlg::CAppendNotesDlg(const QString& notes, QWidget* parent)
    : CSetupPageDlg(Template174(), parent) {
    m_strExisting = notes == QLatin1String("---") ? QString() : notes;
    m_nExistingLength = static_cast<int>(m_strExisting.size());
    m_nCharsLeft = CVtkDoc::kMaxNotes - m_nExistingLength;
    m_strCombined = m_strExisting;
}

void CAppendNotesDlg::ShowCharsLeft(int left) {
    SetDlgItemText(IDC_NOTES_LEFT, Format(LoadString(IDS_APPEND_NOTES_LEFT_FMT), {left}));
}

bool CAppendNotesDlg::OnInitDialog() {
    SetDlgItemText(IDC_EXISTING_NOTES, m_strExisting);
    SetReadOnly(IDC_EXISTING_NOTES, true);
    LimitText(IDC_NEW_NOTES, m_nCharsLeft);
    ShowCharsLeft(m_nCharsLeft);
    if (!m_strTyped.isEmpty()) {
        SetDlgItemText(IDC_NEW_NOTES, m_strTyped.left(std::max(0, m_nCharsLeft)));
        OnEditChange(IDC_NEW_NOTES);
    }
    return true;
}

void CAppendNotesDlg::OnEditChange(int id) {
    if (id == IDC_NEW_NOTES)
        ShowCharsLeft(CVtkDoc::kMaxNotes - m_nExistingLength -
                      static_cast<int>(GetDlgItemText(IDC_NEW_NOTES).size()));
}

void CAppendNotesDlg::OnOK() {
    const QString typed = GetDlgItemText(IDC_NEW_NOTES).trimmed();
    m_strTyped = typed;
    if (typed.isEmpty()) {
        EndDialog(IDOK);
        return;
    }
    if (MessageBox(LoadString(IDS_APPEND_NOTES_Q), LoadString(IDS_NOTES), MB_YESNOCANCEL) != IDYES)
        return;
    m_strCombined =
        m_strExisting + (m_strExisting.isEmpty() ? QString() : QStringLiteral(" + ")) + typed;
    EndDialog(IDOK);
}

void CAppendNotesDlg::OnCancel() {
    if (!GetDlgItemText(IDC_NEW_NOTES).trimmed().isEmpty() &&
        MessageBox(LoadString(IDS_DISCARD_NOTES_Q), LoadString(IDS_NOTES), MB_YESNOCANCEL) != IDYES)
        return;
    EndDialog(IDCANCEL);
}
