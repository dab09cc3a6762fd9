// The job dossier's pages: cover, table and history as flows, each joint's
// printed report page and check pages as `vtq-report pdf` draws them, a
// header and "Page N of M" on each; and the files written whole.

#include "library/DossierPages.h"
#include "library/JointTable.h"
#include "report/CheckPages.h"
#include "report/PrinterCE.h"
#include "report/ReportDrawing.h"
#include "report/ReportPdf.h"
#include "report/ReportPrint.h"
#include "report/VtkDoc.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString kPresent = QStringLiteral("present");

QString DateOf(const QString& dateTime) {
    return dateTime.left(10);
}
QString TimeOf(const QString& dateTime) {
    return dateTime.mid(11);
}

QString ReviewStateText(const QString& state) {
    return state.isEmpty() ? QStringLiteral("not reviewed") : state;
}

QString JointText(const DossierJoint& joint) {
    return QStringLiteral("Joint %1, %2, machine %3")
        .arg(joint.jointNumber)
        .arg(joint.dateTime, joint.machineId);
}

QString UtcText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

// Counts of a text, in the order first met, or in `order` for those listed.
struct Tally {
    QStringList keys;
    QMap<QString, int> counts;
    void Add(const QString& key) {
        if (!counts.contains(key))
            keys << key;
        ++counts[key];
    }
    void Sorted() { keys.sort(Qt::CaseInsensitive); }
    void Ordered(const QStringList& order) {
        QStringList rest = keys;
        keys.clear();
        for (const QString& k : order) {
            keys << k;
            rest.removeAll(k);
        }
        keys << rest;
    }
};

void TallyTable(CDossierFlow& flow, const QString& what, const Tally& tally) {
    flow.BeginTable({{0.4, Qt::AlignLeft}, {0.15, Qt::AlignRight}},
                    {what, QStringLiteral("Joints")});
    for (const QString& key : tally.keys)
        flow.Row({key, QString::number(tally.counts.value(key))});
    flow.EndTable();
}

std::unique_ptr<CDossierFlow> NewFlow(const DossierSheet& sheet) {
    return std::make_unique<CDossierFlow>(sheet.content.width(), sheet.content.height(),
                                          kPdfResolution);
}

// The page frame: header in the top margin, page number in the bottom one.
struct Frame {
    QString left;   // the job
    QString footer; // what part of the job this file is
};

void DrawFrame(QPainter& painter, const DossierSheet& sheet, const Frame& frame,
               const QString& section, int page, int pages) {
    const double mm = kPdfResolution / 25.4;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(7.0 / 72 * kPdfResolution));
    font.setStyleStrategy(QFont::PreferNoShaping);
    const QFontMetricsF metrics(font);
    const QRectF content(sheet.content);
    const double half = content.width() / 2 - 2 * mm;
    const int flags = Qt::TextSingleLine | Qt::TextDontClip;
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor(90, 90, 90));
    const QRectF head(content.left(), 5 * mm, content.width(), 4 * mm);
    painter.drawText(head, flags | Qt::AlignLeft | Qt::AlignBottom,
                     metrics.elidedText(SafeLine(frame.left), Qt::ElideRight, half));
    painter.drawText(head, flags | Qt::AlignRight | Qt::AlignBottom,
                     metrics.elidedText(SafeLine(section), Qt::ElideRight, half));
    const QRectF foot(content.left(), sheet.page.height() - 9 * mm, content.width(), 4 * mm);
    painter.drawText(foot, flags | Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Page %1 of %2").arg(page).arg(pages));
    painter.drawText(foot, flags | Qt::AlignRight | Qt::AlignTop, frame.footer);
    painter.restore();
}

