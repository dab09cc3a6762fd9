// download-seeds DIR: writes the download fuzzer's first corpus into DIR:
// the replies of a clean download, of one with a reply twice, a lost report
// and a second attempt, and ".part" files cut at every part of a report.

#include "ReportMaker.h"

#include "platform/DeviceRoot.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: download-seeds DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir root;
    if (!root.isValid() || !QDir().mkpath(out))
        return 1;
    SetDeviceRoot(root.path());

    const ReportPlan plan = ButtFusionReport(100);
    QList<QByteArray> lines = {FieldBlock("Pw02:", plan, RF_YEAR, RF_HTR_TEMP),
                               FieldBlock("Pw03:", plan, RF_NOTES_MARK_1, RF_NOTES),
                               FieldBlock("Pw04:", plan, RF_DEMO_MODE, RF_PIPE_AREA),
                               "Pw11:" + plan.HeaderText() + "eom"};
    for (size_t at = 0; at < plan.samples.size(); at += 32) {
        QByteArray block = "Pw12:";
        for (size_t i = at; i < std::min(at + 32, plan.samples.size()); ++i)
            block += QByteArray::number(plan.samples[i].first, 16).rightJustified(4, '0') +
                     QByteArray::number(plan.samples[i].second & 0xffff, 16).rightJustified(4, '0');
        lines << block + "eom";
    }
    bool ok = Write(out + QStringLiteral("/clean"), '\0' + lines.join('\n'));
    QList<QByteArray> twice = lines;
    twice.insert(5, lines[4]);
    ok = ok && Write(out + QStringLiteral("/twice"), QByteArray(1, '\x06') + twice.join('\n'));
    QList<QByteArray> lost = lines.mid(0, 5);
    lost << "Pw12:eom"
         << "Pw12:eom";
    ok = ok && Write(out + QStringLiteral("/lost"), QByteArray(1, '\x02') + lost.join('\n'));
    QList<QByteArray> again = lines.mid(0, 5);
    again << "!" << lines.mid(0, 4) << lines.mid(5);
    ok = ok && Write(out + QStringLiteral("/again"), '\0' + again.join('\n'));

    QFile report(WriteReport(plan, QStringLiteral("seed.kjr")));
    const QByteArray bytes = report.open(QIODevice::ReadOnly) ? report.readAll() : QByteArray();
    for (const qsizetype cut :
         {qsizetype(9), qsizetype(120), bytes.size() / 2, bytes.size() - 3, bytes.size()})
        ok = ok && Write(out + QStringLiteral("/part-%1").arg(cut), '\x01' + bytes.left(cut));
    return ok && !bytes.isEmpty() ? 0 : 1;
}
