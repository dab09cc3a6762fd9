#include "app/MainFrame.h"
#include "ReportMaker.h"
#include "app/AboutDlg.h"
#include "app/Commands.h"
#include "app/ViewerInbox.h"
#include "app/VtkApp.h"
#include "diagnostics/SettingsDlg.h"
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/ViewerSocket.h"
#include "report/VtkDoc.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QToolBar>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {
// A main frame whose WM_LOGSTATUS handler only counts.
class WatchedFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    int logStatusRuns = 0;
    void OnLogStatusMessage() override { ++logStatusRuns; }
};

struct Shell {
    int argc = 1;
    char name[8] = "vtq-ppc";
    char* argv[2] = {name, nullptr};
    CVtkApp app{argc, argv};
    CVtkDoc doc;
    WatchedFrame frame{app, doc};
    Shell() { EXPECT_TRUE(frame.OnCreate()); }
};

QString MakeReport(const QString& name) {
    const QString path = TestRootFolder() + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("report");
    return path;
}
} // namespace

TEST(MainFrame, MenuHasEveryItemWithItsCommand) {
    Shell shell;
    QMenuBar* bar = shell.frame.CommandBarMenu();
    QStringList titles;
    for (QAction* a : bar->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"Menu", "File", "Edit", "Tools"}));

    auto items = [&](int index) {
        QStringList list;
        QMenu* menu = bar->actions()[index]->menu();
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-")
                                      : a->text() + QLatin1Char('=') + a->data().toString());
        return list;
    };
    EXPECT_EQ(items(0), (QStringList{"&Log/Status...=32790", "-", "&Open...=32791",
                                     "&Print...=32792", "Append &Notes...=32794", "-",
                                     "Search &Range...=32796", "-", "&Settings...=32793", "-",
                                     "&About Kelvorn VTQ...=57664", "-", "E&xit=57665"}));
    EXPECT_EQ(bar->actions()[1]->menu(), nullptr);
    EXPECT_EQ(bar->actions()[1]->data().toInt(), ID_FILE_MENU);
    EXPECT_EQ(items(2), (QStringList{"Undo=57643", "-", "Cut=57635", "Copy=57634", "Paste=57637"}));
    EXPECT_EQ(items(3), (QStringList{"Save As...=57604", "-", "Test=32771"}));
}

TEST(MainFrame, EnabledStates) {
    Shell shell;
    for (int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_TOOLS_TEST})
        EXPECT_FALSE(shell.frame.IsCommandEnabled(id)) << id;
    for (int id : {ID_LOG_STATUS, ID_FILE_OPEN_REPORT, ID_SETTINGS, ID_APP_ABOUT, ID_APP_EXIT,
                   ID_FILE_SAVE_AS, ID_FILE_MENU})
        EXPECT_TRUE(shell.frame.IsCommandEnabled(id)) << id;
    // The report commands follow the shown report.
    for (int id : {ID_FILE_PRINT_REPORT, ID_APPEND_NOTES, ID_SEARCH_RANGE})
        EXPECT_FALSE(shell.frame.IsCommandEnabled(id)) << id;
    g_strReportPath = QStringLiteral("/r.kjr");
    for (int id : {ID_FILE_PRINT_REPORT, ID_APPEND_NOTES, ID_SEARCH_RANGE})
        EXPECT_TRUE(shell.frame.IsCommandEnabled(id)) << id;
    EXPECT_TRUE(shell.frame.MenuAction(ID_APPEND_NOTES)->isEnabled());
}

TEST(MainFrame, ToolbarAndAccelerators) {
    Shell shell;
    QStringList buttons;
    for (QAction* a : shell.frame.CommandBar()->actions())
        if (a->data().isValid() && !a->icon().isNull())
            buttons << a->data().toString() + QLatin1Char(':') + a->toolTip();
    EXPECT_EQ(buttons, (QStringList{"32790:Log/Status...", "32791:Open...", "32792:Print...",
                                    "32794:Append Notes...", "57664:About"}));

    std::map<QString, int> keys;
    for (const auto& a : CMainFrame::Accelerators())
        keys[a.keys.toString()] = a.command;
    EXPECT_EQ(keys, (std::map<QString, int>{{"Ctrl+N", 57600},
                                            {"Ctrl+O", 57601},
                                            {"Ctrl+S", 57603},
                                            {"Ctrl+Q", 57665},
                                            {"Ctrl+Z", 57643},
                                            {"Ctrl+X", 57635},
                                            {"Ctrl+C", 57634},
                                            {"Ctrl+V", 57637}}));
}