// Puts the finished file `temp` at `path`, never over a file there unless
// `force`. Without that, the file system must refuse to replace: a check
// before a plain rename could be overtaken by another writer.
bool PlaceFile(const QString& temp, const QString& path, bool force, QString& error) {
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(path);
    int result = -1;
    if (force) {
        result = ::rename(from.constData(), to.constData());
    } else {
        result =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system that cannot rename so: a hard link does not
            // replace either; the temporary name goes when `temp` does.
            result = ::link(from.constData(), to.constData());
            if (result != 0 && errno != EEXIST && !QFileInfo::exists(path))
                // Nor links (a memory card's FAT): the check and the rename
                // are as close as they can be.
                result = ::rename(from.constData(), to.constData());
        }
    }
    if (result == 0)
        return true;
    error = errno == EEXIST ? QStringLiteral("%1 already exists").arg(path)
                            : QStringLiteral("%1 cannot be written: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

class CPartWriter {
public:
    CPartWriter(const DossierJob& job, const DossierPlan& plan, const DossierPart& part,
                const DossierOptions& options, int& done, int total)
        : m_job(job), m_plan(plan), m_part(part), m_options(options),
          m_sheet(MakeDossierSheet(options.pageSize)), m_nDone(done), m_nTotal(total) {
        m_frame.left = QStringLiteral("Job dossier: %1").arg(job.job);
        m_frame.footer = part.label;
    }

    // Draws the part into `file`; false with `error`, or `cancelled`.
    bool Write(QFileDevice& file, QString& error, bool& cancelled);

private:
    bool NextPage(const QString& section);
    bool Flow(CDossierFlow& flow, int expected, const QString& section);
    bool Joint(const DossierRow& row);
    bool Failed(QString why) {
        m_strError = std::move(why);
        return false;
    }

    const DossierJob& m_job;
    const DossierPlan& m_plan;
    const DossierPart& m_part;
    const DossierOptions& m_options;
    const DossierSheet m_sheet;
    int& m_nDone;
    const int m_nTotal;
    Frame m_frame;
    QPdfWriter* m_pWriter = nullptr;
    QFileDevice* m_pFile = nullptr;
    QPainter m_painter;
    int m_nPage = 0;
    QString m_strError;
    bool m_bCancelled = false;
    CVtkDoc m_doc;
};

bool CPartWriter::NextPage(const QString& section) {
    // A full disk shows here first: nothing more is drawn onto it. Qt keeps
    // that a buffered write failed, not why; the system's reason is the
    // last one while nothing else ran since.
    errno = 0;
    if ((m_nPage > 0 && !m_pWriter->newPage()) || m_pFile->error() != QFileDevice::NoError)
        return Failed(QStringLiteral("%1 cannot be written: %2")
                          .arg(QFileInfo(m_part.path).absolutePath(),
                               errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                          : m_pFile->errorString()));
    ++m_nPage;
    DrawFrame(m_painter, m_sheet, m_frame, section, m_nPage, m_part.pages);
    return true;
}

bool CPartWriter::Flow(CDossierFlow& flow, int expected, const QString& section) {
    if (flow.PageCount() != expected)
        return Failed(QStringLiteral("the %1 came out with %2 pages, not %3 as counted")
                          .arg(section.toLower())
                          .arg(flow.PageCount())
                          .arg(expected));
    for (int i = 0; i < expected; ++i) {
        if (!NextPage(section))
            return false;
        flow.DrawPage(m_painter, m_sheet.content.topLeft(), i);
    }
    return true;
}

bool CPartWriter::Joint(const DossierRow& row) {
    const DossierJoint& joint = m_job.joints[row.joint];
    QByteArray sha;
    QString reason;
    if (!LoadDossierCopy(m_doc, row.file, row.sha256, sha, reason))
        return Failed(QStringLiteral("%1 changed or went away while the dossier was written (%2)")
                          .arg(row.file, reason));
    PrepareReport(m_doc);
    const DossierCheck check = CheckDossierJoint(m_doc, row.file, m_job, joint);
    const CCheckPages checkPages(m_doc, check.lines, m_sheet.content.size(), kPdfResolution);
    if (check.verdict != row.verdict || checkPages.PageCount() != row.checkPages)
        return Failed(
            QStringLiteral("the check of %1 came out otherwise than counted").arg(row.file));

    const QString section = JointText(joint);
    if (!NextPage(section))
        return false;
    CPrinterCE printer;
    DrawReportPage(m_painter, QRectF(m_sheet.content), printer, m_doc);
    for (int i = 0; i < checkPages.PageCount(); ++i) {
        if (!NextPage(section + QStringLiteral(", procedure check")))
            return false;
        checkPages.DrawPage(m_painter, m_sheet.content.topLeft(), i);
    }
    m_doc.FreeReport(false);
    return true;
}

bool CPartWriter::Write(QFileDevice& file, QString& error, bool& cancelled) {
    QPdfWriter writer(&file);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(QPageLayout(m_sheet.size, QPageLayout::Portrait, QMarginsF()));
    writer.setTitle(m_frame.left);
    writer.setCreator(m_job.creator);
    m_pWriter = &writer;
    m_pFile = &file;
    bool ok = m_painter.begin(&writer);
    if (!ok)
        Failed(QStringLiteral("%1 cannot be written").arg(m_part.path));
    ok = ok && Flow(*DossierCover(m_job, m_plan, m_part, m_sheet), m_part.coverPages,
                    QStringLiteral("Cover"));
    ok = ok && Flow(*DossierTable(m_job, m_plan, m_part, m_sheet), m_part.tablePages,
                    QStringLiteral("Joints"));
    const QString step = QStringLiteral("Writing pages");
    for (size_t i = 0; ok && i < m_part.rows.size(); ++i) {
        if (m_options.cancelled && m_options.cancelled()) {
            m_bCancelled = true;
            ok = Failed(QStringLiteral("cancelled"));
            break;
        }
        if (m_options.progress)
            m_options.progress(step, m_nDone, m_nTotal);
        const DossierRow& row = m_plan.rows[m_part.rows[i]];
        if (row.state == kPresent)
            ok = Joint(row);
        ++m_nDone;
    }
    ok = ok && Flow(*DossierHistory(m_job, m_part, m_sheet), m_part.historyPages,
                    QStringLiteral("Review history"));
    if (ok && m_nPage != m_part.pages)
        ok = Failed(QStringLiteral("%1 pages were drawn, not %2 as counted")
                        .arg(m_nPage)
                        .arg(m_part.pages));
    if (m_painter.isActive() && !m_painter.end() && ok)
        ok = Failed(QStringLiteral("%1 cannot be written").arg(m_part.path));
    if (ok &&
        (!file.flush() || file.error() != QFileDevice::NoError || ::fsync(file.handle()) != 0))
        ok = Failed(QStringLiteral("%1 cannot be written: %2")
                        .arg(QFileInfo(m_part.path).absolutePath(), file.errorString()));
    error = m_strError;
    cancelled = m_bCancelled;
    return ok;
}
} // namespace

