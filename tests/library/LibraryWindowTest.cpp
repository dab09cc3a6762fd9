#include "library/LibraryWindow.h"
#include "LibraryTree.h"
#include "framework/Modal.h"
#include "library/ChangeNotices.h"
#include "library/JointTable.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/LibraryJob.h"
#include "library/NamedRoots.h"
#include "library/Resource.h"
#include "library/RootProbe.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
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

void HangForEver(const char*) {
    for (;;)
        pause();
}

// Runs events until `done` holds, for at most a minute.
bool WaitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(60000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
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

// Search, sort (texts as people read them: "job 9" before "Job 10") and
// count over the joints, and the list of two selected rows written as a
// CSV file a spreadsheet reads right.
TEST_F(LibraryWindow, FilterSortAndExportTwoRows) {
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ScanAndWait(window);
    EXPECT_EQ(window.CountLabel()->text(), QStringLiteral("5 of 5 shown"));
    EXPECT_EQ(JointColumn(window), (QList<int>{5, 6, 7, 8, 9})); // newest first
    window.Table()->sortByColumn(JC_JOB, Qt::AscendingOrder);
    EXPECT_EQ(JointColumn(window), (QList<int>{6, 5, 8, 9, 7}));

    window.SearchBox()->setText(QStringLiteral("e-117"));
    EXPECT_EQ(window.CountLabel()->text(), QStringLiteral("3 of 5 shown"));
    window.Table()->sortByColumn(JC_JOINT, Qt::AscendingOrder);
    EXPECT_EQ(JointColumn(window), (QList<int>{5, 7, 9}));
    window.SearchBox()->setText(QStringLiteral("job 10"));
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
    window.ExportList();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two joints, the end
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBF"
                                    "date_time,joint_number,job_number"));
    EXPECT_TRUE(lines[1].startsWith("2024-03-03 14:30:05,7,Job 10,E-117"));
    EXPECT_TRUE(lines[2].startsWith("2024-03-01 14:30:05,9,Job 10,E-117"));

    // The same two as printed pages, written on a worker.
    const QString pdfs = data.path() + QStringLiteral("/pdf");
    QDir().mkpath(pdfs);
    window.m_askFolder = [&](const QString&) { return pdfs; };
    bool exported = false;
    QEventLoop loop;
    QObject::connect(&window, &CLibraryWindow::ExportFinished, &loop, [&]() {
        exported = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    window.ExportPdfs();
    loop.exec();
    ASSERT_TRUE(exported);
    EXPECT_EQ(QDir(pdfs).entryList(QDir::Files),
              (QStringList{QStringLiteral("joint 1.pdf"), QStringLiteral("joint 3.pdf")}));
}

// The verdict filter; "Check..." reads the selected joint on a worker and
// shows its criteria, or says that its file cannot be read now.
TEST_F(LibraryWindow, VerdictFilterAndCheckOfOneJoint) {
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

    const auto checkAndWait = [&]() {
        bool ended = false;
        QEventLoop loop;
        const auto c = QObject::connect(&window, &CLibraryWindow::CheckFinished, &loop, [&]() {
            ended = true;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        window.ShowCheck();
        loop.exec();
        QObject::disconnect(c);
        return ended;
    };
    window.Table()->selectRow(0);
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
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("present, scanned whole ")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" — ") + reports));
    EXPECT_EQ(lines[1], QStringLiteral("offline: not found — /media/me/SD/Joint Reports"));
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