TEST(MainFrame, FirstLogStatusOpensSettingsThenTheLogStatusWindow) {
    Shell shell;
    ScriptedRunner runner;
    g_strReportPath = QStringLiteral("/shown.kjr");
    WriteSettingText(kKeyLogData, QStringLiteral("Machine Model Text"), QStringLiteral("T 412 SW"));

    // No port chosen yet: the Settings dialog instead, and nothing posted.
    runner.Then<CSettingsDlg>([](CSettingsDlg& dlg) {
        EXPECT_EQ(dlg.GetCurSel(IDC_PORT_LIST), 5);
        dlg.SetCurSel(IDC_PORT_LIST, 2);
        dlg.ClickDlgItem(IDOK);
    });
    shell.frame.OnCommand(ID_LOG_STATUS);
    QApplication::processEvents();
    EXPECT_EQ(runner.Run(), std::vector<int>{IDD_SETTINGS});
    EXPECT_EQ(shell.frame.logStatusRuns, 0);
    EXPECT_EQ(g_strReportPath, QStringLiteral("/shown.kjr"));
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), -1), 2);

    // Now the report is put away, the model loaded and WM_LOGSTATUS posted:
    // it runs once the menu's command has returned.
    shell.frame.OnCommand(ID_LOG_STATUS);
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_EQ(g_strMachineModel, QStringLiteral("T 412 SW"));
    EXPECT_EQ(shell.frame.logStatusRuns, 0);
    QApplication::processEvents();
    EXPECT_EQ(shell.frame.logStatusRuns, 1);
    EXPECT_EQ(runner.Run().size(), 1u);
    EXPECT_TRUE(runner.Failures().empty());
}

TEST(MainFrame, SettingsCancelledOnFirstRunLeavesThePortUnchosen) {
    Shell shell;
    ScriptedRunner runner;
    runner.Then([](CDialog& dlg) { dlg.ClickDlgItem(IDCANCEL); });
    runner.Then([](CDialog& dlg) { dlg.ClickDlgItem(IDCANCEL); });
    shell.frame.OnCommand(ID_LOG_STATUS);
    shell.frame.OnCommand(ID_LOG_STATUS);
    QApplication::processEvents();
    EXPECT_EQ(runner.Run(), (std::vector<int>{IDD_SETTINGS, IDD_SETTINGS}));
    EXPECT_EQ(shell.frame.logStatusRuns, 0);
}

TEST(MainFrame, AboutBox) {
    Shell shell;
    ScriptedRunner runner;
    runner.Then<CAboutDlg>([](CAboutDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Kelvorn VTQ-PPC"));
        const QStringList parts = dlg.GetDlgItemText(IDC_ABOUT_TEXT).split(QLatin1Char('\n'));
        ASSERT_EQ(parts.size(), 3);
        EXPECT_EQ(parts[0], QStringLiteral("Kelvorn VTQ-PPC"));
        EXPECT_EQ(parts[1], QStringLiteral("VTQPv0.2.5"));
        EXPECT_FALSE(parts[2].isEmpty());
        dlg.ClickDlgItem(IDOK);
    });
    shell.frame.OnCommand(ID_APP_ABOUT);
    EXPECT_EQ(runner.Run(), std::vector<int>{100});
    EXPECT_TRUE(runner.Failures().empty());
}

TEST(MainFrame, FrameworkOpenAndNew) {
    Shell shell;
    ScriptedFileDialog files;
    const QString report = MakeReport(QStringLiteral("a.kjr"));
    files.Answer(report);
    shell.frame.OnCommand(ID_FILE_OPEN); // Ctrl+O: the framework's own open
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].filter, QStringLiteral("Kelvorn Joint Report (*.kjr)|*.kjr||"));
    EXPECT_EQ(g_strReportPath, report);
    EXPECT_TRUE(g_bReportChanged);
    // The toolbar's Append Notes button is enabled with the report, before
    // any menu opens.
    auto notesButton = [&] {
        for (QAction* a : shell.frame.CommandBar()->actions())
            if (a->data().toInt() == ID_APPEND_NOTES)
                return a->isEnabled();
        return false;
    };
    EXPECT_TRUE(notesButton());

    // A cancelled dialog leaves the report shown.
    shell.frame.OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(g_strReportPath, report);

    shell.frame.OnCommand(ID_FILE_NEW);
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_FALSE(notesButton());
}