QStringList DossierTableTitles() {
    return {QStringLiteral("Date"),     QStringLiteral("Time"),    QStringLiteral("Joint"),
            QStringLiteral("Employee"), QStringLiteral("Machine"), QStringLiteral("Size"),
            QStringLiteral("Verdict"),  QStringLiteral("Review"),  QStringLiteral("Reviewer"),
            QStringLiteral("Report")};
}

QString DossierVerdictText(const DossierRow& row) {
    return row.verdict.isEmpty() ? QStringLiteral("not judged") : row.verdict;
}

QString DossierReviewText(const DossierJob& job, const DossierRow& row) {
    QString text = ReviewStateText(job.joints[row.joint].review.state);
    if (row.changedSinceReview)
        text += QStringLiteral(", report changed since review");
    return text;
}

QString DossierPagesText(const DossierRow& row) {
    return row.state == kPresent ? QStringLiteral("p. %1").arg(row.firstPage) : row.state;
}

QStringList DossierTableCells(const DossierJob& job, const DossierRow& row) {
    const DossierJoint& joint = job.joints[row.joint];
    return {DateOf(joint.dateTime),
            TimeOf(joint.dateTime),
            QString::number(joint.jointNumber),
            joint.employee,
            joint.machineId,
            joint.size,
            DossierVerdictText(row),
            DossierReviewText(job, row),
            joint.review.state.isEmpty() ? QString() : joint.review.reviewer,
            DossierPagesText(row)};
}

