#include "app/VtkApp.h"

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "framework/Fonts.h"
#include "framework/Modal.h"
#include "framework/Strings.h"
#include "link/CommandText.h"
#include "platform/DeviceRoot.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "report/VtkDoc.h"
#include "setup/JointRecord.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <cstdio>

namespace {
// Document template 128: title, document name, new-file base name, filter
// name, filter extension, file type id and file type name.
const QStringList kDocTemplate =
    QStringLiteral("Kelvorn VTQ-PPC\n\nkjr\nKelvorn Joint Report (*.kjr)\nkjr\nkjr."
                   "Document\nkjr Document")
        .split(QLatin1Char('\n'));
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
        "  REPORT.kjr    show this joint report\n"
        "  --root DIR    the folder that holds \"Joint Reports\" and \"Calibration\"\n"
        "                (default: $VTQ_ROOT, else the user's data folder)\n"
        "  --help        show this text\n"
        "  --version     show the program's version\n");
}

CVtkApp::CVtkApp(int& argc, char** argv) {
    if (!QApplication::instance())
        m_qapp = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(AppName());
    QApplication::setOrganizationName(QStringLiteral("Kelvorn"));
    QApplication::setApplicationVersion(QStringLiteral(VTQ_VERSION));
}

CVtkApp::~CVtkApp() {
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
    if (commandLine.help) {
        std::fputs(qUtf8Printable(UsageText()), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("vtq-ppc %s (protocol %s)\n", VTQ_VERSION, kProtocolVersion);
        return 0;
    }
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
