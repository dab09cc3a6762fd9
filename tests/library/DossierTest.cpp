// The job dossier read back as its reader would: pdfinfo and pdftotext on the
// PDF, every joint in the table and its pages where the table says, the
// cover's counts against the table, page numbers, the review history, texts
// that come out as typed; split files; and writes that fail or are
// cancelled leave nothing.
#include "DossierMaker.h"
#include "support/RunTool.h"

#include "framework/Fonts.h"
#include "library/Dossier.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
// The PDF's pages as text, in the order the page draws them.
QStringList PdfPages(const QString& pdf) {
    QStringList pages =
        QString::fromUtf8(
            RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")})
                .out)
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

int PdfPageCount(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral("\nPages: +(\\d+)\n"));
    return pages.match(QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {pdf}).out))
        .captured(1)
        .toInt();
}

// Text with no white space at all: what a wrapped cell or line says,
// wherever its lines were broken.
QString Flat(QString text) {
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.remove(space);
}

// The section a page's header names ("Cover", "Joints", "Joint 7, ...").
QString Section(const QString& page, const QString& job) {
    const QString head = page.section(QLatin1Char('\n'), 0, 0);
    const QString left = QStringLiteral("Job dossier: %1 ").arg(job);
    return head.startsWith(left) ? head.mid(left.size()) : QString();
}

QString JointHeader(const DossierJoint& joint) {
    return QStringLiteral("Joint %1, %2, machine %3")
        .arg(joint.jointNumber)
        .arg(joint.dateTime, joint.machineId);
}

// Counts the cover gives after `title`: "pass 12 fail 3 ..." as name -> count.
QMap<QString, int> CoverCounts(const QString& flatCover, const QString& title) {
    QMap<QString, int> counts;
    const qsizetype at = flatCover.indexOf(Flat(title) + QStringLiteral("Joints"));
    if (at < 0)
        return counts;
    static const QRegularExpression pair(QStringLiteral("\\G([a-z][a-z-]*)(\\d+)"));
    qsizetype from = at + Flat(title).size() + 6;
    for (QRegularExpressionMatch m = pair.match(flatCover, from); m.hasMatch();
         m = pair.match(flatCover, from)) {
        counts[m.captured(1)] += m.captured(2).toInt();
        from = m.capturedEnd();
    }
    return counts;
}

// The dates and times of the joints a table lists, in its order.
QStringList TableJoints(const QString& flatTable) {
    static const QRegularExpression row(
        QStringLiteral("(\\d{4}-\\d\\d-\\d\\d)(\\d\\d:\\d\\d:\\d\\d)"));
    QStringList joints;
    for (auto it = row.globalMatch(flatTable); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        joints << m.captured(1) + QLatin1Char(' ') + m.captured(2);
    }
    return joints;
}

// The job's joints in the order a dossier lists them.
std::vector<DossierJoint> InDateOrder(std::vector<DossierJoint> joints) {
    std::stable_sort(joints.begin(), joints.end(), [](const auto& a, const auto& b) {
        return std::tie(a.dateTime, a.jointNumber) < std::tie(b.dateTime, b.jointNumber);
    });
    return joints;
}

// Only what the test left in `folder`: no dossier, no file beside one.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct Dossier : ::testing::Test {
    bool fonts = (LoadProgramFonts(), true);
    QTemporaryDir reports;
    QTemporaryDir out;
};
} // namespace