std::unique_ptr<CDossierFlow> DossierCover(const DossierJob& job, const DossierPlan& plan,
                                           const DossierPart& part, const DossierSheet& sheet) {
    std::unique_ptr<CDossierFlow> flow = NewFlow(sheet);
    flow->Text(QStringLiteral("Job dossier"), CDossierFlow::Bold);
    flow->Text(job.job, CDossierFlow::Large);
    flow->Space(4);
    if (!part.label.isEmpty())
        flow->Text(QStringLiteral("%1: %2 of the job's %3 joints.")
                       .arg(part.label)
                       .arg(part.rows.size())
                       .arg(plan.rows.size()));
    const QString from =
        job.since.isValid() ? job.since.toString(Qt::ISODate) : QStringLiteral("the first");
    const QString to =
        job.until.isValid() ? job.until.toString(Qt::ISODate) : QStringLiteral("the last");
    flow->Text(job.since.isValid() || job.until.isValid()
                   ? QStringLiteral("Joints dated %1 to %2.").arg(from, to)
                   : QStringLiteral("Joints of every date."));
    if (!part.rows.empty())
        flow->Text(QStringLiteral("The joints in this file are dated %1 to %2.")
                       .arg(job.joints[plan.rows[part.rows.front()].joint].dateTime,
                            job.joints[plan.rows[part.rows.back()].joint].dateTime));
    flow->Text(QStringLiteral("Written %1 UTC by %2.").arg(UtcText(job.written), job.creator));

    // What the joints were judged by.
    std::vector<DossierProcedure> procedures = job.procedures;
    if (procedures.empty()) {
        DossierProcedure shipped;
        QString error;
        ReadDossierProcedure(DefaultProcedurePath(), shipped, error);
        procedures.push_back(shipped);
    }
    std::vector<int> judged(procedures.size(), 0);
    Tally verdicts, reviews, states, machines, operators;
    QMap<QString, QString> models;
    int changed = 0;
    for (int r : part.rows) {
        const DossierRow& row = plan.rows[r];
        const DossierJoint& joint = job.joints[row.joint];
        if (row.state == kPresent)
            ++judged[joint.procedure];
        verdicts.Add(DossierVerdictText(row));
        reviews.Add(ReviewStateText(joint.review.state));
        states.Add(row.state == kPresent ? QStringLiteral("with their pages") : row.state);
        machines.Add(joint.machineId);
        models.insert(joint.machineId, joint.model);
        operators.Add(joint.employee);
        changed += row.changedSinceReview;
    }
    machines.Sorted();
    operators.Sorted();
    verdicts.Ordered({QStringLiteral("pass"), QStringLiteral("fail"), QStringLiteral("incomplete"),
                      QStringLiteral("unknown")});
    reviews.Ordered({QStringLiteral("accepted"), QStringLiteral("rejected"),
                     QStringLiteral("re-test"), QStringLiteral("not reviewed")});

    flow->Heading(procedures.size() == 1 ? QStringLiteral("Procedure")
                                         : QStringLiteral("Procedures"));
    for (size_t p = 0; p < procedures.size(); ++p) {
        flow->Text(QStringLiteral("%1 (%2 joints judged)").arg(procedures[p].name).arg(judged[p]));
        flow->Text(
            QStringLiteral("SHA-256 %1").arg(QString::fromLatin1(procedures[p].sha256.toHex())),
            CDossierFlow::TableBody);
    }

    flow->Heading(QStringLiteral("Joints"));
    flow->Text(
        QStringLiteral("%1 joints, listed in the table that follows.").arg(part.rows.size()));
    TallyTable(*flow, QStringLiteral("Pages in this dossier"), states);
    TallyTable(*flow, QStringLiteral("Verdict of the procedure check"), verdicts);
    TallyTable(*flow, QStringLiteral("Review"), reviews);
    if (changed > 0)
        flow->Text(
            QStringLiteral("Report changed since review: %1 of the reviewed joints.").arg(changed));

    bool unreadable = false;
    for (int r : part.rows)
        unreadable = unreadable || plan.rows[r].state == QLatin1String("unreadable");
    if (unreadable) {
        flow->Heading(QStringLiteral("Joints whose report could not be read"));
        flow->BeginTable({{0.3, Qt::AlignLeft}, {0.7, Qt::AlignLeft}},
                         {QStringLiteral("Joint"), QStringLiteral("Why")});
        for (int r : part.rows)
            if (plan.rows[r].state == QLatin1String("unreadable"))
                flow->Row({JointText(job.joints[plan.rows[r].joint]), plan.rows[r].reason});
        flow->EndTable();
    }

    flow->Heading(QStringLiteral("Machines"));
    flow->BeginTable(
        {{0.3, Qt::AlignLeft}, {0.4, Qt::AlignLeft}, {0.15, Qt::AlignRight}},
        {QStringLiteral("Machine"), QStringLiteral("Model"), QStringLiteral("Joints")});
    for (const QString& machine : machines.keys)
        flow->Row(
            {machine, models.value(machine), QString::number(machines.counts.value(machine))});
    flow->EndTable();
    flow->Heading(QStringLiteral("Operators"));
    TallyTable(*flow, QStringLiteral("Employee"), operators);

    flow->Heading(QStringLiteral("Left out of this dossier"));
    if (job.nearMatches.empty()) {
        flow->Text(QStringLiteral("No other job number is near \"%1\".").arg(job.job));
    } else {
        flow->Text(QStringLiteral("Job numbers near \"%1\" that are other jobs:").arg(job.job));
        flow->BeginTable({{0.55, Qt::AlignLeft}, {0.15, Qt::AlignRight}},
                         {QStringLiteral("Job"), QStringLiteral("Joints")});
        for (const DossierNearMatch& near : job.nearMatches)
            flow->Row({near.job, QString::number(near.joints)});
        flow->EndTable();
    }
    if (job.outsideRange.empty()) {
        flow->Text(QStringLiteral("No joint of this job is dated outside the range."));
    } else {
        flow->Text((job.outsideRange.size() == 1
                        ? QStringLiteral("1 joint of this job is dated outside the range, most "
                                         "likely by a wrong clock:")
                        : QStringLiteral("%1 joints of this job are dated outside the range, most "
                                         "likely by a wrong clock:")
                              .arg(job.outsideRange.size())));
        flow->BeginTable({{0.15, Qt::AlignLeft},
                          {0.12, Qt::AlignLeft},
                          {0.1, Qt::AlignRight},
                          {0.3, Qt::AlignLeft},
                          {0.33, Qt::AlignLeft}},
                         {QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Joint"),
                          QStringLiteral("Machine"), QStringLiteral("Employee")});
        for (const DossierJoint& joint : job.outsideRange)
            flow->Row({DateOf(joint.dateTime), TimeOf(joint.dateTime),
                       QString::number(joint.jointNumber), joint.machineId, joint.employee});
        flow->EndTable();
    }
    return flow;
}

