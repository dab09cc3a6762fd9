#include "library/LibraryWindow.h"
#include "LibraryTree.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "library/BrowseTree.h"
#include "library/ChangeNotices.h"
#include "library/FolderWatch.h"
#include "library/JointDetailsPane.h"
#include "library/JointTable.h"
#include "library/JointTableModel.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryDossierDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/LibraryJob.h"
#include "library/LibraryLayout.h"
#include "library/LibraryReviewDlg.h"
#include "library/LibraryScanner.h"
#include "library/Mounts.h"
#include "library/NamedRoots.h"
#include "library/Resource.h"
#include "library/RootProbe.h"
#include "library/SortKey.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/ViewerSocket.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
// Runs events until the window says its scan ended, for at most a minute.
bool WaitForScan(CLibraryWindow& window) {
    bool ended = false;
    QEventLoop loop;
    const auto c = QObject::connect(&window, &CLibraryWindow::ScanFinished, &loop, [&]() {
        ended = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (window.Scanning())
        loop.exec();
    QObject::disconnect(c);
    return ended;
}

// Runs events until `done` holds, for at most `ms`; whether it held.
bool WaitUntil(const std::function<bool()>& done, int ms = 60000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// Runs events until `object` gives `signal` (after `start`), for at most a minute.
template <typename Object, typename Signal>
bool WaitForSignal(Object* object, Signal signal, const std::function<void()>& start) {
    bool given = false;
    const auto c = QObject::connect(object, signal, object, [&]() { given = true; });
    start();
    WaitUntil([&]() { return given; });
    QObject::disconnect(c);
    return given;
}

void Press(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

void HangForEver(const char*) {
    for (;;)
        pause();
}

// Until the readings asked for have landed.
bool WaitForRows(CLibraryWindow& window) {
    return WaitUntil([&]() { return !window.Loading(); });
}

class LibraryWindow : public ::testing::Test {
protected:
    void SetUp() override {
        reports = TestRootFolder() + QStringLiteral("/Joint Reports");
        const char* employees[] = {"E-117", "E-204", "E-117", "E-300", "E-117"};
        const char* jobs[] = {"Job 10", "job 9", "Job 10", "J-S2", "J-S2"};
        for (int j = 1; j <= 5; ++j) {
            ReportPlan plan = ButtFusionReport(60);
            plan.Set(RF_JOINT_NUMBER, 10 - j);
            plan.Set(RF_JOB_NUMBER, QString::fromLatin1(jobs[j - 1]));
            plan.Set(RF_EMPLOYEE_ID, QString::fromLatin1(employees[j - 1]));
            plan.Set(RF_DAY, j);
            WriteReport(plan, QStringLiteral("joint %1.kjr").arg(j));
        }
    }
    void TearDown() override { EXPECT_TRUE(WaitForLibraryWorkers(60000)); }
    // Scans on the window's worker and waits, with a bound, for its end.
    void ScanAndWait(CLibraryWindow& window) {
        window.StartScan();
        ASSERT_TRUE(WaitForScan(window));
    }
    QList<int> JointColumn(CLibraryWindow& window) {
        QList<int> joints;
        for (int r = 0; r < window.Model().rowCount(); ++r)
            joints << window.Model().Row(r).fields.jointNumber;
        return joints;
    }

    LibrarySeams seams;
    QString reports;
    QTemporaryDir data;
    QString db = data.path() + QStringLiteral("/library.sqlite");
};
} // namespace

// The table shows, after every change a clerk makes (typing a search a
// letter at a time and taking letters back, a verdict, a status, a click on
// a column), exactly the rows a filter of every row would keep, in the
// column's order with rows alike in the order they were read. A search
// that grows only looks again at the rows shown; anything else at them all.
TEST(JointTable, ShowsWhatAFreshFilterAndOrderWouldAfterEveryChange) {
    std::mt19937 random(7);
    const QStringList jobs{"Job 9", "job 10", "J-S2", "JOB 100", "Straße 4", "STRASSE 4"};
    const QStringList employees{"E-117", "e-1170", "E-204", "Ünal", "ünal"};
    const QStringList verdicts{"pass", "fail", "incomplete", "unknown"};
    std::vector<JointRow> rows;
    for (int i = 0; i < 400; ++i) {
        JointRow r;
        r.id = i % 41 == 0 ? -i - 1 : i + 1; // a few unreadable files
        r.status = i % 7 == 0 ? QStringLiteral("missing") : QStringLiteral("present");
        JointFields& f = r.fields;
        f.dateTime = QStringLiteral("2024-03-%1 10:00:00")
                         .arg(1 + int(random() % 9), 2, 10, QLatin1Char('0'));
        f.jointNumber = int(random() % 150);
        f.job = jobs[int(random() % jobs.size())];
        f.employee = employees[int(random() % employees.size())];
        f.machineId = QStringLiteral("FM-%1").arg(int(random() % 3));
        f.notes = i % 5 == 0 ? QStringLiteral("bead\nrolled") : QString();
        f.verdict = verdicts[int(random() % verdicts.size())];
        r.verdictNote = i % 11 == 0 ? QStringLiteral("procedure changed") : QString();
        r.keys.job = TextSortKey(f.job);
        r.keys.employee = TextSortKey(f.employee);
        r.keys.machine = TextSortKey(f.machineId);
        r.files << QStringLiteral("/cards/A/joint %1.kjr").arg(i);
        rows.push_back(r);
    }
    CJointTableModel model;
    model.SetRows(rows);
    const auto expected = [&](const JointFilter& filter) {
        std::vector<JointRow> kept = FilterJoints(rows, filter);
        const int column = model.SortColumn();
        const bool up = model.SortOrder() == Qt::AscendingOrder;
        std::stable_sort(kept.begin(), kept.end(), [&](const JointRow& a, const JointRow& b) {
            if (IsNumberColumn(column)) {
                const double ka = JointCellNumber(a, column), kb = JointCellNumber(b, column);
                return up ? ka < kb : kb < ka;
            }
            const QByteArray ka = JointCellSortKey(a, column), kb = JointCellSortKey(b, column);
            return up ? ka < kb : kb < ka;
        });
        QList<qint64> ids;
        for (const JointRow& r : kept)
            ids << r.id;
        return ids;
    };
    const auto shown = [&]() {
        QList<qint64> ids;
        for (int r = 0; r < model.rowCount(); ++r)
            ids << model.Row(r).id;
        return ids;
    };
    JointFilter filter;
    filter.status = QStringLiteral("all");
    int step = 0;
    const auto change = [&](const std::function<void()>& edit) {
        edit();
        model.SetFilter(filter);
        const QList<qint64> want = expected(filter);
        EXPECT_EQ(shown(), want) << "step " << step << ": \"" << qPrintable(filter.search) << "\" "
                                 << qPrintable(filter.verdict) << " " << qPrintable(filter.status);
        ++step;
        return want.size();
    };
    for (const char* typed : {"j", "jo", "job", "job ", "job 1", "job 10", "job 1", "job", ""})
        change([&]() { filter.search = QString::fromUtf8(typed); });
    EXPECT_GT(change([&]() { filter.search = QStringLiteral("strasse"); }), 0u);
    EXPECT_GT(change([&]() { filter.search = QStringLiteral("STRASSE 4"); }), 0u);
    change([&]() { filter.search = QStringLiteral("ünal"); });
    change([&]() { filter.search = QStringLiteral("ÜNAL"); });
    // A grown search with another verdict or status looks at every row.
    change([&]() {
        filter.search = QStringLiteral("e-1");
        filter.verdict = QStringLiteral("fail");
    });
    change([&]() {
        filter.search = QStringLiteral("e-11");
        filter.verdict = QString();
    });
    change([&]() {
        filter.search = QStringLiteral("e-117");
        filter.status = QStringLiteral("present");
    });
    change([&]() { filter.verdict = QStringLiteral("not current"); });
    // Never across two texts (a job's end and an employee's start).
    EXPECT_EQ(change([&]() { filter.search = QStringLiteral("4e-"); }), 0u);
    change([&]() {
        filter.search = QStringLiteral("d\nrolled");
        filter.verdict = QString();
    });
    for (const auto& [column, order] :
         std::vector<std::pair<int, Qt::SortOrder>>{{JC_JOB, Qt::AscendingOrder},
                                                    {JC_JOB, Qt::DescendingOrder},
                                                    {JC_JOINT, Qt::AscendingOrder},
                                                    {JC_VERDICT, Qt::DescendingOrder},
                                                    {JC_EMPLOYEE, Qt::AscendingOrder}}) {
        model.sort(column, order);
        change([]() {});
        change([&]() { filter.search = QStringLiteral("j"); });
        change([&]() { filter.search = QStringLiteral("j-s"); });
        change([&]() { filter.search = QString(); });
    }
    // Read anew (a reload) and made ready in the order asked for when the
    // reading began, while the user chose another.
    std::reverse(rows.begin(), rows.end());
    model.SetRows(PrepareJointRows(rows, JC_DATE_TIME, Qt::AscendingOrder));
    EXPECT_EQ(model.SortColumn(), JC_EMPLOYEE);
    change([]() {});
}

// Search (after a pause for typing, over job, employee, model, joint number
// and file name too), natural sort ("job 9" before "Job 10", any case), the
// browse tree (jobs in that order, with their days; machines) and count;
// the list of two selected rows, or of every row shown when none is, written
// as a CSV file a spreadsheet reads right.
TEST_F(LibraryWindow, FindSortBrowseAndExport) {
    PutFile(reports + QStringLiteral("/extra/Creek crossing.kjr"),
            MakeReportBytes(77, QStringLiteral("J-77")));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    EXPECT_EQ(window.CountLabel()->text(), QStringLiteral("6 of 6 shown"));
    EXPECT_EQ(JointColumn(window), (QList<int>{77, 5, 6, 7, 8, 9})); // newest first
    window.Table()->sortByColumn(JC_JOB, Qt::AscendingOrder);
    EXPECT_EQ(JointColumn(window), (QList<int>{77, 6, 5, 8, 9, 7}));

    window.SearchBox()->setText(QStringLiteral("e-117"));
    EXPECT_EQ(window.Model().rowCount(), 6); // still typing
    window.ApplyFilter();                    // the pause's end
    EXPECT_EQ(window.CountLabel()->text(), QStringLiteral("4 of 6 shown"));
    window.Table()->sortByColumn(JC_JOINT, Qt::AscendingOrder);
    EXPECT_EQ(JointColumn(window), (QList<int>{5, 7, 9, 77}));
    for (const auto& [text, joints] : std::vector<std::pair<QString, QList<int>>>{
             {QStringLiteral("job 10"), {7, 9}},
             {QStringLiteral("CREEK"), {77}},
             {QStringLiteral("77"), {77}},
             {QStringLiteral("rhino"), {5, 6, 7, 8, 9, 77}}}) {
        window.SearchBox()->setText(text);
        window.ApplyFilter();
        EXPECT_EQ(JointColumn(window), joints) << qPrintable(text);
    }

    window.SearchBox()->clear();
    window.ApplyFilter();
    CBrowseTree* tree = window.Tree();
    QStringList jobs;
    QTreeWidgetItem* jobItems = tree->topLevelItem(1);
    for (int i = 0; i < jobItems->childCount(); ++i)
        jobs << jobItems->child(i)->text(0);
    EXPECT_EQ(jobs, (QStringList{"J-77  (1)", "J-S2  (2)", "job 9  (1)", "Job 10  (2)"}));
    QTreeWidgetItem* job10 = jobItems->child(3);
    ASSERT_EQ(job10->childCount(), 2);
    tree->setCurrentItem(job10->child(0)); // its newest day
    EXPECT_EQ(JointColumn(window), QList<int>{7});
    EXPECT_EQ(tree->topLevelItem(2)->child(0)->text(0), QStringLiteral("FM-0042  (6)"));
    tree->setCurrentItem(job10);
    EXPECT_EQ(JointColumn(window), (QList<int>{7, 9}));

    window.Table()->selectRow(0);
    window.Table()->selectionModel()->select(
        window.Model().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    // A reload under the user's hands keeps the selection.
    window.Reload();
    ASSERT_TRUE(WaitForRows(window));
    ASSERT_EQ(window.SelectedRows().size(), 2u);
    const QString csv = data.path() + QStringLiteral("/joints.csv");
    window.m_askSavePath = [&](const QString&, const QString&) { return csv; };
    const auto exported = [&]() {
        window.Command(QStringLiteral("export-list"))->trigger();
        QFile file(csv);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().split('\n');
    };
    QList<QByteArray> lines = exported();
    ASSERT_EQ(lines.size(), 4); // header, two joints, the end
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBF"
                                    "date_time,joint_number,job_number"));
    EXPECT_TRUE(lines[1].startsWith("2024-03-03 14:30:05,7,Job 10,E-117"));
    EXPECT_TRUE(lines[2].startsWith("2024-03-01 14:30:05,9,Job 10,E-117"));
    tree->setCurrentItem(tree->topLevelItem(0));
    window.Table()->clearSelection();
    EXPECT_EQ(exported().size(), 8); // every joint shown

    // The two as printed pages, written on a worker.
    const QString pdfs = data.path() + QStringLiteral("/pdf");
    QDir().mkpath(pdfs);
    window.m_askFolder = [&](const QString&) { return pdfs; };
    window.Table()->sortByColumn(JC_JOINT, Qt::AscendingOrder);
    window.Table()->selectRow(2);
    window.Table()->selectionModel()->select(
        window.Model().index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(WaitForSignal(&window, &CLibraryWindow::ExportFinished,
                              [&]() { window.Command(QStringLiteral("export-pdf"))->trigger(); }));
    EXPECT_EQ(QDir(pdfs).entryList(QDir::Files),
              (QStringList{QStringLiteral("joint 1.pdf"), QStringLiteral("joint 3.pdf")}));
}

// The verdict filter; the details pane shows the selected joint from the
// index at once and its check, plots and report text when a worker has read
// them; "Check..." in the table's context menu shows its criteria, or says
// that its file cannot be read now.
TEST_F(LibraryWindow, VerdictFilterDetailsAndCheck) {
    PutFile(reports + QStringLiteral("/good.kjr"),
            MakeCheckedReportBytes(21, QStringLiteral("J-C3"), true));
    PutFile(reports + QStringLiteral("/bad.kjr"),
            MakeCheckedReportBytes(22, QStringLiteral("J-C3"), false));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    QComboBox* verdict = nullptr;
    for (QComboBox* box : window.findChildren<QComboBox*>())
        if (box->findData(QStringLiteral("pass")) >= 0)
            verdict = box;
    ASSERT_NE(verdict, nullptr);
    verdict->setCurrentIndex(verdict->findData(QStringLiteral("fail")));
    EXPECT_TRUE(JointColumn(window).contains(22));
    EXPECT_FALSE(JointColumn(window).contains(21));
    verdict->setCurrentIndex(verdict->findData(QStringLiteral("pass")));
    EXPECT_EQ(window.CountLabel()->text(), QStringLiteral("1 of 7 shown"));
    ASSERT_EQ(JointColumn(window), QList<int>{21});

    CJointDetailsPane* pane = window.Pane();
    ASSERT_TRUE(WaitForSignal(&window, &CLibraryWindow::DetailsShown,
                              [&]() { window.Table()->selectRow(0); }));
    EXPECT_TRUE(pane->SectionText(QStringLiteral("joint")).startsWith(QStringLiteral("Joint 21")));
    EXPECT_TRUE(
        pane->SectionText(QStringLiteral("location"))
            .contains(QStringLiteral("present — ") + reports + QStringLiteral("/good.kjr")));
    const QString check = pane->SectionText(QStringLiteral("check"));
    EXPECT_TRUE(
        check.contains(QRegularExpression(QStringLiteral("heaterRemovalTime +pass +5.1 s "))))
        << qPrintable(check);
    EXPECT_TRUE(check.endsWith(QStringLiteral("Verdict pass"))) << qPrintable(check);
    EXPECT_TRUE(pane->SectionText(QStringLiteral("report")).contains(QStringLiteral("J-C3")));
    EXPECT_TRUE(pane->Section(QStringLiteral("plots"))->isVisibleTo(pane));
    EXPECT_TRUE(pane->DetailsShown());
    window.Table()->clearSelection();
    EXPECT_EQ(pane->JointId(), 0);
    EXPECT_FALSE(pane->Section(QStringLiteral("check"))->isVisibleTo(pane));
    window.Table()->selectRow(0);

    const auto checkAndWait = [&]() {
        QAction* check = nullptr;
        for (QAction* a : window.ContextMenu()->actions())
            if (a->text() == QLatin1String("&Check..."))
                check = a;
        EXPECT_TRUE(check && check->isEnabled());
        return check &&
               WaitForSignal(&window, &CLibraryWindow::CheckFinished, [&]() { check->trigger(); });
    };
    ScriptedRunner runner;
    QString file;
    QStringList lines;
    runner.Then<CLibraryCheckDlg>([&](CLibraryCheckDlg& dlg) {
        file = dlg.GetDlgItemText(IDC_LIB_CHECK_FILE);
        lines = dlg.GetDlgItemText(IDC_LIB_CHECK_TEXT).split(QLatin1Char('\n'));
        dlg.ClickDlgItem(IDOK);
    });
    ASSERT_TRUE(checkAndWait());
    EXPECT_EQ(file, reports + QStringLiteral("/good.kjr"));
    ASSERT_EQ(lines.size(), 11); // the procedure, nine criteria, the verdict
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Procedure: Generic PE")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("heaterRemovalTime   pass    5.1 s")))
        << qPrintable(lines[5]);
    EXPECT_EQ(lines[10], QStringLiteral("Verdict: pass"));
    EXPECT_TRUE(runner.Failures().empty());

    ScriptedPrompter prompter;
    QFile::remove(reports + QStringLiteral("/good.kjr"));
    ASSERT_TRUE(checkAndWait());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              reports + QStringLiteral("/good.kjr: no file of this joint can be read now"));
    EXPECT_EQ(runner.Run().size(), 1u);
}

// Cancel ends the window's wait at once, even while the worker is held on
// a file (as on a share that stopped answering); the next scan waits its
// turn and finds everything. Closing the window waits for no worker: not
// for one held on a file, nor for a folder that does not answer.
TEST_F(LibraryWindow, CancelAndCloseNeverWaitForAWorker) {
    auto window = std::make_unique<CLibraryWindow>(db);
    ASSERT_TRUE(window->OpenStore());
    window->show();
    QSemaphore reached, release;
    window->m_onWorkerProgress = [&](int done, int) {
        if (done == 1) {
            reached.release();
            EXPECT_TRUE(release.tryAcquire(1, 60000));
        }
    };
    window->StartScan();
    ASSERT_TRUE(reached.tryAcquire(1, 60000));
    EXPECT_TRUE(window->Scanning());
    EXPECT_TRUE(window->ProgressBar()->isVisible());
    EXPECT_TRUE(window->CancelButton()->isVisible());
    window->CancelButton()->click(); // the worker is still held
    EXPECT_FALSE(window->Scanning());
    EXPECT_TRUE(window->LastScan().cancelled);
    EXPECT_FALSE(window->ProgressBar()->isVisible());
    EXPECT_FALSE(window->CancelButton()->isVisible());

    window->m_onWorkerProgress = nullptr;
    window->StartScan(); // waits for the lock the held worker has
    release.release();
    ASSERT_TRUE(WaitForScan(*window));
    EXPECT_FALSE(window->LastScan().cancelled);
    EXPECT_EQ(window->Model().Total(), 5);
    EXPECT_EQ(window->ProgressBar()->value(), 5);

    // Held on a file, then closed.
    window->m_onWorkerProgress = [&](int done, int) {
        if (done == 1) {
            reached.release();
            EXPECT_TRUE(release.tryAcquire(1, 60000));
        }
    };
    PutFile(reports + QStringLiteral("/new.kjr"), MakeReportBytes(30, QStringLiteral("J-N")));
    window->StartScan();
    ASSERT_TRUE(reached.tryAcquire(1, 60000));
    window.reset();
    release.release();
    ASSERT_TRUE(WaitForLibraryWorkers(60000));

    // A folder that does not answer, with a deadline of ten minutes.
    SetProbeHookForTests(&HangForEver);
    window = std::make_unique<CLibraryWindow>(db);
    window->m_nProbeMs = 600000;
    ASSERT_TRUE(window->OpenStore());
    window->StartScan();
    window.reset();
    EXPECT_TRUE(WaitForLibraryWorkers(60000));
}

class LibraryWindowOnStores : public LibraryWindow, public ::testing::WithParamInterface<Store> {};

// The window reads without a lock, off its own thread, and follows what
// other programs commit: an SQLite index's counter, a server's notices.
// When the server stops answering it says so, keeps the rows it has, and
// when the server is back reads what was committed meanwhile.
TEST_P(LibraryWindowOnStores, FollowsAnotherProgramsCommitsAndALostServer) {
    const TestLibrary lib(GetParam(), db);
    ASSERT_TRUE(lib.Ready()) << qPrintable(lib.Error());
    if (lib.Server())
        SetRootMapping(QStringLiteral("device"), reports);
    CChangeNotices::SetHeartbeatForTests(200);
    CLibraryWindow window(lib.database);
    ASSERT_TRUE(window.OpenStore()); // no joints yet: nothing to show
    ASSERT_TRUE(WaitForRows(window));
    EXPECT_EQ(window.Model().Total(), 0);
    LibraryJob job;
    job.database = lib.database;
    job.scan = true;
    job.folders = LibraryRoots();
    job.named = RootMappings();
    ASSERT_EQ(RunLibraryJob(job).outcome, LibraryJobResult::Done);
    window.FollowChanges();
    ASSERT_TRUE(WaitUntil([&]() { return window.Model().Total() == 5; }));
    PutFile(reports + QStringLiteral("/new.kjr"), MakeReportBytes(30, QStringLiteral("J-N")));
    if (!lib.Server()) {
        ASSERT_TRUE(WaitForRows(window));
        window.FollowChanges(); // nothing committed: nothing read again
        EXPECT_FALSE(window.Loading());
    }
    ASSERT_EQ(RunLibraryJob(job).outcome, LibraryJobResult::Done);
    window.FollowChanges();
    ASSERT_TRUE(WaitUntil([&]() { return window.Model().Total() == 6; }));
    if (lib.Server()) {
        // The server takes no connection to the library and ends the
        // window's; later it takes them again.
        const QString name = lib.Server()->Name();
        ASSERT_TRUE(PgAdmin(QStringLiteral("postgres"),
                            {QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(name),
                             QStringLiteral("SELECT pg_terminate_backend(pid) FROM "
                                            "pg_stat_activity WHERE datname = '%1'")
                                 .arg(name)}));
        ASSERT_TRUE(WaitUntil([&]() { return !window.StateText().isEmpty(); }));
        window.Reload();
        ASSERT_TRUE(WaitForRows(window));
        EXPECT_TRUE(window.StateText().contains(QLatin1String("cannot be reached")))
            << qPrintable(window.StateText());
        EXPECT_EQ(window.Model().Total(), 6);
        ASSERT_TRUE(
            PgAdmin(QStringLiteral("postgres"),
                    {QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(name)}));
        PutFile(reports + QStringLiteral("/newer.kjr"), MakeReportBytes(31, QStringLiteral("J-N")));
        ASSERT_EQ(RunLibraryJob(job).outcome, LibraryJobResult::Done);
        ASSERT_TRUE(WaitUntil(
            [&]() { return window.StateText().isEmpty() && window.Model().Total() == 7; }));
    }
    CChangeNotices::SetHeartbeatForTests(0);
}

INSTANTIATE_TEST_SUITE_P(Stores, LibraryWindowOnStores,
                         ::testing::Values(Store::SQLite, Store::PostgreSQL), StoreName);

// The Folders dialog keeps the added folders and the backup folder in the
// settings and shows where the joints lie; a folder taken out takes its
// joints with it, also when that was done during a scan: then after it.
TEST_F(LibraryWindow, FoldersDialog) {
    QTemporaryDir share;
    PutFile(share.path() + QStringLiteral("/x.kjr"), MakeReportBytes(42, QStringLiteral("J-X")));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    window.m_askFolder = [&](const QString&) { return share.path() + QStringLiteral("/."); };
    ScriptedRunner runner;
    runner.Then<CLibraryFoldersDlg>([](CLibraryFoldersDlg& dlg) {
        dlg.ClickDlgItem(IDC_LIB_ADD);
        dlg.ClickDlgItem(IDC_LIB_ADD); // the same folder once only
        dlg.SetDlgItemText(IDC_LIB_CARD, QStringLiteral(" /media/me/SD "));
        dlg.ClickDlgItem(IDOK);
    });
    window.ShowFolders();
    EXPECT_EQ(AddedLibraryFolders(), QStringList{share.path()});
    EXPECT_EQ(NamedBackupCard(), QStringLiteral("/media/me/SD"));
    ASSERT_TRUE(WaitForScan(window));
    EXPECT_EQ(window.Model().Total(), 6);

    QStringList lines;
    QSemaphore reached, release;
    window.m_onWorkerProgress = [&](int done, int) {
        if (done == 1) {
            reached.release();
            EXPECT_TRUE(release.tryAcquire(1, 60000));
        }
    };
    window.StartScan();
    ASSERT_TRUE(reached.tryAcquire(1, 60000));
    runner.Then<CLibraryFoldersDlg>([&](CLibraryFoldersDlg& dlg) {
        for (int i = 0; i < dlg.GetCount(IDC_LIB_ROOT_LIST); ++i)
            lines << dlg.GetLBText(IDC_LIB_ROOT_LIST, i);
        EXPECT_EQ(dlg.GetCount(IDC_LIB_FOLDER_LIST), 1);
        dlg.SetCurSel(IDC_LIB_FOLDER_LIST, 0);
        dlg.ClickDlgItem(IDC_LIB_REMOVE);
        dlg.SetDlgItemText(IDC_LIB_CARD, QString());
        dlg.ClickDlgItem(IDOK);
    });
    window.ShowFolders();
    EXPECT_TRUE(AddedLibraryFolders().isEmpty());
    window.m_onWorkerProgress = nullptr;
    release.release();
    ASSERT_TRUE(WaitForScan(window)); // the scan that ran
    EXPECT_EQ(window.Model().Total(), 6);
    ASSERT_TRUE(WaitForScan(window)); // the one that applies the change
    EXPECT_EQ(window.Model().Total(), 5);
    EXPECT_TRUE(runner.Failures().empty());
    ASSERT_EQ(lines.size(), 3) << qPrintable(lines.join(QLatin1Char('\n')));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("present — 5 joints — scanned whole ")))
        << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" — ") + reports));
    EXPECT_EQ(lines[1], QStringLiteral("offline: not found — /media/me/SD/Joint Reports"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("present — 1 joints — ")))
        << qPrintable(lines[2]);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" — ") + share.path()));
}

