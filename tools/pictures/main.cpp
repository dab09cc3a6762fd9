// vtq-pictures DIR: writes a PNG of every window of the program in its
// typical states into DIR. Runs on a settings store and device root of its
// own, so the user's settings and reports are never touched.

#include "Pictures.h"

#include "framework/Dialog.h"
#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/DeviceRoot.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/StorageCard.h"
#include "setup/JointRecord.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

namespace {
QString g_dir;
} // namespace

bool SavePicture(QWidget& window, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = g_dir + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool saved = window.grab().save(path);
    if (!saved)
        std::fprintf(stderr, "vtq-pictures: could not write %s\n", qUtf8Printable(path));
    return saved;
}

bool SavePicture(CDialog& dialog, const QString& name) {
    dialog.Create();
    return SavePicture(static_cast<QWidget&>(dialog), name);
}

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fputs("Usage: vtq-pictures DIR [library]\n"
                   "Writes a PNG of every window in its typical states into DIR (only the "
                   "report library's with \"library\").\n",
                   stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(g_dir)) {
        std::fprintf(stderr, "vtq-pictures: cannot create %s\n", qUtf8Printable(g_dir));
        return 1;
    }

    // A world of its own: settings, reports, storage cards, power and clock.
    QTemporaryDir settings;
    QTemporaryDir root;
    SetSettingsFolder(settings.path());
    SetDeviceRoot(root.path());
    SetStorageCardRoots({root.path() + QStringLiteral("/media")});
    SetFakePowerStatus(PowerStatus{76, false, true});
    SetFakeAwcLibrary(false);
    SetFixedLocalTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    ResetGlobals();
    // No box or dialog may wait for a person.
    ScriptedPrompter prompter;
    ScriptedRunner runner;
    ScriptedFileDialog files;

    LoadProgramFonts();
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8));
    LoadJointSetupLists();

    const bool libraryOnly = argc == 3 && std::strcmp(argv[2], "library") == 0;
    int failures = 0;
    if (!libraryOnly) {
        failures += WriteShellPictures();
        failures += WriteSessionPictures();
        failures += WriteSetupPictures();
        failures += WriteMessageBoxPictures();
        failures += WriteServicePictures();
    }
    failures += WriteLibraryPictures();
    if (!libraryOnly)
        failures += WriteDossierPictures(g_dir);
    std::printf("vtq-pictures: pictures in %s\n", qUtf8Printable(g_dir));
    return failures == 0 ? 0 : 1;
}
