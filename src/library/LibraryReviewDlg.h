#pragma once
// "Review...": one decision for the selected joints (one or several), with
// the reviewer's name, a comment and the inspections a data log cannot
// show, and the history of the review when one joint is selected. OK checks
// every joint first: one not ready for review is named and nothing is
// recorded; accepting a joint whose verdict is not pass asks for a comment.
// Touches no file and no store: the window records what OK gives.

#include "framework/SetupPageDlg.h"
#include "library/LibraryStore.h"

#include <vector>

class CLibraryReviewDlg : public CSetupPageDlg {
public:
    CLibraryReviewDlg(std::vector<JointRow> rows, std::vector<JointReview> history,
                      QWidget* parent);
    static const DlgTemplate& Template403();

    bool OnInitDialog() override;
    void OnOK() override;

    // The name typed; given to start with (the last one typed).
    QString m_reviewer;
    // Set by OK.
    QString m_state;
    QString m_comment;
    ReviewInspections m_inspections;

    // One change of the history as the dialog and the window list it.
    static QString HistoryLine(const JointReview& change);

private:
    std::vector<JointRow> m_rows;
    std::vector<JointReview> m_history;
};