// A folder that lost most of its joints at once: only the user can say they
// were deleted; until then they are offline. Forget missing shows what it
// would forget, for an age the user sets, before it does.
TEST_F(LibraryWindow, EmptiedFolderAsksAndForgetShowsTheListFirst) {
    SetFixedLocalTime(QDateTime(QDate(2024, 5, 2), QTime(10, 0), Qt::UTC));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    for (int j = 1; j <= 4; ++j)
        QFile::remove(reports + QStringLiteral("/joint %1.kjr").arg(j));
    ScriptedPrompter prompter;
    prompter.Answer(IDNO);
    ScanAndWait(window);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_TRUE(prompter.Shown()[0].text.contains(reports));
    EXPECT_TRUE(prompter.Shown()[0].text.contains(QStringLiteral("another card")));
    window.StatusBox()->setCurrentText(QStringLiteral("offline"));
    EXPECT_EQ(window.Model().rowCount(), 4);

    prompter.Answer(IDYES);
    ScanAndWait(window);              // the scan that asks
    ASSERT_TRUE(WaitForScan(window)); // the one that marks them missing
    window.StatusBox()->setCurrentText(QStringLiteral("missing"));
    EXPECT_EQ(window.Model().rowCount(), 4);
    EXPECT_EQ(window.Model().Row(0).missingSince,
              QDateTime(QDate(2024, 5, 2), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch());
    window.StatusBox()->setCurrentText(QStringLiteral("present"));
    EXPECT_EQ(window.Model().rowCount(), 1);
    EXPECT_EQ(prompter.Shown().size(), 2u);

    // Forty days on: the list shows the four at thirty days, none at fifty.
    SetFixedLocalTime(QDateTime(QDate(2024, 6, 11), QTime(10, 0), Qt::UTC));
    ScriptedRunner runner;
    QStringList shown;
    runner.Then<CLibraryForgetDlg>([&](CLibraryForgetDlg& dlg) {
        EXPECT_EQ(dlg.GetCount(IDC_LIB_FORGET_LIST), 4);
        dlg.SetDlgItemText(IDC_LIB_FORGET_DAYS, QStringLiteral("50"));
        EXPECT_EQ(dlg.GetCount(IDC_LIB_FORGET_LIST), 0);
        EXPECT_FALSE(dlg.GetDlgItem(IDOK)->isEnabled());
        dlg.SetDlgItemText(IDC_LIB_FORGET_DAYS, QStringLiteral("30"));
        for (int i = 0; i < dlg.GetCount(IDC_LIB_FORGET_LIST); ++i)
            shown << dlg.GetLBText(IDC_LIB_FORGET_LIST, i);
        dlg.ClickDlgItem(IDOK);
    });
    window.ForgetMissing();
    ASSERT_TRUE(WaitForScan(window));
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[0],
              QStringLiteral("joint 9 of 2024-03-01 14:30:05, job Job 10 — missing since "
                             "%1 — %2/joint 1.kjr")
                  .arg(LibraryTimeText(
                           QDateTime(QDate(2024, 5, 2), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch()),
                       reports));
    window.StatusBox()->setCurrentText(QStringLiteral("all"));
    EXPECT_EQ(window.Model().rowCount(), 1);
}

namespace {
// A viewer that is already running, at the test's door: it takes one
// request a call and gives `answer`; the path asked for.
class FakeViewer {
public:
    FakeViewer() : m_fd(ListenAsViewer(ViewerSocketPath())) {}
    ~FakeViewer() {
        if (m_fd >= 0)
            close(m_fd);
        unlink(QFile::encodeName(ViewerSocketPath()).constData());
    }
    bool Listening() const { return m_fd >= 0; }
    // Answers the next caller on a thread of its own.
    void AnswerNext(const QByteArray& answer) {
        m_thread = std::thread([this, answer]() {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 60000) != 1)
                return;
            const int c = accept(m_fd, nullptr, nullptr);
            QByteArray line;
            char buffer[512];
            while (!line.contains('\n')) {
                const ssize_t n = recv(c, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                line.append(buffer, n);
            }
            m_asked = ViewerRequestPath(line);
            (void)!send(c, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
            close(c);
        });
    }
    QByteArray Asked() {
        if (m_thread.joinable())
            m_thread.join();
        return m_asked;
    }

private:
    int m_fd;
    std::thread m_thread;
    QByteArray m_asked;
};
} // namespace

// Enter opens the joint's present copy (one that is still there, though the
// index has another first) in the viewer: handed to one that runs and is
// idle, else a viewer is started with it. A joint none of whose copies can
// be read opens nothing and says so in the problems panel; a file that is
// no report cannot be opened at all.
TEST_F(LibraryWindow, EnterOpensThePresentCopy) {
    const QString first = reports + QStringLiteral("/a/joint 1.kjr");
    PutFile(first, ReadAll(reports + QStringLiteral("/joint 1.kjr")));
    PutFile(reports + QStringLiteral("/broken.kjr"), QByteArray(300, 'x'));
    CLibraryWindow window(db);
    QStringList started;
    window.m_startViewer = [&](const QString& program, const QString& path) {
        started << QFileInfo(program).fileName() + QLatin1Char(' ') + path;
    };
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    window.StatusBox()->setCurrentText(QStringLiteral("all"));
    window.Table()->sortByColumn(JC_JOINT, Qt::DescendingOrder);
    ASSERT_EQ(window.Model().Row(0).fields.jointNumber, 9);
    ASSERT_EQ(window.Model().Row(0).copies.size(), 2u);
    ASSERT_EQ(window.Model().Row(0).copies[0].display, first);
    QFile::remove(first); // since the scan
    window.Table()->selectRow(0);
    const auto enter = [&]() {
        return WaitForSignal(&window, &CLibraryWindow::OpenFinished,
                             [&]() { Press(window.Table(), Qt::Key_Return); });
    };
    ASSERT_TRUE(enter());
    EXPECT_EQ(started,
              QStringList{QStringLiteral("vtq-ppc ") + reports + QStringLiteral("/joint 1.kjr")});

    {
        FakeViewer viewer;
        ASSERT_TRUE(viewer.Listening());
        viewer.AnswerNext("opened\n");
        ASSERT_TRUE(enter());
        EXPECT_EQ(viewer.Asked(), QFile::encodeName(reports + QStringLiteral("/joint 1.kjr")));
        EXPECT_EQ(started.size(), 1);
        viewer.AnswerNext("busy\n"); // in a Log/Status session
        ASSERT_TRUE(enter());
        EXPECT_FALSE(viewer.Asked().isEmpty());
        EXPECT_EQ(started.size(), 2);
    }

    // The scan said the other file is no report; opening adds one line.
    ASSERT_EQ(window.Problems()->count(), 1);
    QFile::remove(reports + QStringLiteral("/joint 1.kjr"));
    ASSERT_TRUE(enter());
    EXPECT_EQ(started.size(), 2);
    ASSERT_EQ(window.Problems()->count(), 2);
    EXPECT_TRUE(window.Problems()->item(1)->text().endsWith(
        QStringLiteral("no copy of this joint can be opened now")));

    const int broken = [&]() {
        for (int r = 0; r < window.Model().rowCount(); ++r)
            if (window.Model().Row(r).id < 0)
                return r;
        return -1;
    }();
    ASSERT_GE(broken, 0);
    window.Table()->selectRow(broken);
    EXPECT_FALSE(window.Command(QStringLiteral("open"))->isEnabled());
    EXPECT_TRUE(window.Pane()
                    ->SectionText(QStringLiteral("joint"))
                    .startsWith(QStringLiteral("Not a joint report")));
}

// The table's context menu: its commands in order, each enabled for what
// is selected and reaching its work; rows dragged out are their present
// files, copied (never moved) by whatever takes them.
TEST_F(LibraryWindow, ContextMenuAndDragOut) {
    CLibraryWindow window(db);
    QStringList shown;
    window.m_showInFolder = [&](const QString& path) { shown << path; };
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    window.Table()->sortByColumn(JC_JOINT, Qt::AscendingOrder);
    window.Table()->selectRow(0);
    window.Table()->selectionModel()->select(
        window.Model().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QStringList texts;
    std::map<QString, QAction*> menu;
    for (QAction* a : window.ContextMenu()->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        menu[a->text()] = a;
    }
    EXPECT_EQ(texts, (QStringList{"&Open", "Show in &folder", "&Check...", "&Review...",
                                  "Copy &path", "-", "Export P&DFs...", "Export &list..."}));
    EXPECT_FALSE(menu["&Check..."]->isEnabled()); // one joint at a time
    EXPECT_TRUE(menu["&Open"]->isEnabled());

    menu["Copy &path"]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), reports + QStringLiteral("/joint 5.kjr\n") +
                                                        reports + QStringLiteral("/joint 4.kjr"));
    menu["Show in &folder"]->trigger();
    EXPECT_EQ(shown, QStringList{reports + QStringLiteral("/joint 5.kjr")});

    const QString csv = data.path() + QStringLiteral("/two.csv");
    window.m_askSavePath = [&](const QString&, const QString&) { return csv; };
    menu["Export &list..."]->trigger();
    EXPECT_EQ(ReadAll(csv).count('\n'), 3);

    std::unique_ptr<QMimeData> drag(
        window.Model().mimeData(window.Table()->selectionModel()->selectedIndexes()));
    ASSERT_TRUE(drag);
    EXPECT_EQ(drag->urls(),
              (QList<QUrl>{QUrl::fromLocalFile(reports + QStringLiteral("/joint 5.kjr")),
                           QUrl::fromLocalFile(reports + QStringLiteral("/joint 4.kjr"))}));
    EXPECT_EQ(window.Model().supportedDragActions(), Qt::CopyAction);
}

