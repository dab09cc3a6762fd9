#include "setup/NotesPage.h"

#include "framework/Format.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/NotesPrefix.h"
#include "setup/PageControls.h"
#include "setup/Resource.h"

#include <algorithm>

const DlgTemplate& CNotesPage::Template167() {
    static const DlgTemplate tmpl{
        IDD_NOTES_PAGE,
        "Notes (optional)",
        kPageX,
        0,
        kPageWidth,
        138,
        {
            {IDC_NOTES_PREFIX, Ctl::Edit, "", 4, 4, 148, 30, Style::Multiline | Style::ReadOnly},
            {IDC_NOTES, Ctl::Edit, "", 4, 38, 148, 42,
             Style::Multiline | Style::WantReturn | Style::VScroll},
            {IDC_NOTES_LEFT, Ctl::Static, "", 4, 82, 148, 16},
            {IDC_STATIC, Ctl::Static, "(More characters can be appended after joint is made)", 4,
             100, 148, 16},
            {2, Ctl::Button, "<< Back", 4, 120, 50, 14},
            {1, Ctl::DefButton, "Next >>", 102, 120, 50, 14},
        }};
    return tmpl;
}

CNotesPage::CNotesPage(QWidget* parent) : CSetupPageDlg(Template167(), parent) {}

bool CNotesPage::OnInitDialog() {
    m_strPrefix = NotesPrefix();
    m_nPrefixLength = m_strPrefix.size();
    // The record joins a prefix to the notes with ". ", and those two
    // characters count against the record too: without them the last two
    // characters the operator was allowed to type would be cut off.
    const int separator = m_strPrefix.isEmpty() ? 0 : 2;
    m_nCapacity = std::max(0, kNotesRecordChars - m_nPrefixLength - separator);
    SetDlgItemText(IDC_NOTES_PREFIX, m_strPrefix);
    // A limit of 0 would mean none: a full prefix leaves no room at all.
    LimitText(IDC_NOTES, std::max(m_nCapacity, 1));
    // Stored notes are shown whole, also when a longer prefix (an offset set
    // later) leaves them too little room: the operator decides what goes.
    SetDlgItemText(IDC_NOTES, ReadLogText(LogData::kNotes));
    ShowCharactersLeft();
    return true;
}

void CNotesPage::OnEditChange(int id) {
    if (id == IDC_NOTES)
        ShowCharactersLeft();
}

int CNotesPage::CharactersLeft() const {
    return m_nCapacity - static_cast<int>(GetDlgItemText(IDC_NOTES).size());
}

void CNotesPage::ShowCharactersLeft() {
    const int left = CharactersLeft();
    m_strLabel =
        left >= 0
            ? Format(LoadString(IDS_NOTES_LEFT_FMT), {left})
            : QStringLiteral("Remove %1 characters to save as notes for this joint.").arg(-left);
    SetDlgItemText(IDC_NOTES_LEFT, m_strLabel);
    // With no room at all nothing can be typed, but notes too long can
    // still be shortened.
    SetReadOnly(IDC_NOTES, m_nCapacity == 0 && left == 0);
}

void CNotesPage::OnOK() {
    // Notes that no longer fit are never cut: the operator shortens them.
    if (const int left = CharactersLeft(); left < 0) {
        MessageBox(QStringLiteral("These notes are %1 characters too long for this joint.\n"
                                  "Please shorten them.")
                       .arg(-left),
                   QString(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Notes keep their blanks and line breaks as typed.
    WriteLogText(LogData::kNotes, GetDlgItemText(IDC_NOTES));
    EndDialog(IDOK);
}
