#include "library/JobDossier.h"

#include "library/JointTable.h"
#include "library/VerdictBook.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace {
QString JobKey(const QString& job) {
    return job.trimmed().toCaseFolded();
}

// Only letters and digits, in any case: "NW-Main 12" and "nw main12" are
// near each other.
QString Skeleton(const QString& job) {
    QString s;
    for (const QChar c : job.toCaseFolded())
        if (c.isLetterOrNumber())
            s += c;
    return s;
}

// Another job whose number a person could take for the one asked for: it
// holds it ("12" in "120", "A-12") or is held by it, or differs only in
// spaces and punctuation.
bool NearJob(const QString& asked, const QString& other) {
    const QString a = JobKey(asked), o = JobKey(other);
    if (a.isEmpty() || o.isEmpty() || a == o)
        return false;
    return o.contains(a) || a.contains(o) || Skeleton(a) == Skeleton(o);
}

QString JointKey(const QString& machine, const QString& dateTime, int number) {
    return machine + QChar(0) + dateTime + QChar(0) + QString::number(number);
}

DossierReview ReviewOf(const JointReview& r, const QByteArray& sha256) {
    DossierReview review;
    review.state = r.state;
    review.reviewer = r.state.isEmpty() ? QString() : ReviewerText(r);
    review.time = QDateTime::fromMSecsSinceEpoch(r.timeMs, Qt::UTC);
    review.comment = r.comment;
    review.sha256 = r.state.isEmpty() ? sha256 : r.sha256;
    review.inspections = r.inspections;
    return review;
}
} // namespace

bool SameJob(const QString& a, const QString& b) {
    return JobKey(a) == JobKey(b);
}

bool FillDossierJob(const std::vector<JointRow>& rows, const std::vector<JointReview>& history,
                    const CVerdictBook& book, const DossierRequest& request, qint64 nowMs,
                    DossierJob& job, QString& error) {
    job = DossierJob();
    job.job = request.job.trimmed();
    job.since = request.since;
    job.until = request.until;
    job.written = QDateTime::fromMSecsSinceEpoch(nowMs, Qt::UTC);
    QMap<QString, int> near;
    QHash<QString, int> jointOf;
    for (const JointRow& row : rows) {
        if (row.id <= 0)
            continue;
        const JointFields& f = row.fields;
        if (!SameJob(f.job, job.job)) {
            if (NearJob(job.job, f.job))
                ++near[f.job.trimmed()];
            continue;
        }
        DossierJoint joint;
        joint.dateTime = f.dateTime;
        joint.jointNumber = f.jointNumber;
        joint.machineId = f.machineId;
        joint.model = f.model;
        joint.employee = f.employee;
        joint.size = f.sizeText;
        joint.state = row.status;
        joint.sha256 = row.sha256;
        joint.cut = f.cut;
        // Only copies of the present version, the ones seen present first:
        // another version's bytes are never taken for this joint's.
        for (const JointFile& copy : row.copies)
            if (copy.current && !copy.path.isEmpty())
                joint.files << QFile::decodeName(copy.path);
        // What the index knows, for a joint whose report cannot be read;
        // one that was judged by other rules is not given as a verdict.
        const QString verdict = RowVerdict(row);
        joint.verdict =
            verdict == QLatin1String("not-current") ? QStringLiteral("not current") : verdict;
        joint.review = ReviewOf(row.Review(), row.sha256);
        const QDate date = QDate::fromString(f.dateTime.left(10), Qt::ISODate);
        const bool inRange =
            (!request.since.isValid() && !request.until.isValid()) ||
            (date.isValid() && (!request.since.isValid() || date >= request.since) &&
             (!request.until.isValid() || date <= request.until));
        if (!inRange) {
            job.outsideRange.push_back(joint);
            continue;
        }
        jointOf.insert(JointKey(f.machineId, f.dateTime, f.jointNumber), int(job.joints.size()));
        job.joints.push_back(joint);
    }
    for (auto it = near.cbegin(); it != near.cend(); ++it)
        job.nearMatches.push_back({it.key(), it.value()});
    if (job.joints.empty()) {
        QStringList others;
        for (const DossierNearMatch& m : job.nearMatches)
            others << QStringLiteral("\"%1\" (%2 joints)").arg(SafeLine(m.job)).arg(m.joints);
        error = QStringLiteral("no joint of job \"%1\" is in the library%2")
                    .arg(SafeLine(job.job), job.outsideRange.empty()
                                                ? QString()
                                                : QStringLiteral(" in that range (%1 outside it)")
                                                      .arg(job.outsideRange.size()));
        if (!others.isEmpty())
            error += QStringLiteral("; near it: ") + others.join(QStringLiteral(", "));
        return false;
    }
    // One job, one procedure: the first rule whose text it contains.
    const CVerdictBook::Choice choice = book.For(job.job);
    if (!choice.procedure) {
        error = QStringLiteral("the joints of job \"%1\" cannot be judged now: %2")
                    .arg(SafeLine(job.job), choice.why);
        return false;
    }
    DossierProcedure procedure;
    procedure.name = choice.procedure->name;
    procedure.sha256 = QByteArray::fromHex(choice.procedure->sha256);
    procedure.procedure = *choice.procedure;
    job.procedures.push_back(procedure);
    if (const MachineRegistry* machines = book.Machines())
        job.machines = *machines;
    for (const JointReview& change : history) {
        const auto at =
            jointOf.constFind(JointKey(change.machineId, change.dateTime, change.jointNumber));
        if (at == jointOf.cend())
            continue;
        job.history.push_back({*at, QDateTime::fromMSecsSinceEpoch(change.timeMs, Qt::UTC),
                               ReviewerText(change), change.from, change.state, change.comment,
                               change.inspections});
    }
    return true;
}

JobDossierResult WriteJobDossier(const DossierJob& job, const DossierFiles& files,
                                 const DossierOptions& options) {
    JobDossierResult result;
    // The first pass names the parts; whether any is there is asked here,
    // with the CSV and the JSON, before anything is written.
    DossierOptions planning = options;
    planning.force = true;
    result.plan = PlanDossier(job, files.pdf, planning);
    if (!result.plan.ok) {
        result.pdf.cancelled = result.plan.cancelled;
        result.pdf.error = result.plan.error;
        return result;
    }
    QStringList targets{files.csv, files.json};
    for (const DossierPart& part : result.plan.parts)
        targets << part.path;
    for (const QString& path : targets)
        if (!path.isEmpty() && !options.force &&
            (QFileInfo::exists(path) || QFileInfo(path).isSymLink()))
            result.existing << path;
    if (!result.existing.isEmpty()) {
        result.pdf.error = QStringLiteral("%1 already there").arg(result.existing.join(", "));
        return result;
    }
    result.pdf = WriteDossierPdf(job, result.plan, options);
    if (!result.pdf.ok)
        return result;
    result.written = result.pdf.files;
    const auto write = [&](const QString& path, const QByteArray& bytes) {
        if (path.isEmpty())
            return true;
        if (!WriteWholeFile(path, bytes)) {
            result.pdf.ok = false;
            result.pdf.error = QStringLiteral("%1 cannot be written").arg(path);
            return false;
        }
        result.written << path;
        return true;
    };
    if (write(files.csv, DossierCsv(job, result.plan)))
        write(files.json, DossierJson(job, result.plan));
    return result;
}