// How the window was left comes back: its size, the splitter, the columns
// by key (order, width, shown), the sort, the filters, the search, the
// browse tree's place and which panes show. Settings that make no sense
// (an unknown column, a width of letters) are passed over.
TEST_F(LibraryWindow, RestoresItsLayout) {
    QString verdict;
    {
        CLibraryWindow window(db);
        ASSERT_TRUE(window.OpenStore());
        ScanAndWait(window);
        window.resize(1111, 666);
        QHeaderView* header = window.Table()->horizontalHeader();
        header->moveSection(header->visualIndex(JC_JOB), 0);
        header->resizeSection(JC_EMPLOYEE, 153);
        header->setSectionHidden(JC_NOTES, true);
        window.Table()->sortByColumn(JC_JOB, Qt::AscendingOrder);
        verdict = window.Model().Row(0).fields.verdict;
        window.VerdictBox()->setCurrentIndex(window.VerdictBox()->findData(verdict));
        window.StatusBox()->setCurrentText(QStringLiteral("all"));
        window.SearchBox()->setText(QStringLiteral("E-117"));
        window.Tree()->Choose({BrowseChoice::Job, QStringLiteral("Job 10"), QString()});
        window.Command(QStringLiteral("details"))->setChecked(false);
        window.show();
        window.Splitter()->setSizes({150, 900, 300});
        window.close();
    }
    WriteSettingText(kKeyLibraryWindow, QStringLiteral("Columns"),
                     ReadSettingText(kKeyLibraryWindow, QStringLiteral("Columns"), QString()) +
                         QStringLiteral(";review_state 0 80 1;samples 3 wide 1"));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ASSERT_TRUE(WaitForRows(window));
    EXPECT_EQ(window.size(), QSize(1111, 666));
    QHeaderView* header = window.Table()->horizontalHeader();
    EXPECT_EQ(header->logicalIndex(0), JC_JOB);
    EXPECT_EQ(header->sectionSize(JC_EMPLOYEE), 153);
    EXPECT_TRUE(header->isSectionHidden(JC_NOTES));
    EXPECT_FALSE(header->isSectionHidden(JC_SAMPLES));
    EXPECT_EQ(window.Model().SortColumn(), JC_JOB);
    EXPECT_EQ(window.Model().SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(window.SearchBox()->text(), QStringLiteral("E-117"));
    EXPECT_EQ(window.StatusBox()->currentText(), QStringLiteral("all"));
    EXPECT_EQ(window.Tree()->Choice().value, QStringLiteral("Job 10"));
    EXPECT_FALSE(window.Command(QStringLiteral("details"))->isChecked());
    window.show();
    EXPECT_EQ(window.Splitter()->sizes().value(0), 150);
    EXPECT_EQ(window.VerdictBox()->currentData().toString(), verdict);
    // The joints of job 10 by employee E-117 with that verdict, at once.
    EXPECT_EQ(JointColumn(window), (QList<int>{9, 7}));
}

// A report that arrives in a watched folder, or is written over in place,
// is in the table without a scan; one removed only asks for a complete
// scan (missing is told from complete listings). A folder on a network file
// system is not watched but rescanned on the user's timer, and the problems
// panel says so.
TEST_F(LibraryWindow, WatchedFoldersWithoutAScan) {
    LibrarySeams seams;
    QTemporaryDir share;
    SetMountTableForTests({{share.path(), QStringLiteral("nfs4"), QStringLiteral("nas:/joints"),
                            QString(), QString(), 0}});
    PutFile(share.path() + QStringLiteral("/s.kjr"), MakeReportBytes(50, QStringLiteral("J-NAS")));
    // Made before the watch: making a report passes through the report folder.
    const QByteArray arrived = MakeReportBytes(31, QStringLiteral("J-NEW"));
    const QByteArray rewritten = MakeReportBytes(31, QStringLiteral("J-NEWER"));
    AddLibraryFolder(share.path());
    CLibraryWindow window(db);
    window.Watch()->SetSettleMs(50);
    int watched = 0;
    QObject::connect(window.Watch(), &CFolderWatch::FolderState, &window,
                     [&](const QString&, int state) { watched += state == CFolderWatch::Watched; });
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window); // the watch is set up from the index's folders
    ScanAndWait(window); // and a scan that finds nothing new adds nothing
    ASSERT_TRUE(WaitUntil([&]() { return window.Problems()->count() > 0 && watched > 0; }));
    EXPECT_TRUE(window.Problems()->item(0)->text().endsWith(
        share.path() + QStringLiteral(": on a network file system (nfs4); rescanned every 15 min "
                                      "instead of watched")))
        << qPrintable(window.Problems()->item(0)->text());
    ASSERT_EQ(window.Model().Total(), 6);

    int scans = 0;
    QObject::connect(&window, &CLibraryWindow::ScanFinished, &window, [&]() { ++scans; });
    PutFile(reports + QStringLiteral("/new/arrived.kjr"), arrived);
    ASSERT_TRUE(WaitUntil([&]() { return window.Model().Total() == 7; }));
    EXPECT_EQ(window.LastScan().added.size(), 0) << "no scan read it";
    const auto job31 = [&]() {
        for (const JointRow& r : window.Model().AllRows())
            if (r.fields.jointNumber == 31)
                return r.fields.job;
        return QString();
    };
    EXPECT_EQ(job31(), QStringLiteral("J-NEW"));
    // Written over where it is (Qt's own watcher misses this).
    PutFile(reports + QStringLiteral("/new/arrived.kjr"), rewritten);
    ASSERT_TRUE(WaitUntil([&]() { return job31() == QLatin1String("J-NEWER"); }));
    EXPECT_EQ(window.Model().Total(), 7);
    EXPECT_FALSE(window.ScanScheduled());

    QFile::remove(reports + QStringLiteral("/joint 2.kjr"));
    ASSERT_TRUE(WaitUntil([&]() { return window.ScanScheduled(); }));
    EXPECT_EQ(window.Model().Total(), 7);
    EXPECT_GE(scans, 2); // reads as they arrived, none a scan
    EXPECT_TRUE(window.LastScan().added.isEmpty());
}

