#include "support/TestEnv.h"

#include "app/Globals.h"
#include "app/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/DeviceRoot.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> g_settings;
std::unique_ptr<QTemporaryDir> g_root;

class FreshState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        g_settings = std::make_unique<QTemporaryDir>();
        g_root = std::make_unique<QTemporaryDir>();
        SetSettingsFolder(g_settings->path());
        SetDeviceRoot(g_root->path());
        SetFixedLocalTime(std::nullopt);
        ResetGlobals();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
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

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return RUN_ALL_TESTS();
}