TEST(MainFrame, SaveAsCopiesTheReportByteForByte) {
    Shell shell;
    ScriptedFileDialog files;
    ScriptedPrompter prompter;
    const QString report = MakeReport(QStringLiteral("b.kjr"));
    ASSERT_TRUE(shell.doc.OnOpenDocument(report));
    const QString copy = TestRootFolder() + QStringLiteral("/copy.kjr");
    files.Answer(copy);
    shell.frame.OnCommand(ID_FILE_SAVE_AS);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("report"));
    EXPECT_TRUE(prompter.Shown().empty());
    // Saving leaves the original report untouched.
    shell.frame.OnCommand(ID_FILE_SAVE);
    QFile original(report);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), QByteArray("report"));
}

TEST(VtkApp, CommandLine) {
    auto parse = [](QStringList args) {
        args.prepend(QStringLiteral("vtq-ppc"));
        return ParseCommandLine(args);
    };
    CommandLine c = parse({"joint.kjr", "--root", "/tmp/r"});
    EXPECT_EQ(c.report, QStringLiteral("joint.kjr"));
    EXPECT_EQ(c.root, QStringLiteral("/tmp/r"));
    EXPECT_TRUE(c.error.isEmpty());
    EXPECT_EQ(parse({"--root=/x"}).root, QStringLiteral("/x"));
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_FALSE(parse({"--root"}).error.isEmpty());
    EXPECT_FALSE(parse({"--frobnicate"}).error.isEmpty());
    EXPECT_FALSE(parse({"a.kjr", "b.kjr"}).error.isEmpty());
    EXPECT_TRUE(UsageText().contains(QStringLiteral("--root DIR")));
}

// The program itself, run with nothing of this environment but the
// sanitizers' options and `extra`: no display, no platform.
struct ProgramRun {
    int exitCode = -1;
    bool crashed = true;
    QString out;
    QString err;
};
ProgramRun RunProgram(const QStringList& arguments, const QStringList& extra = {}) {
    QProcessEnvironment env;
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    for (const QString& assignment : extra)
        env.insert(assignment.section(QLatin1Char('='), 0, 0),
                   assignment.section(QLatin1Char('='), 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VTQ_PPC_PATH), arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(VtkApp, CommandLineWorksWithoutDisplay) {
    const ProgramRun help = RunProgram({QStringLiteral("--help")});
    EXPECT_FALSE(help.crashed);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, UsageText());

    const ProgramRun version = RunProgram({QStringLiteral("--version")});
    EXPECT_FALSE(version.crashed);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("vtq-ppc " VTQ_VERSION " (protocol ")))
        << qPrintable(version.out);

    // Without a display the program says so in one line and ends, as it does
    // when the platform named needs a display that is not there.
    for (const QStringList& extra : {QStringList{}, QStringList{"QT_QPA_PLATFORM=xcb"},
                                     QStringList{"QT_QPA_PLATFORM=wayland;xcb"}}) {
        const ProgramRun start = RunProgram({}, extra);
        EXPECT_FALSE(start.crashed) << qPrintable(extra.join(' '));
        EXPECT_EQ(start.exitCode, 1);
        EXPECT_TRUE(start.out.isEmpty());
        EXPECT_EQ(start.err.count(QLatin1Char('\n')), 1) << qPrintable(start.err);
        EXPECT_TRUE(start.err.contains(QStringLiteral("no display"))) << qPrintable(start.err);
    }
    // A display that is named but not there (no X server on :187) ends the
    // same way, not in Qt's abort.
    const ProgramRun unreachable = RunProgram({}, {QStringLiteral("DISPLAY=:187")});
    EXPECT_FALSE(unreachable.crashed);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_EQ(unreachable.err.count(QLatin1Char('\n')), 1) << qPrintable(unreachable.err);
    EXPECT_TRUE(unreachable.err.contains(QStringLiteral("display"))) << qPrintable(unreachable.err);
}

TEST(VtkApp, StartsWithTheReportOfTheCommandLine) {
    int argc = 1;
    char name[] = "vtq-ppc";
    char* argv[] = {name, nullptr};
    const QString report = MakeReport(QStringLiteral("c.kjr"));
    {
        CVtkApp app(argc, argv);
        CommandLine c;
        c.report = report;
        ASSERT_TRUE(app.InitInstance(c));
        EXPECT_EQ(g_strReportPath, report);
        EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Kelvorn VTQ-PPC"));
    }
    // A report that cannot be read is said so, and the program ends.
    ScriptedPrompter prompter;
    CVtkApp app(argc, argv);
    CommandLine c;
    c.report = TestRootFolder() + QStringLiteral("/missing.kjr");
    EXPECT_FALSE(app.InitInstance(c));
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_TRUE(prompter.Shown()[0].text.contains(QStringLiteral("missing.kjr")));
}