// During a first scan of many reports the table fills as they are read,
// and the status bar shows the folder being read and the progress.
TEST_F(LibraryWindow, TheTableFillsDuringAScan) {
    const std::vector<QByteArray> many = ManyReports(120);
    for (size_t i = 0; i < many.size(); ++i)
        PutFile(reports + QStringLiteral("/many/%1.kjr").arg(i), many[i]);
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    window.show();
    QSemaphore reached, release;
    window.m_onWorkerProgress = [&](int done, int) {
        if (done == 60) {
            reached.release();
            EXPECT_TRUE(release.tryAcquire(1, 60000));
        }
    };
    window.StartScan();
    ASSERT_TRUE(reached.tryAcquire(1, 60000));
    ASSERT_TRUE(WaitUntil([&]() {
        window.FollowChanges();
        return window.Model().rowCount() >= CLibraryScanner::kFirstBatchFiles &&
               window.FolderLabel()->text().startsWith(reports);
    }));
    EXPECT_TRUE(window.Scanning());
    EXPECT_LT(window.Model().rowCount(), 125);
    EXPECT_TRUE(window.ProgressBar()->isVisible());
    release.release();
    ASSERT_TRUE(WaitForScan(window));
    EXPECT_EQ(window.Model().Total(), 125);
    EXPECT_FALSE(window.ProgressBar()->isVisible());
}

