// vtq-library: the library of joint reports, as a window or, given a
// command, from a shell without a display.

#include "library/LibraryCommand.h"

#include <QGuiApplication>

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
        return RunLibraryCommand(options, stdout, stderr);
    }
    std::fputs("vtq-library: the window is not built yet; see --help\n", stderr);
    return 2;
}
