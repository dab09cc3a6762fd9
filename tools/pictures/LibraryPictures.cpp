// The library's window over a few hundred joints of several jobs, some of
// them missing, offline or unreadable: filling during a first scan, with a
// joint's details beside the table, searched, browsed by job and day, its
// menus, its problems, the table alone; its Folders dialog with a share,
// a card that is not in the reader, a stick pulled out and a folder on
// another file system; Forget missing; the procedure check of a joint.
// An office's library on a throw-away PostgreSQL server: the window of a
// desk that lost its connection, and its Folders dialog with named folders
// mapped, unmapped and mapped wrong.

#include "FusionTrace.h"
#include "Pictures.h"

#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "library/BrowseTree.h"
#include "library/JointExport.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryDossierDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/LibraryJob.h"
#include "library/LibraryReviewDlg.h"
#include "library/LibraryScanner.h"
#include "library/LibraryWindow.h"
#include "library/Mounts.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/Resource.h"
#include "library/VerdictBook.h"
#include "platform/DeviceRoot.h"
#include "session/ReportStorage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace {
// Runs events for `ms`: a worker's report arrives as one.
void WaitEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs events until the window gives `signal`, for at most a minute.
template <typename Signal> void WaitFor(CLibraryWindow& window, Signal signal) {
    QEventLoop loop;
    QObject::connect(&window, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

// A popup as it shows.
bool SaveShown(QWidget& popup, const QString& name) {
    QApplication::processEvents();
    return SavePicture(popup, name);
}

void WaitForRows(CLibraryWindow& window) {
    while (window.Loading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void MakeJoints(const QString& share) {
    const char* jobs[] = {"J-2024-88", "J-2024-91", "NW-Main 12", "Creek X-ing"};
    const char* employees[] = {"E-117", "E-204", "E-311", "E-042", "E-118"};
    const char* notes[] = {"Crew 3. Cold wind, tent up.", "", "Re-faced once.",
                           "Inspector on site.", ""};
    for (int j = 0; j < 320; ++j) {
        // Most joints by the procedure, some not, some that cannot tell.
        FusionTrace trace;
        trace.bead = j % 11 == 0 ? 385 : 340;
        trace.noReadingAt = j % 17 == 0 ? 80 : -1;
        ReportPlan plan =
            j % 6 == 0 ? ButtFusionReport(120 + (j % 7) * 20) : FusionTracePlan(trace);
        plan.Set(RF_MONTH, 3 + j / 100);
        plan.Set(RF_DAY, 1 + (j / 4) % 28);
        plan.Set(RF_HOUR, 7 + j % 9);
        plan.Set(RF_JOINT_NUMBER, 1 + j % 80);
        plan.Set(RF_JOB_NUMBER, QString::fromLatin1(jobs[j % 4]));
        plan.Set(RF_EMPLOYEE_ID, QString::fromLatin1(employees[j % 5]));
        plan.Set(RF_NOTES, QString::fromLatin1(notes[j % 5]));
        plan.Set(RF_DEMO_MODE, j % 37 == 0 ? 1 : 0);
        const QString name = QStringLiteral("%1 joint %2.kjr").arg(jobs[j % 4]).arg(j);
        const QString path = WriteReport(plan, name);
        if (j % 3 == 0) { // the share holds a copy of every third joint
            QDir().mkpath(share);
            QFile::copy(path, share + QLatin1Char('/') + name);
        }
    }
    QFile bad(ReportFolder() + QStringLiteral("/half a download.kjr"));
    if (bad.open(QIODevice::WriteOnly))
        bad.write(QByteArray(700, '\0'));
}
} // namespace

namespace {
// Runs statements as the throw-away server's superuser.
bool Admin(const QString& socket, const QString& database, const QStringList& statements) {
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        db.setHostName(socket);
        db.setUserName(QStringLiteral("vtq"));
        db.setDatabaseName(database);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& s : statements)
            ok = ok && q.exec(s);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    return ok;
}

int WriteOfficePictures(const QString& share) {
    QTemporaryDir server;
    QTemporaryDir tree;
    QProcess start;
    start.start(QStringLiteral(VTQ_PG_TEST_SERVER), {QStringLiteral("start"), server.path()});
    start.waitForFinished(60000);
    const QString socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
    const auto stop = [&]() {
        QProcess::execute(QStringLiteral(VTQ_PG_TEST_SERVER),
                          {QStringLiteral("stop"), server.path()});
    };
    if (socket.isEmpty() ||
        !Admin(socket, QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE joints")})) {
        std::fputs("vtq-pictures: no PostgreSQL server for the office's pictures\n", stderr);
        stop();
        return 1;
    }
    const QString url = QStringLiteral("postgresql://vtq@%1/joints")
                            .arg(QString::fromLatin1(QUrl::toPercentEncoding(socket)));
    // Three named folders: the share, mapped here; one this desk maps to a
    // folder of other reports; one it does not map.
    const QString south = tree.path() + QStringLiteral("/south");
    const QString old = tree.path() + QStringLiteral("/archive 2019");
    QDir().mkpath(south);
    QDir().mkpath(old);
    QFile::copy(share + QStringLiteral("/J-2024-88 joint 0.kjr"), south + QStringLiteral("/a.kjr"));
    QFile::copy(share + QStringLiteral("/NW-Main 12 joint 6.kjr"), old + QStringLiteral("/b.kjr"));
    int failures = 0;
    {
        CLibraryStore made(url);
        made.Init(false);
    }
    LibraryJob job;
    job.database = url;
    job.scan = true;
    job.named = {{QStringLiteral("joints-nas"), share},
                 {QStringLiteral("joints-south"), south},
                 {QStringLiteral("archive-2019"), old}};
    RunLibraryJob(job);
    const QString wrong = tree.path() + QStringLiteral("/usb stick");
    QDir().mkpath(wrong);
    QFile::copy(share + QStringLiteral("/Creek X-ing joint 3.kjr"),
                wrong + QStringLiteral("/c.kjr"));
    SetRootMapping(QStringLiteral("joints-nas"), share);
    SetRootMapping(QStringLiteral("joints-south"), wrong);
    {
        CLibraryWindow window(url);
        window.OpenStore();
        WaitForRows(window);
        window.StatusBox()->setCurrentText(QStringLiteral("all"));
        window.Table()->resizeColumnsToContents();
        CLibraryFoldersDlg folders(window.KnownRoots(), &window);
        folders.m_bOffice = true;
        folders.Create();
        folders.SetCurSel(IDC_LIB_ROOT_LIST, 1);
        folders.OnSelChange(IDC_LIB_ROOT_LIST);
        failures += SavePicture(folders, QStringLiteral("library-office-folders")) ? 0 : 1;
        // The server stops taking connections to the library.
        Admin(socket, QStringLiteral("postgres"),
              {QStringLiteral("ALTER DATABASE joints ALLOW_CONNECTIONS false"),
               QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                              "datname = 'joints'")});
        window.Reload();
        WaitForRows(window);
        failures += SavePicture(window, QStringLiteral("library-office-lost")) ? 0 : 1;
    }
    WaitForLibraryWorkers(60000);
    SetRootMapping(QStringLiteral("joints-nas"), QString());
    SetRootMapping(QStringLiteral("joints-south"), QString());
    stop();
    return failures;
}
} // namespace

int WriteLibraryPictures() {
    // The library is a desktop program: the desktop's font, not the
    // handheld's.
    const QFont handheld = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    QTemporaryDir data;
    QTemporaryDir tree;
    const QString share = tree.path() + QStringLiteral("/office share");
    const QString stick = tree.path() + QStringLiteral("/stick/Joint Reports");
    MakeJoints(share);
    QDir().mkpath(stick);
    for (int j = 0; j < 2; ++j) { // joints only the stick holds
        ReportPlan plan = ButtFusionReport(90);
        plan.Set(RF_MONTH, 7);
        plan.Set(RF_JOINT_NUMBER, 90 + j);
        plan.Set(RF_JOB_NUMBER, QStringLiteral("Stick only"));
        QFile::rename(WriteReport(plan, QStringLiteral("stick.kjr")),
                      stick + QStringLiteral("/stick %1.kjr").arg(j));
    }
    // A handheld's card in the reader, known by its volume.
    const QString card = tree.path() + QStringLiteral("/media/HANDHELD");
    for (int j = 0; j < 3; ++j) {
        ReportPlan plan = ButtFusionReport(90);
        plan.Set(RF_MONTH, 8);
        plan.Set(RF_JOINT_NUMBER, 60 + j);
        plan.Set(RF_JOB_NUMBER, QStringLiteral("Card A"));
        QDir().mkpath(card + QStringLiteral("/Joint Reports"));
        QFile::rename(WriteReport(plan, QStringLiteral("card.kjr")),
                      card + QStringLiteral("/Joint Reports/card %1.kjr").arg(j));
    }
    SetMountTableForTests({{card, QStringLiteral("vfat"), QStringLiteral("/dev/sdc1"),
                            QStringLiteral("1A2B-3C4D"), QStringLiteral("HANDHELD"), 0}});
    SetAddedLibraryFolders({share, stick, card + QStringLiteral("/Joint Reports")});
    // The creek crossing is judged by the template's procedure (more
    // criteria than fit the check's box), the rest by the shipped one.
    const QString procedures = tree.path() + QStringLiteral("/procedures");
    QDir().mkpath(procedures);
    QFile::copy(ProcedureTemplatePath(), procedures + QStringLiteral("/dual.ini"));
    {
        QFile shipped(DefaultProcedurePath());
        QFile main(procedures + QStringLiteral("/main.ini"));
        if (shipped.open(QIODevice::ReadOnly) && main.open(QIODevice::WriteOnly))
            main.write(shipped.readAll().replace("Name=Generic PE", "Name=Water main PE"));
    }
    WriteSettingText(kKeyLibrary, kProcedureRulesKey,
                     QStringLiteral("Creek => %1/dual.ini").arg(procedures));
    const QString db = data.path() + QStringLiteral("/library.sqlite");
    {
        CLibraryStore store(db);
        store.Open(CLibraryStore::Mode::Write);
        CLibraryScanner scanner(store);
        const auto verdicts = CVerdictBook::Load(CSettingsProcedureSource());
        scanner.SetVerdicts(verdicts.get());
        scanner.Scan(LibraryRoots());
        // One joint deleted by hand (and said to be), the stick pulled out,
        // and the card taken back to its handheld.
        QFile::remove(ReportFolder() + QStringLiteral("/J-2024-91 joint 1.kjr"));
        QDir(tree.path() + QStringLiteral("/stick")).removeRecursively();
        QDir(card).removeRecursively();
        SetMountTableForTests({});
        scanner.SetConfirmedRemovals({ReportFolder()});
        scanner.Scan(LibraryRoots());
    }
    // Reviews of the J-2024-88 joints: most accepted, a few rejected or to
    // be made again, one accepted twice over a fail with a comment.
    {
        CLibraryStore store(db);
        store.Open(CLibraryStore::Mode::Review);
        int n = 0;
        for (const JointRow& r : store.Joints().value_or(std::vector<JointRow>())) {
            if (r.id <= 0 || r.fields.job != QLatin1String("J-2024-88") ||
                r.fields.verdict.isEmpty() || ++n > 60)
                continue;
            JointReview change;
            change.machineId = r.fields.machineId;
            change.dateTime = r.fields.dateTime;
            change.jointNumber = r.fields.jointNumber;
            change.sha256 = r.sha256;
            change.verdict = r.fields.verdict;
            change.procedureHash = r.fields.procedureHash;
            change.reviewer =
                n % 4 == 0 ? QStringLiteral("B. Okafor") : QStringLiteral("A. Lindqvist");
            const bool passed = r.fields.verdict == QLatin1String("pass");
            change.state = n % 9 == 0 ? QStringLiteral("re-test")
                           : !passed  ? QStringLiteral("rejected")
                                      : QStringLiteral("accepted");
            if (!passed)
                change.comment = QStringLiteral("Bead pressure over the limit; cut out.");
            change.inspections.visualPass = true;
            JointReview now;
            store.AddReview(change, now);
            if (!passed && n % 2 == 0) {
                change.revision = now.revision;
                change.from = now.state;
                change.state = QStringLiteral("accepted");
                change.reviewer = QStringLiteral("C. Ferreira, QA lead");
                change.comment = QStringLiteral("Gauge read high on this machine (calibration "
                                                "2024-02); bend test passed.");
                change.inspections.beadWidthMm = 11.5;
                change.inspections.bendTestPass = true;
                store.AddReview(change, now);
            }
        }
    }
    // The main's joints now go by a procedure file of their own: their
    // verdicts are not current until the next scan.
    WriteSettingText(
        kKeyLibrary, kProcedureRulesKey,
        QStringLiteral("Creek => %1/dual.ini\nNW-Main => %1/main.ini").arg(procedures));
    int failures = 0;
    {
        // The first scan of a new index, held a third of the way: the table
        // fills while it runs.
        const QString fresh = data.path() + QStringLiteral("/fresh.sqlite");
        CLibraryWindow window(fresh);
        window.OpenStore();
        QSemaphore reached, release;
        window.m_onWorkerProgress = [&](int done, int) {
            if (done == 120) {
                reached.release();
                release.tryAcquire(1, 60000);
            }
        };
        window.show();
        window.StartScan();
        if (reached.tryAcquire(1, 60000)) {
            for (int i = 0; i < 30 && window.Model().rowCount() == 0; ++i) {
                window.FollowChanges();
                WaitEvents(100);
            }
            failures += SavePicture(window, QStringLiteral("library-scanning")) ? 0 : 1;
        }
        release.release();
        WaitFor(window, &CLibraryWindow::ScanFinished);
        window.m_onWorkerProgress = nullptr;
        WaitForLibraryWorkers(60000);
    }
    {
        CLibraryWindow window(db);
        window.OpenStore();
        WaitForRows(window);
        window.StatusBox()->setCurrentText(QStringLiteral("all"));
        window.Table()->sortByColumn(JC_STATUS, Qt::AscendingOrder);
        window.Table()->resizeColumnsToContents();
        window.Table()->selectRow(3);
        WaitFor(window, &CLibraryWindow::DetailsShown);
        failures += SavePicture(window, QStringLiteral("library")) ? 0 : 1;
        window.SearchBox()->setText(QStringLiteral("creek"));
        window.ApplyFilter();
        window.StatusBox()->setCurrentText(QStringLiteral("present"));
        window.Table()->sortByColumn(JC_DATE_TIME, Qt::DescendingOrder);
        window.Table()->selectRow(1);
        WaitFor(window, &CLibraryWindow::DetailsShown);
        failures += SavePicture(window, QStringLiteral("library-search")) ? 0 : 1;

        // The browse tree: a job opened at one of its days.
        window.SearchBox()->clear();
        window.ApplyFilter();
        const std::vector<JointRow> all = window.Model().AllRows();
        BrowseChoice day{BrowseChoice::Job, QStringLiteral("NW-Main 12"), QString()};
        for (const JointRow& r : all)
            if (r.fields.job == day.value)
                day.day = r.fields.dateTime.left(10);
        window.Tree()->Choose(day);
        window.Table()->selectRow(0);
        WaitFor(window, &CLibraryWindow::DetailsShown);
        failures += SavePicture(window, QStringLiteral("library-browse")) ? 0 : 1;
        window.Tree()->Choose(BrowseChoice());

        // The menus, the table's context menu and the column chooser.
        for (QAction* menu : window.menuBar()->actions()) {
            QMenu* m = menu->menu();
            if (!m || menu->text() == QLatin1String("&Help"))
                continue;
            m->popup(window.mapToGlobal(QPoint(20, 20)));
            QApplication::processEvents();
            const QString name = menu->text().remove(QLatin1Char('&')).toLower();
            failures += SaveShown(*m, QStringLiteral("library-menu-") + name) ? 0 : 1;
            m->hide();
        }
        window.Table()->selectRow(2);
        QMenu* context = window.ContextMenu();
        context->popup(window.mapToGlobal(QPoint(300, 200)));
        QApplication::processEvents();
        failures += SaveShown(*context, QStringLiteral("library-context-menu")) ? 0 : 1;
        context->hide();

        // Problems, one a line, in their panel.
        window.Command(QStringLiteral("problems"))->setChecked(true);
        window.StartScan();
        WaitFor(window, &CLibraryWindow::ScanFinished);
        window.Table()->selectRow(0);
        WaitFor(window, &CLibraryWindow::DetailsShown);
        failures += SavePicture(window, QStringLiteral("library-problems")) ? 0 : 1;
        window.Command(QStringLiteral("problems"))->setChecked(false);
        window.Command(QStringLiteral("tree"))->setChecked(false);
        window.Command(QStringLiteral("details"))->setChecked(false);
        failures += SavePicture(window, QStringLiteral("library-table-only")) ? 0 : 1;
        window.Command(QStringLiteral("tree"))->setChecked(true);
        window.Command(QStringLiteral("details"))->setChecked(true);

        const std::vector<JointRow> rows = window.SelectedRows();
        if (!rows.empty()) {
            const JointCheck check =
                CheckJoint(rows[0], *CVerdictBook::Load(CSettingsProcedureSource()));
            CLibraryCheckDlg dialog(check.file, check.lines, &window);
            dialog.Create();
            failures += SavePicture(dialog, QStringLiteral("library-check")) ? 0 : 1;
        }

        // Reviews: the window filtered to one job, a joint reviewed twice
        // and its history; the dialog for several joints, and for one.
        window.SearchBox()->setText(QStringLiteral("J-2024-88"));
        window.Table()->sortByColumn(JC_DATE_TIME, Qt::AscendingOrder);
        window.Table()->clearSelection();
        int twice = -1;
        for (int r = 0; r < window.Model().rowCount() && twice < 0; ++r)
            if (window.Model().Row(r).Review().revision == 2)
                twice = r;
        window.Table()->selectRow(std::max(twice, 0));
        window.Table()->resizeColumnsToContents();
        failures += SavePicture(window, QStringLiteral("library-reviews")) ? 0 : 1;
        {
            CLibraryStore reader(db);
            reader.Open(CLibraryStore::Mode::Read);
            const std::vector<JointRow> one = window.SelectedRows();
            std::vector<JointReview> history;
            if (!one.empty()) {
                JointReview key = one[0].Review();
                history = reader.ReviewHistory(&key).value_or(std::vector<JointReview>());
            }
            CLibraryReviewDlg single(one, history, &window);
            single.m_reviewer = QStringLiteral("C. Ferreira, QA lead");
            single.Create();
            failures += SavePicture(single, QStringLiteral("library-review-one")) ? 0 : 1;
            std::vector<JointRow> several;
            for (int r = 0; r < window.Model().rowCount() && several.size() < 4; ++r)
                if (window.Model().Row(r).Review().state.isEmpty())
                    several.push_back(window.Model().Row(r));
            CLibraryReviewDlg many(several, {}, &window);
            many.m_reviewer = QStringLiteral("A. Lindqvist");
            many.Create();
            many.CheckRadioButton(IDC_LIB_REVIEW_ACCEPTED, IDC_LIB_REVIEW_RETEST,
                                  IDC_LIB_REVIEW_ACCEPTED);
            many.SetDlgItemText(IDC_LIB_REVIEW_BEAD, QStringLiteral("12.5"));
            many.SetCurSel(IDC_LIB_REVIEW_VISUAL, 1);
            failures += SavePicture(many, QStringLiteral("library-review-several")) ? 0 : 1;
        }
        CLibraryDossierDlg dossier(&window);
        dossier.m_job = QStringLiteral("J-2024-88");
        dossier.m_since = QDate(2024, 3, 1);
        dossier.m_until = QDate(2024, 3, 31);
        dossier.m_file = QStringLiteral("/home/office/Dossiers/J-2024-88 March.pdf");
        dossier.m_describe = [&](const QString&) {
            return QStringLiteral("80 joints of this job, dated 2024-03-01 to 2024-05-28.");
        };
        dossier.Create();
        failures += SavePicture(dossier, QStringLiteral("library-dossier")) ? 0 : 1;

        CLibraryStore store(db);
        store.Open(CLibraryStore::Mode::Read);
        // The share holds a disk of its own below it, which the walk did
        // not enter.
        std::vector<LibraryRoot> roots = store.Roots().value_or(std::vector<LibraryRoot>());
        for (LibraryRoot& r : roots)
            if (r.pathText == share)
                r.otherFileSystems << share + QStringLiteral("/archive");
        CLibraryFoldersDlg folders(roots, &window);
        folders.m_joints = store.JointsPerRoot().value_or(QHash<qint64, RootJoints>());
        folders.Create();
        folders.SetCurSel(IDC_LIB_ROOT_LIST, 0);
        folders.OnSelChange(IDC_LIB_ROOT_LIST);
        failures += SavePicture(folders, QStringLiteral("library-folders")) ? 0 : 1;

        CLibraryForgetDlg forget(&window);
        forget.m_missing = [&](qint64 ageMs) {
            return store.MissingOlderThan(ageMs).value_or(std::vector<ForgetItem>());
        };
        forget.Create();
        forget.SetDlgItemInt(IDC_LIB_FORGET_DAYS, 0);
        failures += SavePicture(forget, QStringLiteral("library-forget")) ? 0 : 1;
    }
    WaitForLibraryWorkers(60000);
    SetAddedLibraryFolders({});
    WriteSettingText(kKeyLibrary, kProcedureRulesKey, QString());
    failures += WriteOfficePictures(share);
    QApplication::setFont(handheld);
    return failures;
}
