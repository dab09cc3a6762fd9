#include "library/Dossier.h"

#include "check/ProcedureCheck.h"
#include "library/DossierPages.h"
#include "library/LibraryScanner.h"
#include "library/VerdictBook.h"
#include "platform/RegularFile.h"
#include "report/CheckPages.h"
#include "report/ReportPdf.h"
#include "report/VtkDoc.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <algorithm>
#include <numeric>
#include <tuple>

namespace {
// A procedure file is a page of text; anything larger is not one.
constexpr qint64 kMaxProcedureBytes = 1024 * 1024;

bool Cancelled(const DossierOptions& options) {
    return options.cancelled && options.cancelled();
}

void Progress(const DossierOptions& options, const QString& step, int done, int total) {
    if (options.progress)
        options.progress(step, done, total);
}

// `pdfPath` with `suffix` before its extension: "job.pdf" -> "job-2024-W10.pdf".
QString PartPath(const QString& pdfPath, const QString& suffix) {
    const QFileInfo info(pdfPath);
    const QString ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = pdfPath.left(pdfPath.size() - ext.size());
    return stem + QLatin1Char('-') + suffix + ext;
}

// The ISO week a joint is dated in, "2024-W10"; "undated" for a date that
// is none.
QString WeekOf(const QString& dateTime) {
    const QDate date = QDate::fromString(dateTime.left(10), QStringLiteral("yyyy-MM-dd"));
    int year = 0;
    const int week = date.isValid() ? date.weekNumber(&year) : 0;
    if (week == 0)
        return QStringLiteral("undated");
    return QStringLiteral("%1-W%2")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(week, 2, 10, QLatin1Char('0'));
}

void SplitIntoParts(DossierPlan& plan, const DossierJob& job, const QString& pdfPath,
                    const DossierOptions& options) {
    const int rows = static_cast<int>(plan.rows.size());
    if (options.split == DossierOptions::Split::Week) {
        for (int r = 0; r < rows; ++r) {
            const QString week = WeekOf(job.joints[plan.rows[r].joint].dateTime);
            if (plan.parts.empty() || plan.parts.back().path != PartPath(pdfPath, week))
                plan.parts.push_back({PartPath(pdfPath, week),
                                      QStringLiteral("Week %1").arg(week),
                                      {},
                                      {},
                                      0,
                                      0,
                                      0,
                                      0});
            plan.parts.back().rows.push_back(r);
        }
    } else if (options.split == DossierOptions::Split::Joints && rows > options.jointsPerFile) {
        const int count = (rows + options.jointsPerFile - 1) / options.jointsPerFile;
        const int digits = static_cast<int>(QString::number(count).size());
        for (int r = 0; r < rows; ++r) {
            const int k = r / options.jointsPerFile;
            if (static_cast<int>(plan.parts.size()) <= k)
                plan.parts.push_back({PartPath(pdfPath, QStringLiteral("part-%1").arg(
                                                            k + 1, digits, 10, QLatin1Char('0'))),
                                      QStringLiteral("Part %1 of %2").arg(k + 1).arg(count),
                                      {},
                                      {},
                                      0,
                                      0,
                                      0,
                                      0});
            plan.parts.back().rows.push_back(r);
        }
    }
    if (plan.parts.empty()) { // one file, also for a job without joints
        plan.parts.push_back({pdfPath, QString(), {}, {}, 0, 0, 0, 0});
        plan.parts.back().rows.resize(plan.rows.size());
        std::iota(plan.parts.back().rows.begin(), plan.parts.back().rows.end(), 0);
    }
    for (size_t p = 0; p < plan.parts.size(); ++p)
        for (int r : plan.parts[p].rows)
            plan.rows[r].part = static_cast<int>(p);
}

// Each change of the history goes into the part that holds its joint, in
// the order of time (changes of one moment as the history lists them).
bool AssignHistory(DossierPlan& plan, const DossierJob& job) {
    std::vector<int> rowOfJoint(job.joints.size(), -1);
    for (size_t r = 0; r < plan.rows.size(); ++r)
        rowOfJoint[plan.rows[r].joint] = static_cast<int>(r);
    std::vector<int> order(job.history.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return job.history[a].time < job.history[b].time; });
    for (int h : order) {
        const int joint = job.history[h].joint;
        if (joint < 0 || joint >= static_cast<int>(job.joints.size())) {
            plan.error = QStringLiteral("a change in the review history names no joint of the job");
            return false;
        }
        plan.parts[plan.rows[rowOfJoint[joint]].part].history.push_back(h);
    }
    return true;
}

