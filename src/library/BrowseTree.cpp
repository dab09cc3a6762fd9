#include "library/BrowseTree.h"

#include "library/SortKey.h"

#include <QHeaderView>
#include <map>

namespace {
constexpr int kChoiceRole = Qt::UserRole;

QString Label(const QString& value, int joints, const QString& none) {
    return QStringLiteral("%1  (%2)").arg(value.isEmpty() ? none : SafeLine(value)).arg(joints);
}

// Natural order ("Job 9" before "Job 10", any case), as the table sorts.
template <typename T, typename Key> void NaturalSort(std::vector<T>& items, Key key) {
    std::sort(items.begin(), items.end(), [&](const T& a, const T& b) {
        const QByteArray ka = SortKeyBytes(TextSortKey(key(a)));
        const QByteArray kb = SortKeyBytes(TextSortKey(key(b)));
        return ka != kb ? ka < kb : key(a) < key(b);
    });
}
} // namespace

BrowseFacts BrowseFactsOf(const std::vector<JointRow>& rows) {
    BrowseFacts facts;
    std::map<QString, std::map<QString, int>> jobs;
    std::map<QString, int> machines;
    for (const JointRow& r : rows) {
        if (r.id <= 0)
            continue;
        ++facts.joints;
        ++jobs[r.fields.job][r.fields.dateTime.left(10)];
        ++machines[r.fields.machineId];
    }
    for (const auto& [job, days] : jobs) {
        BrowseFacts::Job j{job, 0, {}};
        for (auto d = days.rbegin(); d != days.rend(); ++d) {
            j.days.push_back({d->first, d->second});
            j.joints += d->second;
        }
        facts.jobs.push_back(std::move(j));
    }
    for (const auto& [machine, count] : machines)
        facts.machines.push_back({machine, count});
    NaturalSort(facts.jobs, [](const BrowseFacts::Job& j) { return j.job; });
    NaturalSort(facts.machines, [](const BrowseFacts::Count& c) { return c.value; });
    return facts;
}

CBrowseTree::CBrowseTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    m_pAll = new QTreeWidgetItem(this, {QStringLiteral("Every joint")});
    m_pJobs = new QTreeWidgetItem(this, {QStringLiteral("Jobs")});
    m_pMachines = new QTreeWidgetItem(this, {QStringLiteral("Machines")});
    for (QTreeWidgetItem* top : {m_pAll, m_pJobs, m_pMachines}) {
        QFont bold = top->font(0);
        bold.setBold(true);
        top->setFont(0, bold);
    }
    m_pJobs->setFlags(m_pJobs->flags() & ~Qt::ItemIsSelectable);
    m_pMachines->setFlags(m_pMachines->flags() & ~Qt::ItemIsSelectable);
    m_pAll->setData(0, kChoiceRole, BrowseChoice().Text());
    m_pJobs->setExpanded(true);
    m_pAll->setSelected(true);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this]() {
        if (m_bFilling)
            return;
        const QList<QTreeWidgetItem*> items = selectedItems();
        const BrowseChoice choice =
            items.isEmpty() ? BrowseChoice()
                            : BrowseChoice::FromText(items[0]->data(0, kChoiceRole).toString());
        if (choice == m_choice)
            return;
        m_choice = choice;
        Q_EMIT Chosen(m_choice);
    });
}

QTreeWidgetItem* CBrowseTree::ItemOf(const BrowseChoice& choice) const {
    const QString text = choice.Text();
    for (QTreeWidgetItemIterator it(const_cast<CBrowseTree*>(this)); *it; ++it)
        if ((*it)->data(0, kChoiceRole).toString() == text &&
            ((*it)->flags() & Qt::ItemIsSelectable))
            return *it;
    return nullptr;
}

void CBrowseTree::SetFacts(const BrowseFacts& facts) {
    m_bFilling = true;
    QSet<QString> open;
    for (int i = 0; i < m_pJobs->childCount(); ++i)
        if (m_pJobs->child(i)->isExpanded())
            open.insert(m_pJobs->child(i)->data(0, kChoiceRole).toString());
    qDeleteAll(m_pJobs->takeChildren());
    qDeleteAll(m_pMachines->takeChildren());
    m_pAll->setText(0, Label(QStringLiteral("Every joint"), facts.joints, QString()));
    m_pJobs->setText(0, QStringLiteral("Jobs  (%1)").arg(facts.jobs.size()));
    m_pMachines->setText(0, QStringLiteral("Machines  (%1)").arg(facts.machines.size()));
    for (const BrowseFacts::Job& job : facts.jobs) {
        BrowseChoice c{BrowseChoice::Job, job.job, QString()};
        auto* item =
            new QTreeWidgetItem(m_pJobs, {Label(job.job, job.joints, QStringLiteral("(no job)"))});
        item->setData(0, kChoiceRole, c.Text());
        for (const BrowseFacts::Count& day : job.days) {
            c.day = day.value;
            auto* d = new QTreeWidgetItem(
                item, {Label(day.value, day.joints, QStringLiteral("(no date)"))});
            d->setData(0, kChoiceRole, c.Text());
        }
        item->setExpanded(open.contains(item->data(0, kChoiceRole).toString()));
    }
    for (const BrowseFacts::Count& m : facts.machines) {
        auto* item = new QTreeWidgetItem(
            m_pMachines, {Label(m.value, m.joints, QStringLiteral("(no machine)"))});
        item->setData(0, kChoiceRole,
                      BrowseChoice{BrowseChoice::Machine, m.value, QString()}.Text());
    }
    // What was chosen stays chosen while it is there; a place that is gone
    // keeps filtering (it may come back with the next scan) but shows no
    // selection.
    clearSelection();
    if (QTreeWidgetItem* item = ItemOf(m_choice)) {
        setCurrentItem(item);
        item->setSelected(true);
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
    }
    m_bFilling = false;
}

void CBrowseTree::Choose(const BrowseChoice& choice) {
    m_bFilling = true;
    clearSelection();
    QTreeWidgetItem* item = ItemOf(choice);
    if (item) {
        setCurrentItem(item);
        item->setSelected(true);
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
        scrollToItem(item);
    }
    m_bFilling = false;
    if (choice != m_choice) {
        m_choice = choice;
        Q_EMIT Chosen(m_choice);
    }
}
