// What the library takes from a report on any bytes: the reader, the
// prepared samples, the joint's fields with the procedure check's verdict,
// their text in every column, the CSV and JSON lists and the one-line form
// the table and the command line print.

#include "library/JointIndex.h"
#include "library/JointTable.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

namespace {
// Made once and kept to the end of the process: libFuzzer leaves through
// exit(), after which Qt cannot be taken down in order.
QGuiApplication* g_app = nullptr;
CVtkDoc* g_doc = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QGuiApplication(*argc, *argv);
    g_doc = new CVtkDoc(CVtkDoc::Detached{});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!g_doc->LoadReportImage(image))
        return 0;
    JointRow row;
    row.id = 1;
    row.status = QStringLiteral("present");
    row.files = QStringList{QStringLiteral("/r/a.kjr")};
    PrepareSamples(*g_doc); // as the scanner does
    row.fields = JointFieldsOf(*g_doc, row.files[0]);
    qsizetype sum = 0;
    for (int c = 0; c < JC_COUNT; ++c) {
        sum += SafeLine(JointCellText(row, c)).size();
        sum += JointCellSortValue(row, c).isValid() ? 1 : 0;
    }
    sum += JointsCsv({row}, {false, true}).size() + JointsJson({row}).size();
    JointFilter filter;
    filter.search = row.fields.job.left(3);
    filter.since = QDate(2000, 1, 1);
    sum += filter.Matches(row) ? 1 : 0;
    return sum == -1 ? 1 : 0;
}
