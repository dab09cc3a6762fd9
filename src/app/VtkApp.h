#pragma once
// The application object: start-up, the one document, frame and view, and
// the commands the application itself handles (About, New, Open).

#include <QString>
#include <memory>
#include <optional>

class CMainFrame;
class CViewerInbox;
class CVtkDoc;
class QApplication;

// What the command line asks for: vtq-ppc [REPORT.kjr] [--root DIR].
struct CommandLine {
    QString report;
    QString root;
    bool help = false;
    bool version = false;
    QString error; // a usage error, to be shown with the usage text
};
CommandLine ParseCommandLine(const QStringList& arguments);
QString UsageText();

// What the command line can be answered without any window: --help and
// --version, and the one-line notice that there is no display to show the
// program on. Returns the exit code, or nothing when the program is to start.
// Runs before the application object, which cannot be made without a display.
std::optional<int> RunWithoutWindows(int argc, char** argv);

class CVtkApp {
public:
    CVtkApp(int& argc, char** argv);
    ~CVtkApp();

    // Start-up and the event loop; returns the exit code.
    int Run();
    // Start-up alone: false when the program must end.
    bool InitInstance(const CommandLine& commandLine);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CVtkDoc& Document() { return *m_doc; }
    // The door through which another program hands this one a report to
    // show while it is idle; null until start-up is done.
    CViewerInbox* Inbox() const { return m_inbox.get(); }

    void OnAppAbout();
    // The framework's own file open (Ctrl+O): a file dialog with the document
    // template's filter, then the report opened by path.
    static void OnFileOpen(CVtkDoc& doc);

    // The platform's socket layer; cannot fail on this platform.
    static bool InitSockets() { return true; }

private:
    std::unique_ptr<QApplication> m_qapp;
    std::unique_ptr<CVtkDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CViewerInbox> m_inbox;
};