// Reports dropped from outside the library's folders are copied (never
// moved) into the import folder, which becomes a library folder, and read;
// the same report dropped again is not copied twice; a dropped folder is
// added and scanned; what is no report is said in the problems panel.
TEST_F(LibraryWindow, DroppedReportsAndFolders) {
    QTemporaryDir outside;
    const QString mail = outside.path() + QStringLiteral("/from a mail.kjr");
    PutFile(mail, MakeReportBytes(61, QStringLiteral("J-MAIL")));
    PutFile(outside.path() + QStringLiteral("/notes.txt"), "no report");
    PutFile(outside.path() + QStringLiteral("/folder/f.kjr"),
            MakeReportBytes(62, QStringLiteral("J-F")));
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    const auto drop = [&](const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &mime,
                              Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                         Qt::NoModifier);
        EXPECT_TRUE(WaitForSignal(&window, &CLibraryWindow::DropTaken,
                                  [&]() { QCoreApplication::sendEvent(&window, &event); }));
        EXPECT_EQ(event.dropAction(), Qt::CopyAction);
        return WaitUntil([&]() { return !window.Scanning() && !window.Loading(); });
    };
    ASSERT_TRUE(drop({mail, outside.path() + QStringLiteral("/notes.txt")}));
    const QString imports = LibraryImportFolder(db);
    EXPECT_TRUE(QFile::exists(mail));
    EXPECT_EQ(ReadAll(imports + QStringLiteral("/from a mail.kjr")), ReadAll(mail));
    EXPECT_TRUE(AddedLibraryFolders().contains(imports));
    EXPECT_EQ(window.Model().Total(), 6);
    ASSERT_EQ(window.Problems()->count(), 1);
    EXPECT_TRUE(window.Problems()->item(0)->text().endsWith(
        QStringLiteral("notes.txt: not a joint report (.kjr)")));

    ASSERT_TRUE(drop({mail, outside.path() + QStringLiteral("/folder")}));
    EXPECT_EQ(QDir(imports).entryList(QDir::Files), QStringList{QStringLiteral("from a mail.kjr")});
    EXPECT_TRUE(AddedLibraryFolders().contains(outside.path() + QStringLiteral("/folder")));
    EXPECT_EQ(window.Model().Total(), 7);
}