// The pages of each part: its cover and table, each joint's report page and
// check pages, the history; the joints' page numbers from them.
void CountPages(DossierPlan& plan, const DossierJob& job, const DossierSheet& sheet) {
    for (DossierPart& part : plan.parts) {
        part.coverPages = DossierCover(job, plan, part, sheet)->PageCount();
        // The table is laid out with the widest page numbers it can show,
        // so that the real ones take no more room.
        for (int r : part.rows)
            plan.rows[r].firstPage = 99999;
        part.tablePages = DossierTable(job, plan, part, sheet)->PageCount();
        int page = part.coverPages + part.tablePages + 1;
        for (int r : part.rows) {
            DossierRow& row = plan.rows[r];
            row.firstPage = 0;
            if (row.state == QLatin1String("present")) {
                row.firstPage = page;
                page += 1 + row.checkPages;
            }
        }
        part.historyPages = DossierHistory(job, part, sheet)->PageCount();
        part.pages = page - 1 + part.historyPages;
    }
}

// What the CSV and the JSON add to the table's columns.
QStringList ExtraTitles() {
    return {QStringLiteral("State"), QStringLiteral("Model"),   QStringLiteral("Review time"),
            QStringLiteral("File"),  QStringLiteral("SHA-256"), QStringLiteral("Dossier file")};
}

QStringList ExtraCells(const DossierJob& job, const DossierPlan& plan, const DossierRow& row) {
    const DossierJoint& joint = job.joints[row.joint];
    const QByteArray sha = row.sha256.isEmpty() ? joint.sha256 : row.sha256;
    return {row.state,
            joint.model,
            joint.review.state.isEmpty() ? QString()
                                         : joint.review.time.toUTC().toString(Qt::ISODate),
            row.file,
            QString::fromLatin1(sha.toHex()),
            row.state == QLatin1String("present") ? QFileInfo(plan.parts[row.part].path).fileName()
                                                  : QString()};
}
} // namespace

bool ReadDossierProcedure(const QString& path, DossierProcedure& procedure, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxProcedureBytes) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    // The rules are read from a copy of exactly the bytes hashed, so a file
    // changed meanwhile cannot be judged by one version and named by another.
    QTemporaryFile copy;
    if (file.error() != QFileDevice::NoError || !copy.open() || copy.write(bytes) != bytes.size() ||
        !copy.flush()) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    Procedure rules;
    if (!LoadProcedure(copy.fileName(), rules, error)) {
        error.replace(copy.fileName(), path);
        return false;
    }
    procedure.name = rules.name;
    procedure.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    procedure.procedure = rules;
    return true;
}

DossierSheet MakeDossierSheet(QPageSize::PageSizeId id) {
    const QPageLayout layout = ReportPdfLayout(QPageSize(id));
    return {layout.pageSize(), layout.fullRectPixels(kPdfResolution),
            layout.paintRectPixels(kPdfResolution)};
}

bool LoadDossierCopy(CVtkDoc& doc, const QString& path, const QByteArray& sha256, QByteArray& got,
                     QString& reason) {
    QFile file;
    if (!OpenRegularFile(file, path)) {
        reason = QStringLiteral("%1 cannot be opened").arg(path);
        return false;
    }
    if (file.size() > kMaxReportBytes) {
        reason = QStringLiteral("%1 is too large for a joint report").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = QStringLiteral("%1 cannot be read").arg(path);
        return false;
    }
    got = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    if (!sha256.isEmpty() && got != sha256) {
        reason = QStringLiteral("%1 no longer holds the report the library knows").arg(path);
        return false;
    }
    if (!doc.LoadReportImage(bytes)) {
        reason = QStringLiteral("%1 is not a readable joint report").arg(path);
        return false;
    }
    return true;
}

DossierCheck CheckDossierJoint(const CVtkDoc& doc, const QString& path, const DossierJob& job,
                               const DossierJoint& joint) {
    const Procedure& procedure =
        job.procedures.empty() ? DefaultProcedure() : job.procedures[joint.procedure].procedure;
    // Bytes once seen as a cut download are judged as one under any name.
    const CheckResult result = CheckReport(doc, joint.cut ? CutDownloadPath(path) : path, procedure,
                                           job.machines.machines.empty() ? nullptr : &job.machines);
    return {CheckResultLines(result), VerdictText(result.verdict)};
}

