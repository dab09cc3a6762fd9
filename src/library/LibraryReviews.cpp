// The reviews of the library's store: every SQL statement that touches them
// is here, plain and the same in every dialect but for the one spot that
// protects the history (CSqlDialect::AppendOnly).
#include "library/LibraryStore.h"
#include "library/SqliteIndexFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <pwd.h>
#include <unistd.h>

namespace {
QString Table() {
    return CSqlDialect::ReviewsSchema() + QLatin1Char('.') + CSqlDialect::ReviewHistory();
}

const QString kColumns = QStringLiteral(
    "machine_id, date_time, joint_number, revision, changed_at, reviewer, os_user, host, "
    "from_state, to_state, comment, visual, bead_width_mm, bend, sha256, verdict, "
    "procedure_hash");

QVariant Optional(const std::optional<bool>& value) {
    return value ? QVariant(*value ? 1 : 0) : QVariant(QMetaType(QMetaType::Int));
}
QVariant Optional(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}
QString Text(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

JointReview ReviewOf(const QSqlQuery& q) {
    JointReview r;
    r.machineId = q.value(0).toString();
    r.dateTime = q.value(1).toString();
    r.jointNumber = q.value(2).toInt();
    r.revision = q.value(3).toInt();
    r.timeMs = q.value(4).toLongLong();
    r.reviewer = q.value(5).toString();
    r.user = q.value(6).toString();
    r.host = q.value(7).toString();
    r.from = q.value(8).toString();
    r.state = q.value(9).toString();
    r.comment = q.value(10).toString();
    if (!q.value(11).isNull())
        r.inspections.visualPass = q.value(11).toInt() != 0;
    if (!q.value(12).isNull())
        r.inspections.beadWidthMm = q.value(12).toDouble();
    if (!q.value(13).isNull())
        r.inspections.bendTestPass = q.value(13).toInt() != 0;
    r.sha256 = q.value(14).toByteArray();
    r.verdict = q.value(15).toString();
    r.procedureHash = q.value(16).toString();
    return r;
}

// The system user this program runs as, by its account (not by what the
// environment claims).
QString SystemUser() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(geteuid());
}
} // namespace

QStringList ReviewStates() {
    return {QStringLiteral("accepted"), QStringLiteral("rejected"), QStringLiteral("re-test")};
}

QString ReviewerText(const JointReview& review) {
    const QString who = review.user + QLatin1Char('@') + review.host;
    return review.reviewer.trimmed().isEmpty()
               ? who
               : QStringLiteral("%1 (%2)").arg(review.reviewer.trimmed(), who);
}

QString InspectionsText(const ReviewInspections& i) {
    QStringList parts;
    const auto passFail = [](bool pass) {
        return pass ? QStringLiteral("pass") : QStringLiteral("fail");
    };
    if (i.visualPass)
        parts << QStringLiteral("visual inspection %1").arg(passFail(*i.visualPass));
    if (i.beadWidthMm)
        parts << QStringLiteral("bead width %1 mm").arg(*i.beadWidthMm, 0, 'g', 6);
    if (i.bendTestPass)
        parts << QStringLiteral("bend test %1").arg(passFail(*i.bendTestPass));
    return parts.join(QStringLiteral("; "));
}

std::optional<std::vector<JointReview>> CLibraryStore::CurrentReviews() {
    std::vector<JointReview> reviews;
    if (!m_bReviews)
        return reviews;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 h WHERE h.revision = (SELECT max(l.revision) "
                               "FROM %2 l WHERE l.machine_id = h.machine_id AND l.date_time = "
                               "h.date_time AND l.joint_number = h.joint_number)")
                    .arg(kColumns, Table()))) {
        Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
        return std::nullopt;
    }
    while (q.next())
        reviews.push_back(ReviewOf(q));
    return reviews;
}

