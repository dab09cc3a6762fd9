#pragma once
// The SQL that differs between the stores the library's index can live in.
// The store's logic is written once against this interface; each store has
// one dialect. SQLite's is the one there is; a server's is another class
// beside it, never a branch in the store. The search of the window filters
// loaded rows today; the full-text index that replaces it belongs here.

#include <QString>
#include <QStringList>
#include <optional>

class QSqlDatabase;

// Who made a database and in which version of its schema.
struct SchemaMark {
    qint64 application = 0;
    int version = 0;
};

class CSqlDialect {
public:
    virtual ~CSqlDialect() = default;

    // A column that numbers the rows of its table by itself.
    virtual QString IdentityColumn() const = 0;
    // Bytes kept as they are (paths that are not text, hashes).
    virtual QString BinaryType() const = 0;
    // Texts that must order byte by byte, alike in every store: the sort
    // keys (SortKey.h) and paths.
    virtual QString SortKeyType() const = 0;

    // The number of rows of a group for which `condition` holds.
    virtual QString CountIf(const QString& condition) const = 0;
    // The group's values of `expression` as one text, separated by `separator`
    // (a literal that the values cannot contain).
    virtual QString TextAggregate(const QString& expression, const QString& separator) const = 0;

    // An insert that updates `update` of the row with the same `key` instead,
    // and returns the row's `returning` column either way. An empty `update`
    // keeps the row as it was.
    virtual QString Upsert(const QString& table, const QStringList& columns, const QStringList& key,
                           const QStringList& update,
                           const QString& returning = QStringLiteral("id")) const = 0;

    // The mark of the open database; nullopt when it cannot be read.
    virtual std::optional<SchemaMark> ReadMark(QSqlDatabase& db) const = 0;
    // The statements that set the mark (run in a migration's transaction).
    virtual QStringList WriteMark(const SchemaMark& mark) const = 0;

    // The store's clock: milliseconds since 1970 in UTC. Every time stamp
    // the library keeps comes from here, never from a desk's own clock
    // when the store has one of its own.
    virtual std::optional<qint64> NowMs(QSqlDatabase& db) const = 0;

    // A number that changes whenever another connection committed; nullopt
    // where the store tells of changes by notices instead.
    virtual std::optional<qint64> ChangeCounter(QSqlDatabase& db) const = 0;

    // The statements that make `table` refuse every UPDATE and DELETE, so
    // that rows once added stay as they are.
    virtual QStringList AppendOnly(const QString& table) const = 0;

    // The name under which the reviews, kept apart from the rebuildable
    // index, are reached in SQL ("vtq_reviews.table").
    static QString ReviewsSchema() { return QStringLiteral("vtq_reviews"); }
};

// The dialect of SQLite (3.35 or later).
const CSqlDialect& SqliteDialect();
