#include "library/SqlDialect.h"

#include "platform/Clock.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

QString CSqlDialect::Upsert(const QString& table, const QStringList& columns,
                            const QStringList& key, const QStringList& update,
                            const QString& returning) const {
    QStringList marks, sets;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    for (const QString& c : update)
        sets << QStringLiteral("%1 = excluded.%1").arg(c);
    // Setting a key column to itself makes an existing row return its id.
    if (sets.isEmpty())
        sets << QStringLiteral("%1 = excluded.%1").arg(key.value(0));
    return QStringLiteral("INSERT INTO %1(%2) VALUES(%3) ON CONFLICT(%4) DO UPDATE SET %5 "
                          "RETURNING %6")
        .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")),
             key.join(QStringLiteral(", ")), sets.join(QStringLiteral(", ")), returning);
}

namespace {
std::optional<qint64> Number(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

class CSqliteDialect final : public CSqlDialect {
public:
    QString IdentityColumn() const override { return QStringLiteral("INTEGER PRIMARY KEY"); }
    QString BinaryType() const override { return QStringLiteral("BLOB"); }
    // SQLite compares texts byte by byte (BINARY) unless told otherwise.
    QString SortKeyType() const override { return QStringLiteral("TEXT"); }

    QString TextAggregate(const QString& expression, const QString& separator) const override {
        return QStringLiteral("group_concat(%1, %2)").arg(expression, separator);
    }

    QStringList AppendOnly(const QString& table) const override {
        QStringList statements;
        for (const char* what : {"UPDATE", "DELETE"})
            statements << QStringLiteral("CREATE TRIGGER %1_no_%2 BEFORE %3 ON %1 BEGIN SELECT "
                                         "RAISE(ABORT, '%1 is only ever added to'); END")
                              .arg(table, QString::fromLatin1(what).toLower(),
                                   QString::fromLatin1(what));
        return statements;
    }

    std::optional<SchemaMark> ReadMark(QSqlDatabase& db) const override {
        const auto app = Number(db, QStringLiteral("PRAGMA application_id"));
        const auto version = Number(db, QStringLiteral("PRAGMA user_version"));
        if (!app || !version)
            return std::nullopt;
        // The header keeps the id as a signed 32-bit number.
        return SchemaMark{qint64(quint32(*app)), int(*version)};
    }
    QStringList WriteMark(const SchemaMark& mark) const override {
        return {QStringLiteral("PRAGMA application_id = %1").arg(qint32(quint32(mark.application))),
                QStringLiteral("PRAGMA user_version = %1").arg(mark.version)};
    }

    // An embedded store has no clock but the host's.
    std::optional<qint64> NowMs(QSqlDatabase&) const override { return CurrentTimeMs(); }

    // Each attached file counts its own commits: the reviews' count too, so
    // that a review made elsewhere is seen.
    std::optional<qint64> ChangeCounter(QSqlDatabase& db) const override {
        const std::optional<qint64> index = Number(db, QStringLiteral("PRAGMA data_version"));
        const std::optional<qint64> reviews =
            Number(db, QStringLiteral("PRAGMA %1.data_version").arg(ReviewsSchema()));
        if (!index)
            return std::nullopt;
        return *index + reviews.value_or(0);
    }
    QString ChangeNotice() const override { return QString(); }

    // A transaction's reads see one snapshot once it has begun (WAL).
    QStringList SnapshotReads() const override { return {}; }

    // Each version's folded texts are indexed by their trigrams (FTS5,
    // which SQLite has since 3.34), kept by triggers so that every writer,
    // also a later program's SQL, keeps it right. The texts are folded
    // already: the trigrams are taken as they stand.
    bool MakeSearchIndex(QSqlDatabase& db, QString&, QString& error) const override {
        const QString add = QStringLiteral("INSERT INTO versions_text(rowid, job_fold, "
                                           "search_fold) VALUES(new.id, new.job_fold, "
                                           "new.search_fold);");
        const QString remove = QStringLiteral("INSERT INTO versions_text(versions_text, rowid, "
                                              "job_fold, search_fold) VALUES('delete', old.id, "
                                              "old.job_fold, old.search_fold);");
        const QStringList statements{
            QStringLiteral("CREATE VIRTUAL TABLE versions_text USING fts5(job_fold, search_fold, "
                           "content='versions', content_rowid='id', tokenize='trigram "
                           "case_sensitive 1')"),
            QStringLiteral("CREATE TRIGGER versions_text_added AFTER INSERT ON versions BEGIN %1 "
                           "END")
                .arg(add),
            QStringLiteral("CREATE TRIGGER versions_text_removed AFTER DELETE ON versions BEGIN "
                           "%1 END")
                .arg(remove),
            QStringLiteral("CREATE TRIGGER versions_text_changed AFTER UPDATE OF id, job_fold, "
                           "search_fold ON versions BEGIN %1 %2 END")
                .arg(remove, add),
            // The versions an older index holds already.
            QStringLiteral("INSERT INTO versions_text(versions_text) VALUES('rebuild')")};
        QSqlQuery q(db);
        for (const QString& s : statements)
            if (!q.exec(s)) {
                error =
                    s.section(QLatin1Char(' '), 0, 2) + QStringLiteral(": ") + q.lastError().text();
                return false;
            }
        return true;
    }

    // Texts of three characters or more are looked up by their trigrams;
    // shorter ones (no trigram) and a NUL (which ends a text for SQLite's
    // LIKE) are read by LIKE alone, as before.
    QString Contains(const QString& joint, const QString& version, const QString& column,
                     const QString& folded, QVariantList& values) const override {
        const QString like = CSqlDialect::Contains(joint, version, column, folded, values);
        if (folded.toUcs4().size() < 3 || folded.contains(QChar(0)))
            return like;
        QString phrase = folded;
        values.insert(values.size() - 1,
                      QStringLiteral("%1 : \"%2\"")
                          .arg(column, phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""))));
        // By the joint: its id is the key the rest of the query goes by.
        return QStringLiteral("%1.id IN (SELECT joint_id FROM versions WHERE id IN (SELECT rowid "
                              "FROM versions_text WHERE versions_text MATCH ?)) AND %2")
            .arg(joint, like);
    }