// A review from another program and ones made in the window show in the
// table, its review filter and the history of the selected joint; several
// joints take one decision, and accepting joints the check did not pass
// asks for a comment first. The job's dossier is written on a worker with
// every joint of the job; Cancel leaves no file.
TEST_F(LibraryWindow, ReviewsAndTheJobDossier) {
    PutFile(reports + QStringLiteral("/good.kjr"),
            MakeCheckedReportBytes(21, QStringLiteral("Job 10"), true));
    auto window = std::make_unique<CLibraryWindow>(db);
    ASSERT_TRUE(window->OpenStore());
    ScanAndWait(*window);
    const auto rowOf = [&](int joint) {
        for (int r = 0; r < window->Model().rowCount(); ++r)
            if (window->Model().Row(r).fields.jointNumber == joint)
                return r;
        return -1;
    };
    {
        // Another program's review: the reviews file is made by it.
        CLibraryStore other(db);
        ASSERT_EQ(other.Open(CLibraryStore::Mode::Review), CLibraryStore::OpenResult::Ok);
        const JointRow row = window->Model().Row(rowOf(21));
        JointReview change;
        change.machineId = row.fields.machineId;
        change.dateTime = row.fields.dateTime;
        change.jointNumber = 21;
        change.state = QStringLiteral("rejected");
        change.reviewer = QStringLiteral("Shell");
        change.sha256 = row.sha256;
        JointReview now;
        ASSERT_EQ(other.AddReview(change, now), CLibraryStore::ReviewOutcome::Done);
    }
    ASSERT_TRUE(
        WaitForSignal(window.get(), &CLibraryWindow::Loaded, [&]() { window->FollowChanges(); }));
    EXPECT_EQ(window->Model().Row(rowOf(21)).Review().state, QStringLiteral("rejected"));

    const auto reviewAndWait = [&]() {
        QAction* review = nullptr;
        for (QAction* a : window->ContextMenu()->actions())
            if (a->text() == QLatin1String("&Review..."))
                review = a;
        EXPECT_TRUE(review && review->isEnabled());
        return review && WaitForSignal(window.get(), &CLibraryWindow::ReviewFinished,
                                       [&]() { review->trigger(); });
    };
    // Joint 21 passed; joint 9 (same job) was not judged: accepting both
    // asks why, and nothing is recorded until the comment is there.
    window->Table()->selectionModel()->select(window->Model().index(rowOf(21), 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
    window->Table()->selectionModel()->select(window->Model().index(rowOf(9), 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
    ScriptedRunner runner;
    ScriptedPrompter prompter;
    prompter.Answer(IDOK);
    int listed = 0;
    runner.Then<CLibraryReviewDlg>([&](CLibraryReviewDlg& dlg) {
        listed = dlg.GetCount(IDC_LIB_REVIEW_JOINTS);
        dlg.CheckRadioButton(IDC_LIB_REVIEW_ACCEPTED, IDC_LIB_REVIEW_RETEST,
                             IDC_LIB_REVIEW_ACCEPTED);
        dlg.SetDlgItemText(IDC_LIB_REVIEW_NAME, QStringLiteral("A. Inspector"));
        dlg.SetDlgItemText(IDC_LIB_REVIEW_BEAD, QStringLiteral("12.5"));
        dlg.ClickDlgItem(IDOK);
        EXPECT_FALSE(dlg.IsEnded());
        dlg.SetDlgItemText(IDC_LIB_REVIEW_COMMENT, QStringLiteral("sidewall log, bead seen"));
        dlg.ClickDlgItem(IDOK);
    });
    ASSERT_TRUE(reviewAndWait());
    EXPECT_EQ(listed, 2);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_TRUE(prompter.Shown()[0].text.contains(QStringLiteral("needs a comment")))
        << qPrintable(prompter.Shown()[0].text);
    EXPECT_FALSE(prompter.Shown()[0].text.contains(QStringLiteral("joint 21 ")));
    for (int joint : {21, 9}) {
        const JointRow& row = window->Model().Row(rowOf(joint));
        EXPECT_EQ(row.Review().state, QStringLiteral("accepted")) << joint;
        EXPECT_EQ(row.Review().reviewer, QStringLiteral("A. Inspector"));
        EXPECT_EQ(row.Review().inspections.beadWidthMm, 12.5);
    }
    window->Table()->clearSelection();
    ASSERT_TRUE(WaitForSignal(window.get(), &CLibraryWindow::DetailsShown,
                              [&]() { window->Table()->selectRow(rowOf(21)); }));
    const QString history = window->Pane()->SectionText(QStringLiteral("review"));
    EXPECT_TRUE(history.contains(QStringLiteral("not reviewed → rejected  by Shell (")))
        << qPrintable(history);
    EXPECT_TRUE(history.contains(QStringLiteral("rejected → accepted  by A. Inspector (")))
        << qPrintable(history);
    window->ReviewBox()->setCurrentIndex(
        window->ReviewBox()->findData(QStringLiteral("not reviewed")));
    EXPECT_EQ(window->Model().rowCount(), 4);
    window->ReviewBox()->setCurrentIndex(0);
    window->Table()->selectRow(rowOf(21));

    // The dossier of "Job 10": its three joints, none of "job 9".
    QTemporaryDir out;
    const QString pdf = out.path() + QStringLiteral("/job10.pdf");
    const auto dossierAndWait = [&](const std::function<void()>& meanwhile) {
        return WaitForSignal(window.get(), &CLibraryWindow::DossierFinished, [&]() {
            window->Command(QStringLiteral("dossier"))->trigger();
            if (meanwhile)
                meanwhile();
        });
    };
    window->m_askSavePath = [&](const QString&, const QString& suggested) {
        EXPECT_EQ(suggested, QStringLiteral("Job 10.pdf"));
        return pdf;
    };
    QString described;
    runner.Then<CLibraryDossierDlg>([&](CLibraryDossierDlg& dlg) {
        EXPECT_EQ(dlg.GetDlgItemText(IDC_LIB_DOSSIER_JOB), QStringLiteral("Job 10"));
        described = dlg.GetDlgItemText(IDC_LIB_DOSSIER_COUNT);
        dlg.ClickDlgItem(IDC_LIB_DOSSIER_BROWSE);
        dlg.ClickDlgItem(IDOK);
    });
    ASSERT_TRUE(dossierAndWait({}));
    EXPECT_EQ(described, QStringLiteral("3 joints of this job, dated 2024-03-01 to 2024-03-22."))
        << qPrintable(described);
    ASSERT_EQ(window->LastDossier(), pdf);
    const QString text = QString::fromUtf8(
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")})
            .out);
    for (int joint : {21, 9, 7})
        EXPECT_TRUE(text.contains(QStringLiteral("Joint %1, ").arg(joint))) << joint;
    EXPECT_FALSE(text.contains(QStringLiteral("Joint 8, ")));
    EXPECT_TRUE(text.contains(QStringLiteral("rejected → accepted")));

    // Written over only when the user says so; Cancel while the worker is
    // held between reports leaves no file at all.
    QFile::remove(pdf);
    QSemaphore reached, release;
    std::atomic<bool> held{false};
    window->m_onWorkerProgress = [&](int done, int) {
        if (done == 1 && !held.exchange(true)) {
            reached.release();
            EXPECT_TRUE(release.tryAcquire(1, 60000));
        }
    };
    runner.Then<CLibraryDossierDlg>([&](CLibraryDossierDlg& dlg) {
        dlg.SetDlgItemText(IDC_LIB_DOSSIER_FILE, pdf);
        dlg.ClickDlgItem(IDOK);
    });
    ASSERT_TRUE(dossierAndWait([&]() {
        ASSERT_TRUE(reached.tryAcquire(1, 60000));
        EXPECT_FALSE(window->CancelButton()->isHidden());
        window->CancelButton()->click();
        release.release();
    }));
    EXPECT_EQ(window->LastDossier(), QStringLiteral("cancelled"));
    EXPECT_TRUE(window->CancelButton()->isHidden());
    // Closed, once every worker has ended: nothing of the dossier is left.
    window.reset();
    ASSERT_TRUE(WaitForLibraryWorkers(60000));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_TRUE(runner.Failures().empty());
}
