#pragma once
// The SQL that differs between the stores the library's index can live in.
// The store's logic is written once against this interface; each store has
// one dialect: SQLite's (SqlDialect.cpp) and PostgreSQL's
// (PostgresIndex.cpp, with the rest of what only a server has: its
// catalog, sessions, advisory locks), never a branch in the store.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class QSqlDatabase;

// Who made a database and in which version of its schema.
struct SchemaMark {
    qint64 application = 0;
    int version = 0;
    int major = 0; // where a store keeps one: builds open any version of their major
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
    virtual QString CountIf(const QString& condition) const {
        return QStringLiteral("count(*) FILTER (WHERE %1)").arg(condition);
    }
    // The group's values of `expression` as one text, separated by `separator`
    // (a literal that the values cannot contain).
    virtual QString TextAggregate(const QString& expression, const QString& separator) const = 0;

    // An insert that updates `update` of the row with the same `key` instead,
    // and returns the row's `returning` column either way. An empty `update`
    // keeps the row as it was. (Both stores know ON CONFLICT ... RETURNING.)
    virtual QString Upsert(const QString& table, const QStringList& columns, const QStringList& key,
                           const QStringList& update,
                           const QString& returning = QStringLiteral("id")) const;

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
    // The statement that tells listeners of a commit, run inside the
    // transaction (the server sends it when the transaction commits, once
    // however often it ran); empty where there are no notices.
    virtual QString ChangeNotice() const = 0;

    // Statements run right after BEGIN so that every read of the
    // transaction sees one state of the index.
    virtual QStringList SnapshotReads() const = 0;

    // A condition true when `column` is one of the ids bound as IdList(ids).
    virtual QString IdIn(const QString& column) const = 0;
    virtual QVariant IdList(const QList<qint64>& ids) const = 0;

    // A condition true when the folded text `column` (job_fold or
    // search_fold) of the version `version`, current version of the joint
    // `joint`, contains `folded` (already folded by the caller), its values
    // added to `values`: exactly what LIKE finds, of any length and any
    // characters. A store with an index of the texts' trigrams reads only
    // the versions it names; the LIKE decides.
    virtual QString Contains(const QString& joint, const QString& version, const QString& column,
                             const QString& folded, QVariantList& values) const {
        Q_UNUSED(joint);
        values << ContainsPattern(folded);
        return version + QLatin1Char('.') + column + QStringLiteral(" LIKE ? ESCAPE '\\'");
    }
    static QString ContainsPattern(QString text) {
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        return QLatin1Char('%') + text + QLatin1Char('%');
    }
    // Makes the index Contains reads (in a migration's transaction): false,
    // with `error`, when it fails; true with `note` said when the store
    // goes without it (a server whose login may not make its extension),
    // its searches then reading every version.
    virtual bool MakeSearchIndex(QSqlDatabase& db, QString& note, QString& error) const = 0;

    // The statements that make `table` refuse every UPDATE and DELETE, so
    // that rows once added stay as they are.
    virtual QStringList AppendOnly(const QString& table) const = 0;

    // The name under which the reviews, kept apart from the rebuildable
    // index, are reached in SQL ("vtq_reviews.table").
    static QString ReviewsSchema() { return QStringLiteral("vtq_reviews"); }
    // The reviews' history: only ever added to.
    static QString ReviewHistory() { return QStringLiteral("review_history"); }
};

// The steps that make the reviews what they are now, in `dialect`, their
// tables in `schema` (a server's) or unqualified (the reviews file); step i
// brings version i to i + 1 and is never changed.
QStringList ReviewsSchemaStep(const CSqlDialect& dialect, int step,
                              const QString& schema = QString());

// The dialect of SQLite (3.35 or later).
const CSqlDialect& SqliteDialect();
// The dialect of PostgreSQL (15).
const CSqlDialect& PostgresDialect();