// A job of 30 joints given in reverse order: the table lists each once in
// date order with its verdict, review and reviewer, and points at its report
// page, whose check page follows with the same verdict; missing, offline and
// unreadable joints have that state and no page. The cover's counts are the
// table's, every page has the header and "Page N of M", the history and
// what was left out are there, and hostile texts come out as typed.
TEST_F(Dossier, EveryJointHasItsRowAndPagesAndTheCoverAddsUp) {
    QString longName;
    while (longName.size() < 300)
        longName += QStringLiteral("Rohrleitungsbau");
    longName.truncate(300);
    const QString html = QStringLiteral("<b>M\u00fcller</b> & <i>S\u00f6hne</i>");
    const QString notes = QStringLiteral("<script>alert(1)</script> & <b>fit</b>");
    DossierJob job = MakeDossierJob(reports.path(), 30, [&](int j, ReportPlan& plan) {
        if (j == 2)
            plan.Set(RF_EMPLOYEE_ID, longName);
        if (j == 5) {
            plan.Set(RF_EMPLOYEE_ID, html);
            plan.Set(RF_NOTES, notes);
        }
    });
    // The copy of joint 11 no longer holds the bytes the index knows.
    job.joints[10].sha256 = QByteArray(32, 'x');
    std::reverse(job.joints.begin(), job.joints.end());
    for (DossierReviewChange& change : job.history)
        change.joint = static_cast<int>(job.joints.size()) - 1 - change.joint;
    job.nearMatches = {{QStringLiteral("NW-Main 120"), 4}};
    DossierJoint early = job.joints.back();
    early.dateTime = QStringLiteral("2000-01-01 00:04:00");
    job.outsideRange = {early};
    // Joint 4's report is not the copy its reviewer saw; a comment longer
    // than a page goes on over pages, nothing of it lost.
    job.joints[30 - 4].review.sha256 = QByteArray(32, 'r');
    QStringList words;
    for (int i = 1; i <= 1500; ++i)
        words << QStringLiteral("c%1").arg(i, 4, 10, QLatin1Char('0'));
    job.history.push_back({30 - 4,
                           job.written.addDays(-1),
                           QStringLiteral("B. Checker"),
                           QStringLiteral("accepted"),
                           QStringLiteral("re-test"),
                           words.join(QLatin1Char(' ')),
                           {}});

    const QString pdf = out.path() + QStringLiteral("/dossier.pdf");
    const DossierResult result = WriteDossier(job, pdf, {});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.files, QStringList{pdf});
    EXPECT_EQ(Entries(out.path()), QStringList{QStringLiteral("dossier.pdf")});

    const QStringList pages = PdfPages(pdf);
    const int total = PdfPageCount(pdf);
    ASSERT_EQ(pages.size(), total);
    ASSERT_GT(total, 55);
    for (int i = 0; i < total; ++i) {
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(total)))
            << "page " << i + 1;
        EXPECT_FALSE(Section(pages[i], job.job).isEmpty()) << "page " << i + 1;
    }
    // Cover, table, the joints' pages, the history: in that order.
    int p = 0;
    QString cover, table;
    for (; p < total && Section(pages[p], job.job) == QLatin1String("Cover"); ++p)
        cover += pages[p];
    for (; p < total && Section(pages[p], job.job) == QLatin1String("Joints"); ++p)
        table += pages[p];
    ASSERT_FALSE(cover.isEmpty());
    ASSERT_FALSE(table.isEmpty());
    const QString flatTable = Flat(table);

    QMap<QString, int> verdicts, reviews, states;
    qsizetype at = 0;
    int withPages = 0;
    for (const DossierJoint& joint : InDateOrder(job.joints)) {
        const QString review =
            joint.review.state.isEmpty() ? QStringLiteral("notreviewed") : joint.review.state;
        const bool changed = joint.jointNumber == 4;
        const QRegularExpression row(
            QRegularExpression::escape(Flat(joint.dateTime + QString::number(joint.jointNumber) +
                                            joint.employee + joint.machineId + joint.size)) +
            QStringLiteral("(pass|fail|incomplete|unknown|notjudged)") +
            QRegularExpression::escape(Flat(
                review + (changed ? QStringLiteral(", report changed since review") : QString()) +
                (joint.review.state.isEmpty() ? QString() : joint.review.reviewer))) +
            QStringLiteral("(p\\.(\\d+?)(?=\\d{4}-\\d\\d-\\d\\d\\d\\d:|\\D|$)|missing|"
                           "offline|unreadable)"));
        const QRegularExpressionMatch m = row.match(flatTable, at);
        ASSERT_TRUE(m.hasMatch()) << "joint " << joint.jointNumber << " not in the table after "
                                  << flatTable.mid(at, 200).toStdString();
        at = m.capturedEnd();
        ++verdicts[m.captured(1)];
        ++reviews[review];
        const QString report = m.captured(2);
        ++states[report.startsWith(QLatin1String("p.")) ? QStringLiteral("withtheirpages")
                                                        : report];
        if (joint.state != QLatin1String("present") || joint.jointNumber == 11) {
            // Joint 11 is the changed copy.
            EXPECT_EQ(report, joint.state == QLatin1String("present") ? QStringLiteral("unreadable")
                                                                      : joint.state);
            EXPECT_EQ(m.captured(1), joint.verdict) << "the index's verdict";
            for (const QString& page : pages)
                EXPECT_FALSE(Section(page, job.job).startsWith(JointHeader(joint)));
            continue;
        }
        // Its report page where the table says, its check pages right after
        // it with the table's verdict, and the next joint's page after them.
        const int first = m.captured(3).toInt() - 1;
        ASSERT_EQ(first, p) << "joint " << joint.jointNumber;
        EXPECT_EQ(Section(pages[p], job.job), JointHeader(joint));
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Kelvorn Joint Report")));
        ++p;
        ASSERT_LT(p, total);
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Procedure check")));
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Joint Number %1,").arg(joint.jointNumber)));
        for (; p < total && Section(pages[p], job.job) ==
                                JointHeader(joint) + QStringLiteral(", procedure check");
             ++p)
            ;
        EXPECT_TRUE(pages[p - 1].contains(QStringLiteral("Verdict: %1").arg(m.captured(1))))
            << "joint " << joint.jointNumber;
        ++withPages;
        if (joint.employee == html) {
            EXPECT_TRUE(Flat(pages[first]).contains(Flat(notes))) << pages[first].toStdString();
        }
    }
    EXPECT_EQ(withPages, 30 - 2); // joint 25 is missing, joint 11 unreadable
    EXPECT_EQ(TableJoints(flatTable).size(), job.joints.size());

    // The history closes the dossier, every change in it.
    ASSERT_LT(p, total);
    QString history;
    for (; p < total && Section(pages[p], job.job) == QLatin1String("Review history"); ++p)
        history += pages[p];
    EXPECT_EQ(p, total);
    EXPECT_EQ(history.count(QStringLiteral("\u2192")), static_cast<int>(job.history.size()));
    // Each change, oldest first: its joint, reviewer and states, then its
    // comment's words in order (a long one parted by the pages' headers).
    const QString flatHistory = Flat(history);
    EXPECT_EQ(flatHistory.count(QStringLiteral("B.Checker")), 1);
    at = 0;
    for (const DossierReviewChange& change : job.history) {
        const DossierJoint& joint = job.joints[change.joint];
        const QString from = change.from.isEmpty() ? QStringLiteral("not reviewed") : change.from;
        const qsizetype found =
            flatHistory.indexOf(Flat(JointHeader(joint) + change.reviewer + from +
                                     QStringLiteral(" \u2192 ") + change.to),
                                change.reviewer == QLatin1String("B. Checker") ? 0 : at);
        ASSERT_GE(found, 0) << joint.jointNumber;
        at = found;
        for (const QString& word : change.comment.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qsizetype next = flatHistory.indexOf(word, at);
            ASSERT_GE(next, at) << word.toStdString();
            at = next + word.size();
        }
    }

    // The cover: counts as in the table, what was left out, texts as typed.
    const QString flatCover = Flat(cover);
    const auto counts = [&](const QString& title) {
        QMap<QString, int> counts = CoverCounts(flatCover, title);
        for (auto it = counts.begin(); it != counts.end();)
            it = it.value() == 0 ? counts.erase(it) : std::next(it);
        return counts;
    };
    EXPECT_EQ(counts(QStringLiteral("Verdict of the procedure check")), verdicts);
    EXPECT_EQ(counts(QStringLiteral("Review")), reviews);
    EXPECT_EQ(counts(QStringLiteral("Pages in this dossier")), states);
    EXPECT_TRUE(flatCover.contains(QStringLiteral("NW-Main1204")));
    EXPECT_TRUE(
        flatCover.contains(Flat(QStringLiteral("1 joint of this job is dated outside the range"))));
    EXPECT_TRUE(flatCover.contains(QStringLiteral("2000-01-0100:04:00")));
    EXPECT_TRUE(flatCover.contains(Flat(longName)));
    EXPECT_TRUE(flatCover.contains(Flat(html)));
    EXPECT_TRUE(flatCover.contains(QStringLiteral("nolongerholdsthereport")));
    EXPECT_TRUE(flatCover.contains(
        Flat(QStringLiteral("Report changed since review: 1 of the reviewed joints."))));
}

