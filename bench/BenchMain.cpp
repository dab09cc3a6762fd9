// Benchmarks run against a settings store of their own, so that measuring
// never touches the operator's joint setup.

#include "framework/SettingsStore.h"
#include "platform/DeviceRoot.h"
#include "platform/StorageCard.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    // Windows are measured too, with no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QTemporaryDir root;
    if (!settings.isValid())
        return 1;
    SetSettingsFolder(settings.path());
    SetDeviceRoot(root.path());
    SetStorageCardRoots({root.path()});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
