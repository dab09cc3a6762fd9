#pragma once
// The window's table of joints. It never looks at the file system: its rows
// come from the index, and what it gives a drag (the files' places) is what
// the index says.

#include "library/JointTable.h"

#include <QAbstractTableModel>

// Rows read for the table and made ready to show, on a worker when they
// are many: the texts a search looks in, and the rows' order by a column.
struct JointTableRows {
    std::vector<JointRow> rows;
    std::vector<QByteArray> searchText; // SearchText of each row
    int sortColumn = JC_DATE_TIME;
    Qt::SortOrder sortOrder = Qt::DescendingOrder;
    std::vector<quint32> order; // the rows' indexes in that order
};
JointTableRows PrepareJointRows(std::vector<JointRow> rows, int column, Qt::SortOrder order);

class CJointTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Every row of the index; the filter and the order choose what shows.
    void SetRows(std::vector<JointRow> rows);
    void SetRows(JointTableRows rows);
    void SetFilter(const JointFilter& filter);
    const JointFilter& Filter() const { return m_filter; }
    const JointRow& Row(int row) const { return m_rows.rows[m_shown[size_t(row)]]; }
    // Every row of the index, shown or not.
    const std::vector<JointRow>& AllRows() const { return m_rows.rows; }
    int Total() const { return int(m_rows.rows.size()); }
    // The row that shows the joint (its id), or -1.
    int RowOfJoint(qint64 id) const;
    int SortColumn() const { return m_rows.sortColumn; }
    Qt::SortOrder SortOrder() const { return m_rows.sortOrder; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The present copies of the rows, as file URLs (and their paths as text).
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // Dragged out, a report is copied, never moved away from its folder.
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

Q_SIGNALS:
    // The rows shown were read anew (a filter, an order, a reload).
    void Loaded();

private:
    // Shows the rows the filter keeps, in the order; only those shown now
    // are tested again when `narrower` (the search grew).
    void Apply(bool narrower = false);

    JointTableRows m_rows;
    std::vector<quint32> m_shown;
    JointFilter m_filter;
};

// The present copy of a joint that is read or opened first: its path as
// the index has it (bytes), or empty when no copy is present.
QByteArray PresentCopy(const JointRow& row);