    QString IdIn(const QString& column) const override {
        return QStringLiteral("%1 IN (SELECT value FROM json_each(?))").arg(column);
    }
    QVariant IdList(const QList<qint64>& ids) const override {
        QStringList numbers;
        for (qint64 id : ids)
            numbers << QString::number(id);
        return QStringLiteral("[%1]").arg(numbers.join(QLatin1Char(',')));
    }
};
} // namespace

const CSqlDialect& SqliteDialect() {
    static const CSqliteDialect dialect;
    return dialect;
}

QStringList ReviewsSchemaStep(const CSqlDialect& d, int step, const QString& schema) {
    const QString history = CSqlDialect::ReviewHistory();
    const QString table = schema.isEmpty() ? history : schema + QLatin1Char('.') + history;
    switch (step) {
    case 0: // the file marked as ours
        return {QStringLiteral("CREATE TABLE %1reviews_meta(key TEXT PRIMARY KEY, value TEXT NOT "
                               "NULL)")
                    .arg(schema.isEmpty() ? QString() : schema + QLatin1Char('.'))};
    case 1: {
        // Only ever added to: a joint's review is its row with the highest
        // revision, and two changes made on the same revision cannot both
        // be kept.
        QStringList statements{
            QStringLiteral(
                "CREATE TABLE %1(id %2, machine_id TEXT NOT NULL, date_time TEXT NOT NULL, "
                "joint_number INTEGER NOT NULL, revision INTEGER NOT NULL CHECK (revision > 0), "
                "changed_at BIGINT NOT NULL, reviewer TEXT NOT NULL, os_user TEXT NOT NULL, host "
                "TEXT NOT NULL, from_state TEXT NOT NULL, to_state TEXT NOT NULL CHECK (to_state "
                "IN ('accepted', 'rejected', 're-test')), comment TEXT NOT NULL, visual INTEGER, "
                "bead_width_mm DOUBLE PRECISION, bend INTEGER, sha256 %3 NOT NULL, verdict TEXT "
                "NOT NULL, procedure_hash TEXT NOT NULL, UNIQUE(machine_id, date_time, "
                "joint_number, revision))")
                .arg(table, d.IdentityColumn(), d.BinaryType())};
        return statements + d.AppendOnly(table);
    }
    default:
        return {};
    }
}
