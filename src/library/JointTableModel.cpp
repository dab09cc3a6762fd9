#include "library/JointTableModel.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QMimeData>
#include <QSet>
#include <QUrl>
#include <algorithm>

QByteArray PresentCopy(const JointRow& row) {
    for (const JointFile& f : row.copies)
        if (f.status == QLatin1String("present") && !f.path.isEmpty())
            return f.path;
    return QByteArray();
}

void CJointTableModel::SetRows(std::vector<JointRow> rows) {
    m_all = std::move(rows);
    Apply();
}

void CJointTableModel::SetFilter(const JointFilter& filter) {
    m_filter = filter;
    Apply();
}

void CJointTableModel::Apply() {
    beginResetModel();
    m_shown.clear();
    for (size_t i = 0; i < m_all.size(); ++i)
        if (m_filter.Matches(m_all[i]))
            m_shown.push_back(i);
    const int column = m_nSortColumn;
    const bool up = m_sortOrder == Qt::AscendingOrder;
    std::stable_sort(m_shown.begin(), m_shown.end(), [&](size_t a, size_t b) {
        const QVariant va = JointCellSortValue(m_all[a], column);
        const QVariant vb = JointCellSortValue(m_all[b], column);
        const auto order = QVariant::compare(va, vb);
        return up ? order == QPartialOrdering::Less : order == QPartialOrdering::Greater;
    });
    endResetModel();
    Q_EMIT Loaded();
}

int CJointTableModel::RowOfJoint(qint64 id) const {
    for (size_t r = 0; r < m_shown.size(); ++r)
        if (m_all[m_shown[r]].id == id)
            return int(r);
    return -1;
}

Qt::ItemFlags CJointTableModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) |
           (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList CJointTableModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

QMimeData* CJointTableModel::mimeData(const QModelIndexList& indexes) const {
    QSet<int> rows;
    QList<QUrl> urls;
    QStringList paths;
    for (const QModelIndex& i : indexes) {
        if (!i.isValid() || rows.contains(i.row()))
            continue;
        rows.insert(i.row());
        const QByteArray path = PresentCopy(Row(i.row()));
        if (path.isEmpty())
            continue;
        urls << QUrl::fromLocalFile(QFile::decodeName(path));
        paths << QFile::decodeName(path);
    }
    if (urls.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setText(paths.join(QLatin1Char('\n')));
    return mime;
}

void CJointTableModel::sort(int column, Qt::SortOrder order) {
    m_nSortColumn = column;
    m_sortOrder = order;
    Apply();
}

int CJointTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

int CJointTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : JC_COUNT;
}

QVariant CJointTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const JointRow& row = Row(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() == JC_REVIEW && row.ReviewChanged())
            return row.review.state + QStringLiteral(" (report changed)");
        return SafeLine(index.column() == JC_VERDICT ? RowVerdictText(row)
                                                     : JointCellText(row, index.column()));
    }
    if (role == Qt::ForegroundRole) {
        if (index.column() == JC_STATUS) {
            if (row.status == QLatin1String("missing") || row.status == QLatin1String("unreadable"))
                return QBrush(QColor(0xb0, 0x00, 0x20));
            if (row.status == QLatin1String("offline"))
                return QBrush(QColor(0x70, 0x70, 0x70));
        }
        if (index.column() == JC_VERDICT) {
            // Only a current verdict has its colour; one that is not
            // current, and a joint not judged, are grey.
            const QString verdict = RowVerdict(row);
            if (verdict == QLatin1String("pass"))
                return QBrush(QColor(0x10, 0x80, 0x30));
            if (verdict == QLatin1String("fail"))
                return QBrush(QColor(0xb0, 0x00, 0x20));
            if (verdict == QLatin1String("incomplete"))
                return QBrush(QColor(0xa0, 0x60, 0x00));
            return QBrush(QColor(0x70, 0x70, 0x70));
        }
    }
    if (role == Qt::ForegroundRole && index.column() == JC_REVIEW) {
        const QString& state = row.review.state;
        if (row.ReviewChanged())
            return QBrush(QColor(0x70, 0x70, 0x70));
        if (state == QLatin1String("accepted"))
            return QBrush(QColor(0x10, 0x80, 0x30));
        if (state == QLatin1String("rejected"))
            return QBrush(QColor(0xb0, 0x00, 0x20));
        if (state == QLatin1String("re-test"))
            return QBrush(QColor(0xa0, 0x60, 0x00));
    }
    if (role == Qt::ToolTipRole && index.column() == JC_REVIEW && !row.review.state.isEmpty())
        return SafeLine(QStringLiteral("%1 by %2, %3%4")
                            .arg(RowReviewText(row), ReviewerText(row.review),
                                 LibraryTimeText(row.review.timeMs),
                                 row.review.comment.isEmpty()
                                     ? QString()
                                     : QStringLiteral(": ") + row.review.comment));
    if (role == Qt::FontRole &&
        ((index.column() == JC_VERDICT && RowVerdict(row) == QLatin1String("not-current")) ||
         (index.column() == JC_REVIEW && row.ReviewChanged()))) {
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    if (role == Qt::ToolTipRole && index.column() == JC_VERDICT)
        return SafeLine(RowVerdictNote(row));
    if (role == Qt::ToolTipRole && index.column() == JC_FILES) {
        QStringList files;
        for (const QString& f : row.files)
            files << SafeLine(f);
        return files.join(QLatin1Char('\n'));
    }
    return {};
}

QVariant CJointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < JC_COUNT)
        return JointColumnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