// Split by week and by a number of joints: whole dossiers of their own,
// each numbered from page 1, named after the week or part, that together
// list every joint once. The CSV and the JSON hold the same table.
TEST_F(Dossier, SplitFilesAreWholeDossiersThatTogetherListEveryJoint) {
    // Joints from Friday 2024-03-01 on, one a day: ISO weeks 9 to 12.
    DossierJob job = MakeDossierJob(reports.path(), 24, [](int j, ReportPlan& plan) {
        plan.Set(RF_DAY, 1 + j);
        if (j == 3)
            plan.Set(RF_EMPLOYEE_ID, QStringLiteral("Smith, \"Bob\"\n=1+2"));
    });
    const QString pdf = out.path() + QStringLiteral("/job.pdf");
    DossierOptions options;
    options.split = DossierOptions::Split::Week;
    const DossierPlan weeks = PlanDossier(job, pdf, options);
    ASSERT_TRUE(weeks.ok) << weeks.error.toStdString();
    DossierResult result = WriteDossierPdf(job, weeks, options);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const QStringList weekFiles = {
        QStringLiteral("job-2024-W09.pdf"), QStringLiteral("job-2024-W10.pdf"),
        QStringLiteral("job-2024-W11.pdf"), QStringLiteral("job-2024-W12.pdf")};
    EXPECT_EQ(Entries(out.path()), weekFiles);

    options.split = DossierOptions::Split::Joints;
    options.jointsPerFile = 10;
    options.pageSize = QPageSize::Letter;
    result = WriteDossier(job, pdf, options);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(RunTool(QStringLiteral("pdfinfo"), {out.path() + QStringLiteral("/job-part-2.pdf")})
                    .out.contains("612 x 792 pts (letter)"));
    EXPECT_EQ(Entries(out.path()), weekFiles + QStringList({QStringLiteral("job-part-1.pdf"),
                                                            QStringLiteral("job-part-2.pdf"),
                                                            QStringLiteral("job-part-3.pdf")}));

    const std::vector<DossierJoint> all = InDateOrder(job.joints);
    for (const QStringList& files :
         {weekFiles, QStringList{QStringLiteral("job-part-1.pdf"), QStringLiteral("job-part-2.pdf"),
                                 QStringLiteral("job-part-3.pdf")}}) {
        QStringList listed;
        for (int f = 0; f < files.size(); ++f) {
            const QString path = out.path() + QLatin1Char('/') + files[f];
            const QStringList pages = PdfPages(path);
            ASSERT_EQ(pages.size(), PdfPageCount(path));
            for (int i = 0; i < pages.size(); ++i)
                EXPECT_TRUE(
                    pages[i].contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages.size())))
                    << files[f].toStdString() << " page " << i + 1;
            QString table;
            for (const QString& page : pages)
                if (Section(page, job.job) == QLatin1String("Joints"))
                    table += page;
            const QStringList joints = TableJoints(Flat(table));
            const QString label = files[f].startsWith(QLatin1String("job-part"))
                                      ? QStringLiteral("Part %1 of 3").arg(f + 1)
                                      : QStringLiteral("Week %1").arg(files[f].mid(4, 8));
            EXPECT_TRUE(Flat(pages[0]).contains(Flat(
                QStringLiteral("%1: %2 of the job's 24 joints.").arg(label).arg(joints.size()))))
                << pages[0].toStdString();
            listed += joints;
        }
        ASSERT_EQ(listed.size(), static_cast<int>(all.size()));
        for (size_t i = 0; i < all.size(); ++i)
            EXPECT_EQ(listed[static_cast<int>(i)], all[i].dateTime);
    }

    // The same rows as CSV and JSON, in the same order, texts exact.
    const QStringList csv = QString::fromUtf8(DossierCsv(job, weeks)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(csv.size(), 1 + 24 + 1);
    EXPECT_TRUE(csv[0].startsWith(
        QStringLiteral("Date,Time,Joint,Employee,Machine,Size,Verdict,Review,Reviewer,Report,")));
    EXPECT_TRUE(csv[4].startsWith(
        QStringLiteral("2024-03-04,08:15:00,4,\"Smith, \"\"Bob\"\"\n=1+2\",M-1,")))
        << csv[4].toStdString();
    const QJsonArray json = QJsonDocument::fromJson(DossierJson(job, weeks)).array();
    ASSERT_EQ(json.size(), 24);
    for (int i = 0; i < 24; ++i) {
        const QJsonObject row = json[i].toObject();
        EXPECT_EQ(row[QStringLiteral("date_time")].toString(), all[i].dateTime);
        EXPECT_EQ(row[QStringLiteral("employee_id")].toString(), all[i].employee);
        EXPECT_EQ(row[QStringLiteral("state")].toString(), all[i].state);
        EXPECT_TRUE(csv[i + 1].startsWith(
            QString(all[i].dateTime).replace(QLatin1Char(' '), QLatin1Char(','))));
    }

    // A job with no joint in its dates is a dossier that says so.
    DossierJob none;
    none.job = QStringLiteral("J-0");
    const QString empty = out.path() + QStringLiteral("/none.pdf");
    ASSERT_TRUE(WriteDossier(none, empty, {}).ok);
    const QStringList pages = PdfPages(empty);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("0 joints, listed in the table that follows.")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("No review of these joints has been recorded.")));
}

