// What the library takes from a report on any bytes: the reader, the
// prepared samples, the joint's fields with the procedure check's verdict,
// their text in every column, the CSV and JSON lists and the one-line form
// the table and the command line print; and the same bytes as procedure
// rules and a machine list.

#include "library/JointIndex.h"
#include "library/JointTable.h"
#include "library/VerdictBook.h"
#include "report/ReportPlot.h"
#include "report/VtkDoc.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

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

namespace {
// The same bytes as the office's procedure rules and machine list (text a
// person types into the settings): whatever they hold, a joint gets a
// procedure or a reason, and a verdict is current or says why not. The
// files the rules name are never read here (they stay "being read").
qsizetype Verdicts(const QByteArray& bytes, const JointFields& fields) {
    const QString text = QString::fromUtf8(bytes);
    const CVerdictBook book({text, text, QStringLiteral("/r"), QStringLiteral("fuzz"), {}}, {});
    const CVerdictBook::Choice choice = book.For(fields.job);
    if (!choice.procedure && choice.why.isEmpty())
        std::abort();
    JointFields kept = fields;
    kept.verdict = QStringLiteral("pass");
    return choice.why.size() + book.Problems().size() + book.NotCurrent(kept).size() +
           book.Pending().size();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    JointFields someJoint;
    someJoint.job = QStringLiteral("J-2024-88");
    someJoint.machineId = QStringLiteral("FM-0042");
    if (Verdicts(image, someJoint) == -1)
        return 1;
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
        sum += IsNumberColumn(c) ? qsizetype(JointCellNumber(row, c) != 0)
                                 : JointCellSortKey(row, c).size();
    }
    sum += SearchText(row).size();
    sum += JointsCsv({row}, {false, true}).size() + JointsJson({row}).size();
    JointFilter filter;
    filter.search = row.fields.job.left(3);
    filter.since = QDate(2000, 1, 1);
    sum += filter.Matches(row) ? 1 : 0;
    return sum == -1 ? 1 : 0;
}