std::unique_ptr<CDossierFlow> DossierTable(const DossierJob& job, const DossierPlan& plan,
                                           const DossierPart& part, const DossierSheet& sheet) {
    std::unique_ptr<CDossierFlow> flow = NewFlow(sheet);
    flow->Text(QStringLiteral("Joints"), CDossierFlow::Large);
    flow->Text(QStringLiteral("In order of date and time, then joint number. Report: the page of "
                              "the joint's printed report; its procedure check follows it."));
    flow->BeginTable({{0.09, Qt::AlignLeft},
                      {0.07, Qt::AlignLeft},
                      {0.05, Qt::AlignRight},
                      {0.13, Qt::AlignLeft},
                      {0.12, Qt::AlignLeft},
                      {0.12, Qt::AlignLeft},
                      {0.08, Qt::AlignLeft},
                      {0.12, Qt::AlignLeft},
                      {0.13, Qt::AlignLeft},
                      {0.09, Qt::AlignLeft}},
                     DossierTableTitles());
    for (int r : part.rows)
        flow->Row(DossierTableCells(job, plan.rows[r]));
    flow->EndTable();
    return flow;
}

std::unique_ptr<CDossierFlow> DossierHistory(const DossierJob& job, const DossierPart& part,
                                             const DossierSheet& sheet) {
    std::unique_ptr<CDossierFlow> flow = NewFlow(sheet);
    flow->Text(QStringLiteral("Review history"), CDossierFlow::Large);
    if (part.history.empty()) {
        flow->Text(QStringLiteral("No review of these joints has been recorded."));
        return flow;
    }
    flow->Text(QStringLiteral("Every change of a review of these joints, oldest first; times in "
                              "UTC. Nothing in it is ever changed or removed."));
    flow->BeginTable({{0.13, Qt::AlignLeft},
                      {0.21, Qt::AlignLeft},
                      {0.16, Qt::AlignLeft},
                      {0.18, Qt::AlignLeft},
                      {0.32, Qt::AlignLeft}},
                     {QStringLiteral("Time"), QStringLiteral("Joint"), QStringLiteral("Reviewer"),
                      QStringLiteral("Change"), QStringLiteral("Comment and inspections")});
    for (int h : part.history) {
        const DossierReviewChange& change = job.history[h];
        QString note = change.comment;
        const QString inspections = InspectionsText(change.inspections);
        if (!inspections.isEmpty())
            note += (note.isEmpty() ? QString() : QStringLiteral("; ")) + inspections;
        flow->Row({UtcText(change.time), JointText(job.joints[change.joint]), change.reviewer,
                   QStringLiteral("%1 → %2").arg(ReviewStateText(change.from),
                                                 ReviewStateText(change.to)),
                   note});
    }
    flow->EndTable();
    return flow;
}