// A dossier is written whole or not at all. A file already at its place, or
// put there meanwhile, is refused unless forced; Cancel in either pass, a report that goes away or
// changes while the pages are written, a full disk, and a failure in the
// second of several files each leave the folder as it was, and say why.
TEST_F(Dossier, WrittenWholeOrNotAtAll) {
    const DossierJob job = MakeDossierJob(reports.path(), 12);
    const QString pdf = out.path() + QStringLiteral("/dossier.pdf");
    Put(pdf, "an older dossier");
    DossierOptions options;
    DossierResult r = WriteDossier(job, pdf, options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, pdf + QStringLiteral(" already exists"));
    EXPECT_EQ(ReadAll(pdf), QByteArray("an older dossier"));
    options.force = true;
    r = WriteDossier(job, pdf, options);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_GT(PdfPageCount(pdf), 20);
    EXPECT_EQ(Entries(out.path()), QStringList{QStringLiteral("dossier.pdf")});
    QFile::remove(pdf);
    options.force = false;

    // Cancel while the reports are read, and while the pages are drawn.
    for (int at : {3, 12 + 5}) {
        int asked = 0;
        options.cancelled = [&] { return ++asked > at; };
        r = WriteDossier(job, pdf, options);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(Entries(out.path()), QStringList()) << at;
    }
    options.cancelled = {};

    // A report that goes away, or is written over, after its page was counted.
    const QString victim = job.joints[8].files[0];
    const QByteArray bytes = ReadAll(victim);
    for (bool rewrite : {false, true}) {
        options.progress = [&](const QString& step, int done, int) {
            if (step == QLatin1String("Writing pages") && done == 3) {
                QFile::remove(victim);
                if (rewrite)
                    Put(victim, bytes.left(bytes.size() - 1) + '!');
            }
        };
        r = WriteDossier(job, pdf, options);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.startsWith(victim + QStringLiteral(" changed or went away")))
            << r.error.toStdString();
        EXPECT_EQ(Entries(out.path()), QStringList());
        Put(victim, bytes);
    }
    // A file put in its place while the pages are drawn is not written over.
    options.progress = [&](const QString& step, int done, int) {
        if (step == QLatin1String("Writing pages") && done == 3)
            Put(pdf, "made meanwhile");
    };
    r = WriteDossier(job, pdf, options);
    EXPECT_EQ(r.error, pdf + QStringLiteral(" already exists"));
    EXPECT_EQ(ReadAll(pdf), QByteArray("made meanwhile"));
    EXPECT_EQ(Entries(out.path()), QStringList{QStringLiteral("dossier.pdf")});
    QFile::remove(pdf);
    options.progress = {};

    // A disk that fills up: no file may grow past 64 KB.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit full{64 * 1024, limit.rlim_max};
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    r = WriteDossier(job, pdf, options);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, out.path() + QStringLiteral(" cannot be written: File too large"));
    EXPECT_EQ(Entries(out.path()), QStringList());

    // Three files: one in the way refuses all; Cancel in the second leaves
    // not even the first.
    options.split = DossierOptions::Split::Joints;
    options.jointsPerFile = 4;
    Put(out.path() + QStringLiteral("/dossier-part-2.pdf"), "in the way");
    r = WriteDossier(job, pdf, options);
    EXPECT_EQ(r.error, out.path() + QStringLiteral("/dossier-part-2.pdf already exists"));
    EXPECT_EQ(Entries(out.path()), QStringList{QStringLiteral("dossier-part-2.pdf")});
    QFile::remove(out.path() + QStringLiteral("/dossier-part-2.pdf"));
    int asked = 0;
    options.cancelled = [&] { return ++asked > 12 + 6; };
    r = WriteDossier(job, pdf, options);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(Entries(out.path()), QStringList());
}