TEST(VtkApp, APipeADeviceOrAFolderIsAReportThatCannotBeRead) {
    int argc = 1;
    char name[] = "vtq-ppc";
    char* argv[] = {name, nullptr};
    // A named pipe with no writer would block an ordinary open for ever.
    const QString pipe = TestRootFolder() + QStringLiteral("/pipe.kjr");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {pipe, QStringLiteral("/dev/null"), TestRootFolder()}) {
        ScriptedPrompter prompter;
        CVtkApp app(argc, argv);
        CommandLine c;
        c.report = path;
        EXPECT_FALSE(app.InitInstance(c)) << path.toStdString();
        ASSERT_EQ(prompter.Shown().size(), 1u);
        EXPECT_TRUE(prompter.Shown()[0].text.contains(QDir::toNativeSeparators(path)));
    }
}

TEST(MainFrame, ReportCommandsReachTheDocumentAndView) {
    Shell shell;
    ScriptedFileDialog files;
    ScriptedPrompter prompter;
    ScriptedRunner runner;
    shell.frame.OnCommand(ID_FILE_OPEN_REPORT);
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].filter, QStringLiteral("Kelvorn Joint Report (*.kjr)|*.kjr||"));
    EXPECT_TRUE(g_bReportChanged);

    g_strReportPath = MakeReport(QStringLiteral("d.kjr"));
    runner.Then([](CDialog& d) { d.EndDialog(IDCANCEL); });
    shell.frame.OnCommand(ID_SEARCH_RANGE);
    EXPECT_EQ(runner.Run(), std::vector<int>{175});
    // Not a joint report: Append Notes finds none to append to, and the
    // report commands go out.
    shell.frame.OnCommand(ID_APPEND_NOTES);
    EXPECT_EQ(runner.Run().size(), 1u);
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_FALSE(shell.frame.MenuAction(ID_APPEND_NOTES)->isEnabled());
    EXPECT_TRUE(prompter.Shown().empty());
}

namespace {
// Hands `path` to the program's door from another thread, as the library
// does, while this thread runs the program's events; the answer.
ViewerAnswer HandOver(const QString& path) {
    std::atomic<int> answer{-1};
    std::thread caller(
        [&]() { answer = int(HandToViewer(ViewerSocketPath(), QFile::encodeName(path), 10000)); });
    QDeadlineTimer deadline(20000);
    while (answer.load() < 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    caller.join();
    return ViewerAnswer(answer.load());
}
} // namespace

// Another program (the library) hands the running program a report: while
// nothing else is open it is shown as File > Open shows one; during a
// Log/Status session, asked for or running, whose download owns the shown
// report, and while a dialog is open, the program says it is busy and its
// report stays. Only the first program listens.
TEST(VtkApp, ShowsAHandedReportOnlyWhenIdle) {
    int argc = 1;
    char name[] = "vtq-ppc";
    char* argv[] = {name, nullptr};
    CVtkApp app(argc, argv);
    ASSERT_TRUE(app.InitInstance(CommandLine()));
    ASSERT_TRUE(app.Inbox() && app.Inbox()->Listening());
    EXPECT_EQ(ListenAsViewer(ViewerSocketPath()), -1);
    const QString first = WriteReport(ButtFusionReport(60), QStringLiteral("first kjr %.kjr"));
    const QString second = WriteReport(ButtFusionReport(60), QStringLiteral("second.kjr"));
    EXPECT_EQ(HandOver(first), ViewerAnswer::Opened);
    EXPECT_EQ(g_strReportPath, first);

    QDialog box(app.MainFrame());
    box.setModal(true);
    box.show();
    EXPECT_EQ(HandOver(second), ViewerAnswer::Busy);
    box.hide();

    ScriptedRunner runner;
    ViewerAnswer during = ViewerAnswer::NoViewer;
    runner.Then([&](CDialog& dialog) {
        during = HandOver(second);
        dialog.EndDialog(IDCANCEL);
    });
    app.MainFrame()->PostLogStatus();
    EXPECT_EQ(HandOver(second), ViewerAnswer::Busy); // asked for, not yet running
    EXPECT_EQ(runner.Run().size(), 1u);
    EXPECT_EQ(during, ViewerAnswer::Busy);
    EXPECT_NE(g_strReportPath, second);
    // Not a request at all: dropped without an answer, nothing shown.
    EXPECT_TRUE(ViewerRequestPath("open relative.kjr\n").isEmpty());
    EXPECT_EQ(HandOver(second), ViewerAnswer::Opened);
    EXPECT_EQ(g_strReportPath, second);
}
