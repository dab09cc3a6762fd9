// The job dossier of a job of 60 joints, some missing or offline, reviewed
// and not, with a hostile employee name and notes: its cover, the table of
// joints, a joint's report page and check page, and the review history, as
// the PDF shows them (rendered with pdftoppm).

#include "DossierMaker.h"
#include "Pictures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

int WriteDossierPictures(const QString& dir) {
    QTemporaryDir folder;
    DossierJob job = MakeDossierJob(folder.path(), 60, [](int j, ReportPlan& plan) {
        if (j == 4)
            plan.Set(RF_EMPLOYEE_ID, QStringLiteral("<b>Müller</b> & Söhne, Rohrleitungsbau "
                                                    "Niederrhein-Westfalen Schweißtrupp 4"));
        if (j == 7)
            plan.Set(RF_NOTES, QStringLiteral("<script>alert(1)</script> & <i>re-faced</i>"));
    });
    job.since = QDate(2024, 3, 4);
    job.until = QDate(2024, 3, 31);
    job.nearMatches = {{QStringLiteral("NW-Main 120"), 14}, {QStringLiteral("A-NW-Main 12"), 3}};
    DossierJoint early = job.joints[0];
    early.dateTime = QStringLiteral("2000-01-01 00:04:00");
    job.outsideRange = {early};

    const QString pdf = folder.path() + QStringLiteral("/dossier.pdf");
    const DossierOptions options;
    const DossierPlan plan = PlanDossier(job, pdf, options);
    const DossierResult result = WriteDossierPdf(job, plan, options);
    if (!result.ok) {
        std::fprintf(stderr, "vtq-pictures: the dossier failed: %s\n",
                     qUtf8Printable(result.error));
        return 1;
    }
    const DossierPart& part = plan.parts[0];
    int joint = 0;
    for (const DossierRow& row : plan.rows)
        if (row.state == QLatin1String("present") && job.joints[row.joint].jointNumber == 8)
            joint = row.firstPage;
    const std::pair<const char*, int> pages[] = {
        {"dossier-cover", 1},
        {"dossier-table", part.coverPages + 1},
        {"dossier-joint", joint},
        {"dossier-check", joint + 1},
        {"dossier-history", part.pages - part.historyPages + 1},
    };
    int failures = 0;
    for (const auto& [name, page] : pages) {
        const int code =
            QProcess::execute(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-r"), QStringLiteral("110"), QStringLiteral("-png"),
                               QStringLiteral("-singlefile"), QStringLiteral("-f"),
                               QString::number(page), QStringLiteral("-l"), QString::number(page),
                               pdf, dir + QLatin1Char('/') + QLatin1String(name)});
        if (code != 0) {
            std::fprintf(stderr, "vtq-pictures: pdftoppm could not draw %s\n", name);
            ++failures;
        }
    }
    return failures;
}