DossierPlan PlanDossier(const DossierJob& job, const QString& pdfPath,
                        const DossierOptions& options) {
    DossierPlan plan;
    if (options.split == DossierOptions::Split::Joints && options.jointsPerFile < 1) {
        plan.error = QStringLiteral("a split by joints needs at least one joint a file");
        return plan;
    }
    for (const DossierJoint& joint : job.joints)
        if (joint.procedure < 0 ||
            joint.procedure >= std::max<int>(1, static_cast<int>(job.procedures.size()))) {
            plan.error = QStringLiteral("joint %1 of %2 names no procedure of the dossier")
                             .arg(joint.jointNumber)
                             .arg(joint.dateTime);
            return plan;
        }
    const DossierSheet sheet = MakeDossierSheet(options.pageSize);

    std::vector<int> order(job.joints.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const DossierJoint& x = job.joints[a];
        const DossierJoint& y = job.joints[b];
        return std::tie(x.dateTime, x.jointNumber, x.machineId) <
               std::tie(y.dateTime, y.jointNumber, y.machineId);
    });

    const QString step = QStringLiteral("Reading reports");
    const int total = static_cast<int>(order.size());
    CVtkDoc doc;
    for (int i = 0; i < total; ++i) {
        if (Cancelled(options)) {
            plan.cancelled = true;
            plan.error = QStringLiteral("cancelled");
            return plan;
        }
        Progress(options, step, i, total);
        const DossierJoint& joint = job.joints[order[i]];
        DossierRow row;
        row.joint = order[i];
        row.state = joint.state;
        row.verdict = joint.verdict;
        if (joint.state == QLatin1String("present")) {
            row.state = QStringLiteral("unreadable");
            row.reason = QStringLiteral("no copy of the report is listed");
            for (const QString& path : joint.files) {
                QByteArray sha;
                if (!LoadDossierCopy(doc, path, joint.sha256, sha, row.reason))
                    continue;
                const DossierCheck check = CheckDossierJoint(doc, path, job, joint);
                row.state = QStringLiteral("present");
                row.reason.clear();
                row.file = path;
                row.sha256 = sha;
                row.verdict = check.verdict;
                row.checkPages =
                    CCheckPages(doc, check.lines, sheet.content.size(), kPdfResolution).PageCount();
                row.changedSinceReview = !joint.review.state.isEmpty() &&
                                         !joint.review.sha256.isEmpty() &&
                                         joint.review.sha256 != sha;
                doc.FreeReport(false);
                break;
            }
        }
        plan.rows.push_back(std::move(row));
    }
    Progress(options, step, total, total);

    SplitIntoParts(plan, job, pdfPath, options);
    if (!AssignHistory(plan, job))
        return plan;
    if (!options.force)
        for (const DossierPart& part : plan.parts)
            if (QFileInfo::exists(part.path) || QFileInfo(part.path).isSymLink()) {
                plan.error = QStringLiteral("%1 already exists").arg(part.path);
                return plan;
            }
    CountPages(plan, job, sheet);
    plan.ok = true;
    return plan;
}

DossierResult WriteDossier(const DossierJob& job, const QString& pdfPath,
                           const DossierOptions& options) {
    const DossierPlan plan = PlanDossier(job, pdfPath, options);
    if (!plan.ok) {
        DossierResult result;
        result.cancelled = plan.cancelled;
        result.error = plan.error;
        return result;
    }
    return WriteDossierPdf(job, plan, options);
}

QByteArray DossierCsv(const DossierJob& job, const DossierPlan& plan, const CsvOptions& options) {
    std::vector<QStringList> lines{DossierTableTitles() + ExtraTitles()};
    for (const DossierRow& row : plan.rows)
        lines.push_back(DossierTableCells(job, row) + ExtraCells(job, plan, row));
    return CsvText(lines, options);
}

QByteArray DossierJson(const DossierJob& job, const DossierPlan& plan) {
    QJsonArray rows;
    for (const DossierRow& row : plan.rows) {
        const DossierJoint& joint = job.joints[row.joint];
        const QByteArray sha = row.sha256.isEmpty() ? joint.sha256 : row.sha256;
        QJsonObject o;
        o.insert(QStringLiteral("date_time"), joint.dateTime);
        o.insert(QStringLiteral("joint_number"), joint.jointNumber);
        o.insert(QStringLiteral("employee_id"), joint.employee);
        o.insert(QStringLiteral("machine_id"), joint.machineId);
        o.insert(QStringLiteral("machine_model"), joint.model);
        o.insert(QStringLiteral("size"), joint.size);
        o.insert(QStringLiteral("verdict"),
                 row.verdict.isEmpty() ? QJsonValue() : QJsonValue(row.verdict));
        o.insert(QStringLiteral("review_state"),
                 joint.review.state.isEmpty() ? QJsonValue() : QJsonValue(joint.review.state));
        o.insert(QStringLiteral("reviewer"),
                 joint.review.state.isEmpty() ? QJsonValue() : QJsonValue(joint.review.reviewer));
        o.insert(QStringLiteral("review_time"),
                 joint.review.state.isEmpty()
                     ? QJsonValue()
                     : QJsonValue(joint.review.time.toUTC().toString(Qt::ISODate)));
        o.insert(QStringLiteral("report_changed_since_review"), row.changedSinceReview);
        o.insert(QStringLiteral("state"), row.state);
        if (!row.reason.isEmpty())
            o.insert(QStringLiteral("reason"), row.reason);
        o.insert(QStringLiteral("file"), row.file.isEmpty() ? QJsonValue() : QJsonValue(row.file));
        o.insert(QStringLiteral("sha256"),
                 sha.isEmpty() ? QJsonValue() : QJsonValue(QString::fromLatin1(sha.toHex())));
        if (row.state == QLatin1String("present")) {
            o.insert(QStringLiteral("dossier_file"),
                     QFileInfo(plan.parts[row.part].path).fileName());
            o.insert(QStringLiteral("first_page"), row.firstPage);
            o.insert(QStringLiteral("last_page"), row.firstPage + row.checkPages);
        }
        rows.append(o);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}
