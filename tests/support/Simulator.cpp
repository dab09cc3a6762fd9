#include "support/Simulator.h"

#include "link/BlockReply.h"
#include "link/PtyVantrek.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <map>

Simulator::Simulator(const QStringList& options) {
    const QString link = TestRootFolder() + QStringLiteral("/vantrek");
    m_transcript = TestRootFolder() + QStringLiteral("/transcript");
    const QString program = QCoreApplication::applicationDirPath() +
                            QStringLiteral("/../tools/vantrek-sim/vantrek-sim");
    m_process.start(program, QStringList{QStringLiteral("--link"), link,
                                         QStringLiteral("--transcript"), m_transcript} +
                                 options);
    // The simulator says where it linked once the link is in place.
    m_started = m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000);
    MapComPort(5, link);
}

bool Simulator::PressButton() {
    return m_started && kill(static_cast<pid_t>(m_process.processId()), SIGUSR1) == 0;
}

Simulator::~Simulator() {
    m_process.terminate();
    m_process.waitForFinished(5000);
}

namespace {
constexpr qsizetype kSampleCountPos = 15; // in the sample header's text
} // namespace

QByteArray Simulator::ReplyTo(const QByteArray& command) const {
    QFile file(m_transcript);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray last;
    QByteArray heard;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("> "))
            heard = line.mid(2);
        else if (line.startsWith("< ") && heard == command)
            last = line.mid(2);
    }
    return last;
}

QByteArray Simulator::ReportFromTranscript() const {
    QFile file(m_transcript);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // The transcript notes each reply as made, before any fault spoils it.
    std::map<QByteArray, QByteArray> replies;
    std::map<int, QByteArray> blocks;
    QByteArray command;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("> ")) {
            command = line.mid(2);
        } else if (line.startsWith("< ")) {
            std::vector<quint16> words;
            BlockWords(line.mid(2), words);
            if (command.startsWith("Wp12-"))
                blocks[command.mid(5).toInt()] = WordBytes(words);
            else if (command == "Wp11")
                replies[command] = line.mid(7, line.size() - 10) + '\0';
            else
                replies[command] = WordBytes(words);
        }
    }
    QByteArray samples;
    for (const auto& [number, bytes] : blocks)
        samples += bytes;
    // A header that announced samples no block held counts those that came.
    QByteArray header = replies["Wp11"];
    const qsizetype digits = header.size() - 1 - kSampleCountPos;
    if (digits > 0 && header.mid(kSampleCountPos, digits).toLongLong() > samples.size() / 4)
        header.replace(kSampleCountPos, digits,
                       QByteArray::number(samples.size() / 4).rightJustified(digits, '0'));
    return "VTQPv0.2.5" + replies["Wp2R"] + replies["Wp3R"] + replies["Wp4R"] + header + samples;
}
