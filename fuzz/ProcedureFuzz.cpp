// The procedure file reader on any bytes: a file it takes must give a
// procedure the check can use (a name, ordered ranges, tables from the
// thinnest wall up), and the check of a field joint against it must hold
// together (any failed criterion fails the joint).

#include "TraceCorpus.h"

#include "check/Procedure.h"
#include "check/ProcedureCheck.h"
#include "framework/Globals.h"
#include "platform/DeviceRoot.h"
#include "report/VtkDoc.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Made once and kept to the end of the process: libFuzzer leaves through
// exit(), after which Qt cannot be taken down in order.
QApplication* g_app = nullptr;
QTemporaryDir* g_dir = nullptr;
CVtkDoc* g_doc = nullptr;

bool Ordered(const WallRule& rule) {
    for (size_t i = 1; i < rule.rows.size(); ++i)
        if (rule.rows[i].wallInches <= rule.rows[i - 1].wallInches)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QApplication(*argc, *argv);
    g_dir = new QTemporaryDir;
    SetDeviceRoot(g_dir->path());
    // A joint as a field logs it, with a second stage the file may ask for.
    g_strReportPath = WriteReport(FieldJointPlan({.second = 60, .secondSeconds = 300}),
                                  QStringLiteral("joint.kjr"));
    g_doc = new CVtkDoc;
    if (!g_doc->LoadReport())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = g_dir->filePath(QStringLiteral("procedure.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Procedure p;
    QString error;
    if (!LoadProcedure(path, p, error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (p.name.isEmpty() || p.heaterMinF > p.heaterMaxF ||
        p.interfacial.minPsi > p.interfacial.maxPsi || !p.heaterRemovalSeconds.IsSet() ||
        !p.coolingSeconds.IsSet() || p.sha256.size() != 64 ||
        p.secondStageInterfacial.minPsi > p.secondStageInterfacial.maxPsi)
        std::abort();
    for (const WallRule* rule :
         {&p.heaterRemovalSeconds, &p.coolingSeconds, &p.soakSeconds, &p.buildUpSeconds})
        if (!Ordered(*rule))
            std::abort();
    const CheckResult r = CheckReport(*g_doc, g_strReportPath, p);
    bool failed = false;
    for (const Criterion& c : r.criteria)
        failed = failed || c.verdict == Verdict::Fail;
    if (failed != (r.verdict == ReportVerdict::Fail))
        std::abort();
    return 0;
}
