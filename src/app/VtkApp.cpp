#include "app/VtkApp.h"

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/ViewerInbox.h"
#include "framework/Fonts.h"
#include "framework/Modal.h"
#include "framework/Strings.h"
#include "link/CommandText.h"
#include "platform/DeviceRoot.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/ViewerSocket.h"
#include "report/VtkDoc.h"
#include "setup/JointRecord.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {
// Document template 128: title, document name, new-file base name, filter
// name, filter extension, file type id and file type name.
const QStringList kDocTemplate =
    QStringLiteral("Kelvorn VTQ-PPC\n\nkjr\nKelvorn Joint Report (*.kjr)\nkjr\nkjr."
                   "Document\nkjr Document")
        .split(QLatin1Char('\n'));

// What Qt says while it opens the display is kept back: a display that is
// named but cannot be reached ends Qt with a fatal message (and a core dump);
// the program says so in one line instead, as it does when none is named.
std::vector<std::pair<QtMsgType, QString>> g_startupMessages;

void KeepStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs("vtq-ppc: no display could be opened to show the program on (check DISPLAY "
                   "or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen)\n",
                   stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_startupMessages.emplace_back(type, message);
}
} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine result;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
        } else if (arg == QLatin1String("--version")) {
            result.version = true;
        } else if (arg == QLatin1String("--root")) {
            if (i + 1 >= arguments.size()) {
                result.error = QStringLiteral("--root needs a folder");
                return result;
            }
            result.root = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--root="))) {
            result.root = arg.mid(7);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            // Qt's own options (-platform, -style ...) were taken out by
            // QApplication already; anything left is unknown.
            result.error = QStringLiteral("unknown option %1").arg(arg);
            return result;
        } else if (result.report.isEmpty()) {
            result.report = arg;
        } else {
            result.error = QStringLiteral("only one report can be shown");
            return result;
        }
    }
    if (result.root.isEmpty() && arguments.contains(QStringLiteral("--root=")))
        result.error = QStringLiteral("--root needs a folder");
    return result;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: vtq-ppc [REPORT.kjr] [--root DIR]\n"
        "Kelvorn VTQ-PPC: live status, joint setup and joint reports of the Vantrek data logger.\n"
        "\n"
        "Options:\n"
        "  REPORT.kjr    show this joint report\n"
        "  --root DIR    the folder that holds \"Joint Reports\" and \"Calibration\"\n"
        "                (default: $VTQ_ROOT, else the user's data folder)\n"
        "  --help        show this text\n"
        "  --version     show the program's version\n");
}

namespace {
int PrintHelp() {
    std::fputs(qUtf8Printable(UsageText()), stdout);
    return 0;
}

int PrintVersion() {
    std::printf("vtq-ppc %s (protocol %s)\n", VTQ_VERSION, kProtocolVersion);
    return 0;
}

// Whether Qt can find a screen. On systems with X11 or Wayland the default
// platforms need DISPLAY or WAYLAND_DISPLAY; other platforms (offscreen, vnc,
// linuxfb ...) and a -platform option are Qt's to judge.
bool DisplayAvailable(const QStringList& arguments) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    for (const QString& arg : arguments)
        if (arg == QLatin1String("-platform") || arg == QLatin1String("--platform"))
            return true;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platforms.isEmpty())
        return x11 || wayland;
    // A list of platforms to try in turn, each with its options after a colon.
    for (const QString& entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        if (name == QLatin1String("xcb")) {
            if (x11)
                return true;
        } else if (name.startsWith(QLatin1String("wayland"))) {
            if (wayland)
                return true;
        } else {
            return true;
        }
    }
    return false;
#else
    Q_UNUSED(arguments);
    return true;
#endif
}
} // namespace

std::optional<int> RunWithoutWindows(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // An error may be one of Qt's own options, which only the application
    // object takes out: Run() reports it.
    const CommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.error.isEmpty() && commandLine.help)
        return PrintHelp();
    if (commandLine.error.isEmpty() && commandLine.version)
        return PrintVersion();
    if (!DisplayAvailable(arguments)) {
        std::fputs("vtq-ppc: no display to show the program on (set DISPLAY or WAYLAND_DISPLAY, "
                   "or QT_QPA_PLATFORM=offscreen)\n",
                   stderr);
        return 1;
    }
    return std::nullopt;
}

CVtkApp::CVtkApp(int& argc, char** argv) {
    if (!QApplication::instance()) {
        const QtMessageHandler previous = qInstallMessageHandler(KeepStartupMessage);
        m_qapp = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(previous);
        // The display opened: what Qt said on the way is said as usual.
        for (const auto& [type, message] : std::exchange(g_startupMessages, {}))
            qt_message_output(type, QMessageLogContext(), message);
    }
    QApplication::setApplicationName(AppName());
    QApplication::setOrganizationName(QStringLiteral("Kelvorn"));
    QApplication::setApplicationVersion(QStringLiteral(VTQ_VERSION));
}

CVtkApp::~CVtkApp() {
    m_inbox.reset();
    m_frame.reset();
    m_doc.reset();
}

int CVtkApp::Run() {
    const CommandLine commandLine = ParseCommandLine(QApplication::arguments());
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "vtq-ppc: %s\n%s", qUtf8Printable(commandLine.error),
                     qUtf8Printable(UsageText()));
        return 2;
    }
    if (commandLine.help)
        return PrintHelp();
    if (commandLine.version)
        return PrintVersion();
    if (!InitInstance(commandLine))
        return 1;
    return QApplication::exec();
}

bool CVtkApp::InitInstance(const CommandLine& commandLine) {
    if (!InitSockets()) {
        MessageBox(LoadString(IDS_SOCKETS_FAILED));
        return false;
    }
    // The settings store's company and application names.
    QApplication::setOrganizationName(QStringLiteral("Kelvorn"));
    QApplication::setApplicationName(kDocTemplate.value(0));
    if (!commandLine.root.isEmpty())
        SetDeviceRoot(commandLine.root);
    LoadProgramFonts();
    LoadJointSetupLists();
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8));

    m_doc = std::make_unique<CVtkDoc>();
    m_frame = std::make_unique<CMainFrame>(*this, *m_doc);
    if (!m_frame->OnCreate())
        return false;
    const bool opened = commandLine.report.isEmpty() ? m_doc->OnNewDocument()
                                                     : m_doc->OnOpenDocument(commandLine.report);
    if (!opened)
        return false;
    // The handheld's client area is 240 by 268 pixels.
    m_frame->resize(240, 268 + m_frame->CommandBar()->sizeHint().height());
    m_frame->show();
    // Another program (the report library) may hand this one the next
    // report to show, as File > Open would, while nothing else is open.
    m_inbox = std::make_unique<CViewerInbox>(
        ViewerSocketPath(), [this]() { return m_frame->IsIdle(); },
        [this](const QString& path) {
            m_doc->OnOpenDocument(path);
            m_frame->setWindowState((m_frame->windowState() & ~Qt::WindowMinimized) |
                                    Qt::WindowActive);
            m_frame->raise();
            m_frame->activateWindow();
        });
    return true;
}

void CVtkApp::OnAppAbout() {
    CAboutDlg dialog(m_frame.get());
    RunModal(dialog);
}

void CVtkApp::OnFileOpen(CVtkDoc& doc) {
    const QString filter = kDocTemplate.value(3) + QStringLiteral("|*.") + kDocTemplate.value(4) +
                           QStringLiteral("||");
    const QString path = PromptOpenFile(filter, QString());
    if (!path.isEmpty())
        doc.OnOpenDocument(path);
}
