#include "library/JointTableModel.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QHash>
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

namespace {
// Whether the column's texts repeat from row to row (a job, a machine, a
// verdict), rather than differ in nearly every row (a time, notes, files).
bool FewValues(int column) {
    switch (column) {
    case JC_DATE_TIME:
    case JC_NOTES:
    case JC_FILES:
    case JC_ID:
    case JC_VERDICT_NOTE:
    case JC_REVIEW_COMMENT:
        return false;
    default:
        return true;
    }
}

// The rows' indexes ordered by the column; rows alike keep the order they
// were read in (by time), either way up.
std::vector<quint32> OrderOf(const std::vector<JointRow>& rows, int column, Qt::SortOrder order) {
    std::vector<quint32> sorted(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        sorted[i] = quint32(i);
    const bool up = order == Qt::AscendingOrder;
    const auto sortBy = [&](const auto& keys) {
        std::sort(sorted.begin(), sorted.end(), [&](quint32 a, quint32 b) {
            if (keys[a] == keys[b])
                return a < b;
            return up == (keys[a] < keys[b]);
        });
    };
    if (IsNumberColumn(column)) {
        std::vector<double> keys(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            keys[i] = JointCellNumber(rows[i], column);
        sortBy(keys);
    } else if (!FewValues(column)) {
        std::vector<QByteArray> keys(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            keys[i] = JointCellSortKey(rows[i], column);
        sortBy(keys);
    } else {
        // Each of the few keys is ordered once; the rows then sort by its
        // rank, a number, which a large library's table sorts far sooner.
        QHash<QByteArray, quint32> distinct;
        std::vector<QByteArray> texts;
        std::vector<quint32> keys(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const QByteArray key = JointCellSortKey(rows[i], column);
            auto at = distinct.constFind(key);
            if (at == distinct.cend()) {
                at = distinct.insert(key, quint32(texts.size()));
                texts.push_back(key);
            }
            keys[i] = *at;
        }
        std::vector<quint32> byText(texts.size());
        for (size_t t = 0; t < texts.size(); ++t)
            byText[t] = quint32(t);
        std::sort(byText.begin(), byText.end(),
                  [&](quint32 a, quint32 b) { return texts[a] < texts[b]; });
        std::vector<quint32> rank(texts.size());
        for (size_t r = 0; r < byText.size(); ++r)
            rank[byText[r]] = quint32(r);
        for (quint32& k : keys)
            k = rank[k];
        sortBy(keys);
    }
    return sorted;
}

// Whether `after` keeps only rows that `before` keeps: the same filter
// with a search that holds the one before.
bool Narrower(const JointFilter& before, const JointFilter& after) {
    JointFilter same = after;
    same.search = before.search;
    return same == before && !before.search.isEmpty() &&
           SearchNeedle(after.search).contains(SearchNeedle(before.search));
}
} // namespace

JointTableRows PrepareJointRows(std::vector<JointRow> rows, int column, Qt::SortOrder order) {
    JointTableRows ready;
    ready.searchText.reserve(rows.size());
    for (const JointRow& row : rows)
        ready.searchText.push_back(SearchText(row));
    ready.order = OrderOf(rows, column, order);
    ready.sortColumn = column;
    ready.sortOrder = order;
    ready.rows = std::move(rows);
    return ready;
}

void CJointTableModel::SetRows(std::vector<JointRow> rows) {
    SetRows(PrepareJointRows(std::move(rows), m_rows.sortColumn, m_rows.sortOrder));
}

void CJointTableModel::SetRows(JointTableRows rows) {
    const int column = m_rows.sortColumn;
    const Qt::SortOrder order = m_rows.sortOrder;
    m_rows = std::move(rows);
    // Made for another order than the one asked for meanwhile.
    if (m_rows.sortColumn != column || m_rows.sortOrder != order) {
        m_rows.order = OrderOf(m_rows.rows, column, order);
        m_rows.sortColumn = column;
        m_rows.sortOrder = order;
    }
    Apply();
}

void CJointTableModel::SetFilter(const JointFilter& filter) {
    const bool narrower = Narrower(m_filter, filter);
    m_filter = filter;
    Apply(narrower);
}

void CJointTableModel::Apply(bool narrower) {
    beginResetModel();
    // Every test but the search's on the row itself; the search in the
    // texts made ready for it.
    JointFilter facts = m_filter;
    facts.search.clear();
    const QByteArray needle = SearchNeedle(m_filter.search);
    std::vector<quint32> shown;
    for (quint32 i : narrower ? m_shown : m_rows.order)
        if ((needle.isEmpty() || m_rows.searchText[i].contains(needle)) &&
            facts.Matches(m_rows.rows[i]))
            shown.push_back(i);
    m_shown = std::move(shown);
    endResetModel();
    Q_EMIT Loaded();
}

int CJointTableModel::RowOfJoint(qint64 id) const {
    for (size_t r = 0; r < m_shown.size(); ++r)
        if (m_rows.rows[m_shown[r]].id == id)
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
    if (column == m_rows.sortColumn && order == m_rows.sortOrder)
        return;
    m_rows.order = OrderOf(m_rows.rows, column, order);
    m_rows.sortColumn = column;
    m_rows.sortOrder = order;
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
            return row.Review().state + QStringLiteral(" (report changed)");
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
        const QString& state = row.Review().state;
        if (row.ReviewChanged())
            return QBrush(QColor(0x70, 0x70, 0x70));
        if (state == QLatin1String("accepted"))
            return QBrush(QColor(0x10, 0x80, 0x30));
        if (state == QLatin1String("rejected"))
            return QBrush(QColor(0xb0, 0x00, 0x20));
        if (state == QLatin1String("re-test"))
            return QBrush(QColor(0xa0, 0x60, 0x00));
    }
    if (role == Qt::ToolTipRole && index.column() == JC_REVIEW && !row.Review().state.isEmpty())
        return SafeLine(QStringLiteral("%1 by %2, %3%4")
                            .arg(RowReviewText(row), ReviewerText(row.Review()),
                                 LibraryTimeText(row.Review().timeMs),
                                 row.Review().comment.isEmpty()
                                     ? QString()
                                     : QStringLiteral(": ") + row.Review().comment));
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
