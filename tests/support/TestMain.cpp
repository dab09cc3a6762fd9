#include "support/TestEnv.h"

#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/DeviceRoot.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/PrintDialog.h"
#include "platform/StorageCard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> g_settings;
std::unique_ptr<QTemporaryDir> g_root;
// Stand-ins under every test, so that no real box, dialog or file chooser can
// ever wait for a person; a test's own stand-ins stack on top of these.
std::unique_ptr<ScriptedPrompter> g_prompter;
std::unique_ptr<ScriptedRunner> g_runner;
std::unique_ptr<ScriptedFileDialog> g_files;
std::unique_ptr<ScriptedPrintDialog> g_printDialog;

class FreshState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        g_settings = std::make_unique<QTemporaryDir>();
        g_root = std::make_unique<QTemporaryDir>();
        SetSettingsFolder(g_settings->path());
        SetDeviceRoot(g_root->path());
        // No test hands a report to a program the user runs.
        qputenv("VTQ_VIEWER_SOCKET", QFile::encodeName(g_settings->path() + "/viewer"));
        SetFixedLocalTime(std::nullopt);
        // No storage card unless a test makes one, and never the machine's own.
        QDir().mkpath(TestMediaFolder());
        SetStorageCardRoots({TestMediaFolder()});
        SetFakePowerStatus(std::nullopt);
        SetFakeAwcLibrary(false);
        ResetGlobals();
        g_prompter = std::make_unique<ScriptedPrompter>();
        g_runner = std::make_unique<ScriptedRunner>();
        g_files = std::make_unique<ScriptedFileDialog>();
        g_printDialog = std::make_unique<ScriptedPrintDialog>();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        g_printDialog.reset();
        g_files.reset();
        g_runner.reset();
        g_prompter.reset();
        SetSettingsFolder(QString());
        SetDeviceRoot(QString());
        g_settings.reset();
        g_root.reset();
    }
};
} // namespace

QString TestSettingsFolder() {
    return g_settings ? g_settings->path() : QString();
}
QString TestRootFolder() {
    return g_root ? g_root->path() : QString();
}
QString TestMediaFolder() {
    return g_settings ? g_settings->path() + QStringLiteral("/media") : QString();
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return RUN_ALL_TESTS();
}
