#pragma once
// The browse tree beside the library's table: every joint, each job with
// the days it was worked on, and each machine, with their counts. Choosing
// a place filters the table to it. Fed with what the index says; touches
// no file.

#include "library/JointTable.h"

#include <QTreeWidget>
#include <vector>

// Counts of the joints by job and day, and by machine.
struct BrowseFacts {
    struct Count {
        QString value;
        int joints = 0;
    };
    struct Job {
        QString job;
        int joints = 0;
        std::vector<Count> days; // "yyyy-MM-dd", newest first
    };
    int joints = 0;
    std::vector<Job> jobs;       // in natural order
    std::vector<Count> machines; // in natural order
};

// The facts of these rows (unreadable files are no joint).
BrowseFacts BrowseFactsOf(const std::vector<JointRow>& rows);

class CBrowseTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CBrowseTree(QWidget* parent = nullptr);

    // Shows the facts, keeping what was open and chosen where it still is.
    void SetFacts(const BrowseFacts& facts);
    BrowseChoice Choice() const { return m_choice; }
    // Chooses a place (the settings' one at start); "every joint" where it
    // is not in the tree.
    void Choose(const BrowseChoice& choice);

Q_SIGNALS:
    void Chosen(const BrowseChoice& choice);

private:
    QTreeWidgetItem* ItemOf(const BrowseChoice& choice) const;
    QTreeWidgetItem* m_pAll = nullptr;
    QTreeWidgetItem* m_pJobs = nullptr;
    QTreeWidgetItem* m_pMachines = nullptr;
    BrowseChoice m_choice;
    bool m_bFilling = false;
};
