#include "DossierMaker.h"

#include "FusionTrace.h"

#include "library/JointIndex.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {
const QDateTime kFirst(QDate(2024, 3, 4), QTime(7, 0), Qt::UTC);

ReportPlan PlanOf(int j) {
    FusionTrace trace;
    if (j % 7 == 3)
        trace.bead = 385;
    ReportPlan plan = j % 9 == 5 ? ButtFusionReport(200) : FusionTracePlan(trace);
    const QDateTime when = kFirst.addDays(j / 20).addSecs((j % 20) * 1500);
    plan.Set(RF_YEAR, when.date().year());
    plan.Set(RF_MONTH, when.date().month());
    plan.Set(RF_DAY, when.date().day());
    plan.Set(RF_HOUR, when.time().hour());
    plan.Set(RF_MINUTE, when.time().minute());
    plan.Set(RF_SECOND, 0);
    plan.Set(RF_JOINT_NUMBER, 1 + j);
    plan.Set(RF_JOB_NUMBER, QStringLiteral("NW-Main 12"));
    plan.Set(RF_EMPLOYEE_ID, QStringLiteral("E-%1").arg(110 + j % 5));
    plan.Set(RF_MACHINE_ID, QStringLiteral("M-%1").arg(j % 3 + 1));
    return plan;
}

QString StateOf(int j) {
    if (j % 25 == 24)
        return QStringLiteral("missing");
    if (j % 40 == 39)
        return QStringLiteral("offline");
    return QStringLiteral("present");
}
} // namespace

DossierJob MakeDossierJob(const QString& folder, int count,
                          const std::function<void(int, ReportPlan&)>& adjust) {
    QDir().mkpath(folder);
    DossierJob job;
    job.job = QStringLiteral("NW-Main 12");
    job.written = QDateTime(QDate(2024, 4, 2), QTime(8, 15), Qt::UTC);
    CVtkDoc doc;
    for (int j = 0; j < count; ++j) {
        const QString path =
            folder + QStringLiteral("/joint %1.kjr").arg(j + 1, 4, 10, QLatin1Char('0'));
        if (!QFile::exists(path)) {
            ReportPlan plan = PlanOf(j);
            if (adjust)
                adjust(j, plan);
            QFile::rename(WriteReport(plan, QStringLiteral("made.kjr")), path);
        }
        const QByteArray bytes = ReadAll(path);
        doc.LoadReportImage(bytes);
        PrepareSamples(doc);
        const JointFields fields = JointFieldsOf(doc, path);
        doc.FreeReport(false);

        DossierJoint joint;
        joint.dateTime = fields.dateTime;
        joint.jointNumber = fields.jointNumber;
        joint.machineId = fields.machineId;
        joint.model = fields.model;
        joint.employee = fields.employee;
        joint.size = fields.sizeText;
        joint.verdict = fields.verdict;
        joint.state = StateOf(j);
        joint.files = {path};
        joint.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        if (joint.state == QLatin1String("missing"))
            QFile::remove(path);
        if (j % 3 == 0) {
            DossierReview& review = joint.review;
            review.state = j % 11 == 0   ? QStringLiteral("rejected")
                           : j % 13 == 0 ? QStringLiteral("re-test")
                                         : QStringLiteral("accepted");
            review.reviewer = QStringLiteral("A. Inspector (ana@office-pc)");
            review.time = kFirst.addDays(j / 20 + 1).addSecs(j * 60);
            review.comment = review.state == QLatin1String("accepted")
                                 ? QString()
                                 : QStringLiteral("Bead uneven at joint %1").arg(j + 1);
            review.sha256 = joint.sha256;
            review.inspections.visualPass = review.state == QLatin1String("accepted");
            review.inspections.beadWidthMm = 12.5;
            job.history.push_back({j, review.time, review.reviewer, QString(), review.state,
                                   review.comment, review.inspections});
        }
        job.joints.push_back(joint);
    }
    return job;
}
