// The Log/Status window at work: the processor time one poll cycle costs
// (one tick that takes a status reply and sends the next poll; a connected
// window runs 200 of them a minute), and the ticks a download of N blocks
// takes. The Vantrek is played in-process on a pseudo-terminal.

#include "framework/Format.h"
#include "framework/SettingsStore.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/ReportDownload.h"
#include "session/Resource.h"

#include <QFile>

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
class Peer {
public:
    Peer() {
        char name[256] = {};
        openpty(&m_master, &m_slave, name, nullptr, nullptr);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        WriteSettingText(QStringLiteral("Ports"), QStringLiteral("COM6"),
                         QString::fromLocal8Bit(name));
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    }
    ~Peer() {
        close(m_master);
        close(m_slave);
    }
    void Send(const QByteArray& line) {
        const QByteArray bytes = line + "\r\n";
        [[maybe_unused]] const ssize_t n = write(m_master, bytes.constData(), bytes.size());
        // Until the program's side has it all, as a tick 300 ms later would.
        int waiting = 0;
        while (ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting < bytes.size())
            poll(nullptr, 0, 0);
    }
    // Drops whatever the program wrote.
    void Drain() {
        char buffer[4096];
        while (read(m_master, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
};

const QByteArray kStatus = "Pw01L0r   12e0:01:02s0:00:05p 189t430 1b 87iVTQ: KVTQ v2.1.4 20240115";

struct Session {
    Peer peer;
    ScriptedPrompter prompter;
    CLogStatusDlg dlg{nullptr};
    Session() {
        dlg.Create();
        prompter.Answer(IDOK);
        dlg.ClickDlgItem(IDC_CONNECT);
        dlg.OnTimer(1); // the first poll
        peer.Drain();
    }
};

void BM_PollCycle(benchmark::State& state) {
    Session s;
    for (auto _ : state) {
        s.peer.Send(kStatus);
        s.dlg.OnTimer(1);
        s.peer.Drain();
    }
}
BENCHMARK(BM_PollCycle)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_DownloadTicks(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    int ticks = 0;
    for (auto _ : state) {
        Session s;
        const QByteArray header =
            "Pw11:SI0005TS00950NR" + QByteArray::number(blocks * 32).rightJustified(5, '0') + "eom";
        // Blocks of 32 samples a second apart, as a Vantrek sends them.
        auto block = [](int n) {
            QByteArray digits;
            for (int i = 0; i < 32; ++i)
                digits += QByteArray::number((n * 32 + i) * 5 & 0xffff, 16).rightJustified(4, '0') +
                          "0150";
            return "Pw12:" + digits + "eom";
        };
        const QList<QByteArray> replies = {
            QByteArray(kStatus).replace(5, 1, "2"),
            "Pw02:07da0009001800100005000900000000000000000000000000000000000100000000eom",
            "Pw03:03e70000000003e700000000eom",
            "Pw04:0000000000000000eom",
            header,
        };
        ticks = 0;
        for (int i = 0; !s.dlg.IsEnded() && i < blocks + 100; ++i) {
            s.peer.Send(i < replies.size() ? replies[i] : block(i - int(replies.size())));
            s.dlg.OnTimer(1);
            s.peer.Drain();
            ++ticks;
        }
    }
    state.counters["blocks"] = blocks;
    state.counters["ticks"] = ticks;
}
BENCHMARK(BM_DownloadTicks)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The download's checks of every block of the largest report a reader takes
// (10000 samples in blocks of 32), with the file written as it comes and
// placed at the end: the processor time the whole transaction costs.
void BM_DownloadTransaction(benchmark::State& state) {
    ScriptedPrompter prompter;
    using Part = CReportDownload::Part;
    const int blocks = 313;
    QList<QByteArray> lines;
    for (int n = 0; n < blocks; ++n) {
        QByteArray digits;
        for (int i = 0; i < 32; ++i)
            digits +=
                QByteArray::number((n * 32 + i) * 5 & 0xffff, 16).rightJustified(4, '0') + "0150";
        lines << "Pw12:" + digits + "eom";
    }
    for (auto _ : state) {
        CReportDownload d;
        d.BeginAttempt();
        d.Offer(Part::JointInfo, "Pw02:07da000900180010000500090000000000000000eom", false);
        d.Offer(Part::Notes, "Pw03:03e70000000003e700000000eom", false);
        d.Offer(Part::Reserve, "Pw04:0000000000000000eom", false);
        d.Offer(Part::SampleHeader, "Pw11:SI0005TS50000NR10016eom", false);
        for (const QByteArray& line : lines)
            d.Offer(Part::DataBlock, line, false);
        const CReportDownload::Outcome outcome = d.Finish(CReportDownload::End::Complete);
        QFile::remove(outcome.path);
    }
}
BENCHMARK(BM_DownloadTransaction)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
} // namespace