DossierResult WriteDossierPdf(const DossierJob& job, const DossierPlan& plan,
                              const DossierOptions& options) {
    DossierResult result;
    if (!plan.ok) {
        result.error =
            plan.error.isEmpty() ? QStringLiteral("the dossier was not planned") : plan.error;
        result.cancelled = plan.cancelled;
        return result;
    }
    const int total = static_cast<int>(plan.rows.size());
    int done = 0;
    // Every file is drawn beside its place first; none is put in place
    // before all are whole, so a failure or Cancel leaves no dossier.
    std::vector<std::unique_ptr<QTemporaryFile>> temps;
    for (const DossierPart& part : plan.parts) {
        const QFileInfo info(part.path);
        auto temp = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                                     info.fileName() + QStringLiteral(".XXXXXX"));
        if (!temp->open()) {
            result.error = QStringLiteral("%1 cannot be written: %2")
                               .arg(info.absolutePath(), temp->errorString());
            return result;
        }
        CPartWriter writer(job, plan, part, options, done, total);
        if (!writer.Write(*temp, result.error, result.cancelled))
            return result;
        temps.push_back(std::move(temp));
    }
    if (options.progress)
        options.progress(QStringLiteral("Writing pages"), total, total);
    // A Cancel that came with the last page still leaves nothing.
    if (options.cancelled && options.cancelled()) {
        result.cancelled = true;
        result.error = QStringLiteral("cancelled");
        return result;
    }
    for (size_t p = 0; p < plan.parts.size(); ++p) {
        const QString& path = plan.parts[p].path;
        temps[p]->close();
        if (!PlaceFile(temps[p]->fileName(), path, options.force, result.error)) {
            // What was put in place already goes again: all or none.
            for (const QString& placed : std::as_const(result.files))
                QFile::remove(placed);
            result.files.clear();
            return result;
        }
        if (options.force)
            temps[p]->setAutoRemove(false);
        result.files << path;
    }
    for (const DossierPart& part : plan.parts)
        SyncFolder(QFileInfo(part.path).absolutePath());
    result.ok = true;
    return result;
}
