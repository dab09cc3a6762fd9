// vtq-library: the library of joint reports, as a window or, given a
// command, from a shell without a display.

#include "framework/Fonts.h"
#include "library/LibraryCommand.h"
#include "library/LibraryLocation.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"
#include "platform/DeviceRoot.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const LibraryOptions options = ParseLibraryOptions(arguments);
    const QString first = options.rest.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("--version"))
        return RunLibraryCommand(options, stdout, stderr);
    if (IsLibraryCommand(options)) {
        // The PDF pages need fonts, not a screen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        // The report's own fonts, so that a page looks as vtq-report draws it.
        LoadProgramFonts();
        return RunLibraryCommand(options, stdout, stderr);
    }
    // Without a screen Qt would abort; the commands need none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("vtq-library: no display for the window; the commands need none (see "
                   "--help)\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvorn Joint Reports"));
    QApplication::setApplicationVersion(QStringLiteral(VTQ_VERSION));
    // The report's fonts for its plots and pages; the window keeps the
    // desktop's own.
    LoadProgramFonts();
    if (!options.root.isEmpty())
        SetDeviceRoot(options.root);
    const QString database = ChosenLibraryDatabase(options.database);
    // The window takes no lock: it reads while other programs scan, and
    // its own scans wait their turn. An office's desk does not scan by
    // itself: its indexer does.
    CLibraryWindow window(database);
    if (!window.OpenStore())
        return 1;
    window.show();
    if (!IsServerUrl(database))
        window.StartScan();
    return QApplication::exec();
}
