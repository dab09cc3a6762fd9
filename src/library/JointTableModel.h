#pragma once
// The window's table: rows loaded from the index, filtered and sorted in
// memory. It never looks at the file system.

#include "library/JointTable.h"

#include <QAbstractTableModel>

class CJointTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<JointRow> rows);
    void SetFilter(const JointFilter& filter);
    const JointFilter& Filter() const { return m_filter; }
    const JointRow& Row(int row) const { return m_all[m_shown[size_t(row)]]; }
    int Total() const { return int(m_all.size()); }
    const std::vector<JointRow>& All() const { return m_all; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void Apply();

    std::vector<JointRow> m_all;
    std::vector<size_t> m_shown;
    JointFilter m_filter;
    int m_nSortColumn = JC_DATE_TIME;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};
