#include "library/LibraryReviewDlg.h"

#include "library/JointTable.h"
#include "library/Resource.h"
#include "platform/MessageBox.h"

namespace {
const QString kCaption = QStringLiteral("Review");

// "not recorded", "pass", "fail" in a list: its choice as an optional.
std::optional<bool> PassFail(int index) {
    if (index == 1)
        return true;
    if (index == 2)
        return false;
    return std::nullopt;
}
} // namespace

const DlgTemplate& CLibraryReviewDlg::Template403() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_REVIEW,
        "Review",
        20,
        20,
        420,
        292,
        {
            {IDC_STATIC, Ctl::Static, "Joints to review:", 6, 6, 200, 10},
            {IDC_LIB_REVIEW_JOINTS, Ctl::ListBox, "", 6, 17, 408, 46,
             Style::VScroll | Style::Border},
            {IDC_STATIC, Ctl::Group, "Decision", 6, 67, 408, 26},
            {IDC_LIB_REVIEW_ACCEPTED, Ctl::Radio, "Accepted", 14, 77, 90, 12, Style::Group},
            {IDC_LIB_REVIEW_REJECTED, Ctl::Radio, "Rejected", 120, 77, 90, 12},
            {IDC_LIB_REVIEW_RETEST, Ctl::Radio, "Re-test (cut out, make again)", 226, 77, 180, 12},
            {IDC_STATIC, Ctl::Static, "Reviewer:", 6, 100, 60, 10},
            {IDC_LIB_REVIEW_NAME, Ctl::Edit, "", 70, 98, 170, 13, 0, nullptr, 80},
            {IDC_STATIC, Ctl::Static, "Comment:", 6, 116, 60, 10},
            {IDC_LIB_REVIEW_COMMENT, Ctl::Edit, "", 70, 115, 344, 34,
             Style::Multiline | Style::VScroll | Style::Border, nullptr, 2000},
            {IDC_STATIC, Ctl::Static, "Visual:", 6, 157, 60, 10},
            {IDC_LIB_REVIEW_VISUAL, Ctl::ComboList, "", 70, 155, 72, 60, 0,
             "not recorded\npass\nfail"},
            {IDC_STATIC, Ctl::Static, "Bead width:", 156, 157, 54, 10},
            {IDC_LIB_REVIEW_BEAD, Ctl::Edit, "", 212, 155, 36, 13, 0, nullptr, 8},
            {IDC_STATIC, Ctl::Static, "mm", 251, 157, 16, 10},
            {IDC_STATIC, Ctl::Static, "Bend test:", 282, 157, 50, 10},
            {IDC_LIB_REVIEW_BEND, Ctl::ComboList, "", 336, 155, 72, 60, 0,
             "not recorded\npass\nfail"},
            {IDC_LIB_REVIEW_HISTORY_TITLE, Ctl::Static, "History of this joint's review:", 6, 177,
             408, 10},
            {IDC_LIB_REVIEW_HISTORY, Ctl::ListBox, "", 6, 188, 408, 77,
             Style::VScroll | Style::Border},
            {IDOK, Ctl::DefButton, "Record", 308, 272, 50, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 364, 272, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryReviewDlg::CLibraryReviewDlg(std::vector<JointRow> rows, std::vector<JointReview> history,
                                     QWidget* parent)
    : CSetupPageDlg(Template403(), parent), m_rows(std::move(rows)), m_history(std::move(history)) {
}

QString CLibraryReviewDlg::HistoryLine(const JointReview& change) {
    QString line = QStringLiteral("%1  %2 → %3  by %4")
                       .arg(LibraryTimeText(change.timeMs),
                            change.from.isEmpty() ? QStringLiteral("not reviewed") : change.from,
                            change.state, ReviewerText(change));
    const QString inspections = InspectionsText(change.inspections);
    if (!change.comment.isEmpty())
        line += QStringLiteral(": ") + change.comment;
    if (!inspections.isEmpty())
        line += QStringLiteral(" (%1)").arg(inspections);
    return SafeLine(line);
}

bool CLibraryReviewDlg::OnInitDialog() {
    for (const JointRow& row : m_rows)
        AddString(IDC_LIB_REVIEW_JOINTS,
                  SafeLine(QStringLiteral("Joint %1, %2, %3, job %4: %5, %6")
                               .arg(row.fields.jointNumber)
                               .arg(row.fields.dateTime, row.fields.machineId, row.fields.job,
                                    RowVerdictText(row), RowReviewText(row))));
    // One joint: its decision so far to start from; several: none chosen.
    const QString state = m_rows.size() == 1 ? m_rows[0].Review().state : QString();
    const int ids[] = {IDC_LIB_REVIEW_ACCEPTED, IDC_LIB_REVIEW_REJECTED, IDC_LIB_REVIEW_RETEST};
    for (int i = 0; i < 3; ++i)
        if (ReviewStates()[i] == state)
            CheckRadioButton(IDC_LIB_REVIEW_ACCEPTED, IDC_LIB_REVIEW_RETEST, ids[i]);
    SetDlgItemText(IDC_LIB_REVIEW_NAME, m_reviewer);
    SetCurSel(IDC_LIB_REVIEW_VISUAL, 0);
    SetCurSel(IDC_LIB_REVIEW_BEND, 0);
    const bool one = m_rows.size() == 1;
    SetDlgItemText(IDC_LIB_REVIEW_HISTORY_TITLE,
                   one ? QStringLiteral("History of this joint's review:")
                       : QStringLiteral("Select one joint to see the history of its review."));
    for (const JointReview& change : m_history)
        AddString(IDC_LIB_REVIEW_HISTORY, HistoryLine(change));
    if (one && m_history.empty())
        AddString(IDC_LIB_REVIEW_HISTORY, QStringLiteral("Not reviewed yet."));
    return true;
}

void CLibraryReviewDlg::OnOK() {
    const int checked = GetCheckedRadioButton(IDC_LIB_REVIEW_ACCEPTED, IDC_LIB_REVIEW_RETEST);
    if (checked == 0) {
        MessageBox(QStringLiteral("Choose accepted, rejected or re-test."), kCaption,
                   MB_ICONINFORMATION);
        return;
    }
    const QString state = ReviewStates()[checked - IDC_LIB_REVIEW_ACCEPTED];
    const QString comment = GetDlgItemText(IDC_LIB_REVIEW_COMMENT).trimmed();
    ReviewInspections inspections;
    inspections.visualPass = PassFail(GetCurSel(IDC_LIB_REVIEW_VISUAL));
    inspections.bendTestPass = PassFail(GetCurSel(IDC_LIB_REVIEW_BEND));
    const QString bead = GetDlgItemText(IDC_LIB_REVIEW_BEAD).trimmed();
    if (!bead.isEmpty()) {
        bool ok = false;
        const double mm = QLocale().toDouble(bead, &ok);
        const double c = ok ? mm : QLocale::c().toDouble(bead, &ok);
        if (!ok || !(c > 0 && c < 1000)) {
            MessageBox(QStringLiteral("The bead width is a width in millimetres, such as 12.5."),
                       kCaption, MB_ICONINFORMATION);
            return;
        }
        inspections.beadWidthMm = c;
    }
    // Every joint first: nothing is recorded for some and not for others.
    QStringList notReady, needComment;
    for (const JointRow& row : m_rows) {
        QString why;
        const ReviewBlock block = ReviewRefusal(row, state, comment, why);
        if (block == ReviewBlock::NotReady)
            notReady << why;
        else if (block == ReviewBlock::NeedsComment)
            needComment << why;
    }
    if (!notReady.isEmpty()) {
        MessageBox(notReady.join(QLatin1Char('\n')) + QStringLiteral("\n\nNothing was recorded."),
                   kCaption, MB_ICONEXCLAMATION);
        return;
    }
    if (!needComment.isEmpty()) {
        MessageBox(needComment.join(QLatin1Char('\n')) +
                       QStringLiteral("\n\nSay in the comment why it is accepted."),
                   kCaption, MB_ICONINFORMATION);
        if (QWidget* edit = GetDlgItem(IDC_LIB_REVIEW_COMMENT))
            edit->setFocus();
        return;
    }
    m_state = state;
    m_comment = comment;
    m_inspections = inspections;
    m_reviewer = GetDlgItemText(IDC_LIB_REVIEW_NAME).trimmed();
    EndDialog(IDOK);
}
