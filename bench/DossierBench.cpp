// The job dossier of a large job: 2,000 joints of about 800 samples each
// (made once in /tmp/vtq-dossier-bench and kept), both passes written to one
// PDF. Its memory is measured as the process's peak over the write: pages
// are streamed, so a job four times larger must not need much more.

#include "DossierMaker.h"

#include "library/Dossier.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {
const QString kFolder = QStringLiteral("/tmp/vtq-dossier-bench");

long StatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<int>(qstrlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
    return 0;
}

void BM_Dossier(benchmark::State& state) {
    const int joints = static_cast<int>(state.range(0));
    const DossierJob job = MakeDossierJob(kFolder + QStringLiteral("/reports"), joints);
    const QString pdf = kFolder + QStringLiteral("/dossier-%1.pdf").arg(joints);
    DossierOptions options;
    options.force = true;
    const long before = StatusKb("VmRSS:");
    int pages = 0;
    double firstPass = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const DossierPlan plan = PlanDossier(job, pdf, options);
        firstPass = timer.elapsed() / 1000.0;
        const DossierResult result = WriteDossierPdf(job, plan, options);
        if (!result.ok) {
            state.SkipWithError(qPrintable(result.error));
            return;
        }
        pages = plan.parts[0].pages;
    }
    state.counters["pages"] = pages;
    state.counters["first_pass_s"] = firstPass;
    state.counters["file_MB"] = double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
    state.counters["rss_before_MB"] = double(before) / 1024.0;
    state.counters["peak_MB"] = double(StatusKb("VmHWM:")) / 1024.0;
}
// The smaller job first: the process's peak only grows.
BENCHMARK(BM_Dossier)->Arg(500)->Arg(2000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
} // namespace
