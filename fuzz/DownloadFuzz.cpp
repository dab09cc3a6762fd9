// The download's judgement of reply lines, its attempts and its placing, and
// the recovery of a ".part" a killed run left, on any bytes: nothing may be
// read past a line or a file, and every file placed must be whole or named
// as cut.
//   First byte odd: the rest is a ".part" file to recover.
//   First byte even: the rest is reply lines, one a line; "!" ends an
//   attempt. Its bits choose which answers come to a confirming repeat and
//   when the repeats give up.

#include "link/StatusReply.h"
#include "platform/DeviceRoot.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "report/DownloadName.h"
#include "session/ReportDownload.h"
#include "session/ReportPlacing.h"
#include "session/ReportStorage.h"

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Made once and kept to the end of the process: libFuzzer leaves through
// exit(), after which Qt cannot be taken down in order.
QGuiApplication* g_app = nullptr;
ScriptedPrompter* g_prompter = nullptr;

void Download(unsigned bits, const QByteArray& lines) {
    using Part = CReportDownload::Part;
    using Verdict = CReportDownload::Verdict;
    const Part parts[] = {Part::JointInfo, Part::Notes, Part::Reserve, Part::SampleHeader,
                          Part::DataBlock};
    CReportDownload d;
    d.BeginAttempt();
    int part = 0;
    CReportDownload::End end = CReportDownload::End::Closing;
    unsigned bit = 0;
    for (const QByteArray& line : lines.split('\n')) {
        (void)IsCleanStatusReply(line);
        if (line == "!") {
            if (d.EndAttempt()) {
                end = CReportDownload::End::Cut;
                break;
            }
            d.BeginAttempt();
            part = 0;
            continue;
        }
        const bool flip = (bits >> (bit++ % 7)) & 1;
        Verdict v = d.Offer(parts[part], line, flip);
        if ((v == Verdict::Damaged || v == Verdict::Suspect) && !flip)
            v = d.GiveUp(parts[part]);
        if (v == Verdict::Taken && part < 4)
            ++part;
        if (v == Verdict::Complete || v == Verdict::Cut) {
            end =
                v == Verdict::Complete ? CReportDownload::End::Complete : CReportDownload::End::Cut;
            break;
        }
    }
    const CReportDownload::Outcome outcome = d.Finish(end);
    // A report placed under its own name is whole.
    if (outcome.placed && !IsCutDownloadName(outcome.path) && end != CReportDownload::End::Complete)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_app = new QGuiApplication(*argc, *argv);
    g_prompter = new ScriptedPrompter;
    char root[] = "/tmp/vtq-download-fuzz-XXXXXX";
    if (mkdtemp(root) == nullptr)
        return 1;
    SetDeviceRoot(QString::fromLocal8Bit(root));
    SetFakeAwcLibrary(true); // no card to back up to
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QDir(ReportFolder()).removeRecursively();
    if (data[0] & 1) {
        (void)ReadReportLayout(rest);
        (void)CompleteCutReport(rest);
        EnsureReportFolder();
        QFile part(ReportFolder() + QStringLiteral("/DL fuzz.kjr.part"));
        if (part.open(QIODevice::WriteOnly) && part.write(rest) == rest.size()) {
            part.close();
            RecoverStaleDownloads();
        }
    } else {
        Download(data[0] >> 1, rest);
    }
    g_prompter->Clear();
    return 0;
}
