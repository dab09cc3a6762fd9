// report-seeds DIR: writes the joint reports the tests make into DIR, as the
// first corpus of the report fuzzer (and as reports to look at).

#include "TraceCorpus.h"

#include "platform/DeviceRoot.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: report-seeds DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir root;
    if (!root.isValid() || !QDir().mkpath(out))
        return 1;
    SetDeviceRoot(root.path());

    std::vector<std::pair<const char*, ReportPlan>> reports;
    reports.emplace_back("butt-fusion", ButtFusionReport());
    reports.emplace_back("sidewall", SidewallReport());
    ReportPlan demo = ButtFusionReport(200);
    demo.Set(RF_DEMO_MODE, 1);
    demo.Set(RF_VERSION_ID, QStringLiteral("VTQPv0.2.5 ------"));
    reports.emplace_back("demonstration", demo);
    ReportPlan empty = ButtFusionReport();
    empty.Set(RF_NOTES, QString());
    reports.emplace_back("empty-notes", empty);
    ReportPlan tarvex = ButtFusionReport(100);
    tarvex.Set(RF_MODEL_TEXT, QStringLiteral("Tarvex Mech. 28"));
    tarvex.Set(RF_PRESS_UNIT, 3);
    reports.emplace_back("tarvex", tarvex);
    reports.emplace_back("long", ButtFusionReport(12000));
    reports.emplace_back("short", ButtFusionReport(4));
    reports.emplace_back("no-samples", ButtFusionReport(0));
    // Joints as a field logs them: noise, a thermal bump, a sag pumped back,
    // spikes, a stretch without readings, a clock that wraps.
    reports.emplace_back("field-joint", FieldJointPlan({.sags = 1}));
    reports.emplace_back("field-joint-5-a-second",
                         FieldJointPlan({.seed = 2,
                                         .sampleSeconds = 0.2,
                                         .clockStart = 65000,
                                         .slippageCheck = true,
                                         .noReading = {{400, 404}},
                                         .spikes = {{100, 0}, {500, 700}}}));

    for (const auto& [name, plan] : reports) {
        const QString path = WriteReport(plan, QString::fromLatin1(name) + QStringLiteral(".kjr"));
        const QString target =
            out + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".kjr");
        QFile::remove(target);
        if (!QFile::copy(path, target)) {
            std::fprintf(stderr, "report-seeds: cannot write %s\n", qUtf8Printable(target));
            return 1;
        }
    }
    return 0;
}