std::optional<std::vector<JointReview>> CLibraryStore::ReviewHistory(const JointReview* joint) {
    std::vector<JointReview> changes;
    if (!m_bReviews)
        return changes;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY changed_at, id")
                            .arg(kColumns, Table(),
                                 joint ? QStringLiteral(" WHERE machine_id = ? AND date_time = ? "
                                                        "AND joint_number = ?")
                                       : QString());
    bool ok = q.prepare(sql);
    if (ok && joint) {
        q.addBindValue(Text(joint->machineId));
        q.addBindValue(Text(joint->dateTime));
        q.addBindValue(joint->jointNumber);
    }
    if (!ok || !q.exec()) {
        Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
        return std::nullopt;
    }
    while (q.next())
        changes.push_back(ReviewOf(q));
    return changes;
}

bool CLibraryStore::LatestReview(const JointReview& joint, JointReview& latest) {
    QSqlQuery q(m_db);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE machine_id = ? AND date_time = ? AND "
                                  "joint_number = ? ORDER BY revision DESC LIMIT 1")
                       .arg(kColumns, Table())))
        return Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
    q.addBindValue(Text(joint.machineId));
    q.addBindValue(Text(joint.dateTime));
    q.addBindValue(joint.jointNumber);
    if (!q.exec())
        return Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
    latest = JointReview();
    latest.machineId = joint.machineId;
    latest.dateTime = joint.dateTime;
    latest.jointNumber = joint.jointNumber;
    if (q.next())
        latest = ReviewOf(q);
    return true;
}

CLibraryStore::ReviewOutcome CLibraryStore::AddReview(JointReview& change, JointReview& current) {
    if (!m_bReviews) {
        if (m_reviewsBlocked.isEmpty())
            Fail(QStringLiteral("reviews"),
                 QStringLiteral("the reviews file is not open for writing"));
        else
            m_message = m_reviewsBlocked;
        return ReviewOutcome::Failed;
    }
    if (!ReviewStates().contains(change.state)) {
        Fail(QStringLiteral("reviews"), QStringLiteral("no review state \"%1\"").arg(change.state));
        return ReviewOutcome::Failed;
    }
    // The latest change is read and the next one added in one transaction;
    // should another desk add its change in between, the revision is taken
    // (or, in SQLite, the read is no longer the latest) and this one fails.
    if (!Begin())
        return ReviewOutcome::Failed;
    bool ok = LatestReview(change, current);
    if (ok && (current.revision != change.revision || current.state != change.from)) {
        Rollback();
        return ReviewOutcome::Refused;
    }
    const qint64 now = Now();
    QSqlQuery q(m_db);
    ok = ok && q.prepare(QStringLiteral("INSERT INTO %1(%2) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                        "?, ?, ?, ?, ?, ?, ?)")
                             .arg(Table(), kColumns));
    if (ok) {
        for (const QVariant& v :
             {QVariant(Text(change.machineId)), QVariant(Text(change.dateTime)),
              QVariant(change.jointNumber), QVariant(change.revision + 1), QVariant(now),
              QVariant(Text(change.reviewer.trimmed())), QVariant(SystemUser()), QVariant(m_host),
              QVariant(Text(change.from)), QVariant(change.state), QVariant(Text(change.comment)),
              Optional(change.inspections.visualPass), Optional(change.inspections.beadWidthMm),
              Optional(change.inspections.bendTestPass),
              QVariant(change.sha256.isNull() ? QByteArray("") : change.sha256),
              QVariant(Text(change.verdict)), QVariant(Text(change.procedureHash))})
            q.addBindValue(v);
        ok = q.exec() || Fail(QStringLiteral("reviews"), SqlErrorText(q.lastError()));
    }
    q.finish();
    if (ok && Commit()) {
        change.revision += 1;
        change.timeMs = now;
        change.user = SystemUser();
        change.host = m_host;
        current = change;
        return ReviewOutcome::Done;
    }
    Rollback();
    // Another desk's change got in first: say so, not that the store failed.
    const QString message = m_message;
    JointReview latest;
    if (LatestReview(change, latest) && latest.revision != change.revision) {
        current = latest;
        return ReviewOutcome::Refused;
    }
    m_message = message;
    return ReviewOutcome::Failed;
}
