#include "ReportMaker.h"

#include "framework/Globals.h"
#include "link/BlockReply.h"
#include "link/CommandText.h"
#include "session/ReportStorage.h"

#include <QFile>
#include <algorithm>

namespace {
QByteArray Digits(int word) {
    return QByteArray::number(word & 0xffff, 16).rightJustified(4, '0');
}
} // namespace

QByteArray ReportPlan::HeaderText() const {
    const int span = timeSpan >= 0 ? timeSpan : samples.empty() ? 0 : samples.back().first;
    return "SI" + QByteArray::number(headerNumber).rightJustified(4, '0') + "TS" +
           QByteArray::number(span).rightJustified(5, '0') + "NR" +
           QByteArray::number(static_cast<qsizetype>(samples.size())).rightJustified(5, '0');
}

QByteArray FieldBlock(const char* head, const ReportPlan& plan, int first, int last) {
    QByteArray d = head;
    for (int f = first; f <= last; ++f) {
        const ReportValue& v = plan.fields[f];
        if (!kReportFields[f].text) {
            d += Digits(v.number);
            continue;
        }
        d += Digits(static_cast<int>(v.text.size()));
        // Each character travels low byte first.
        for (QChar c : v.text)
            d += QByteArray::number(c.unicode() & 0xff, 16).rightJustified(2, '0') +
                 QByteArray::number(c.unicode() >> 8, 16).rightJustified(2, '0');
        if (v.text.isEmpty())
            d += "0000";
    }
    return d + "eom";
}

ReportPlan ButtFusionReport(int samples) {
    ReportPlan s;
    const int numbers[] = {2024, 3, 7, 14, 30, 5};
    for (int f = RF_YEAR; f <= RF_SECOND; ++f)
        s.Set(ReportField(f), numbers[f]);
    s.Set(RF_MACHINE_ID, QStringLiteral("FM-0042"));
    s.Set(RF_MODEL_INX, 12);
    s.Set(RF_MODEL_TEXT, QStringLiteral("Rhino 412"));
    s.Set(RF_PISTON_AREA, QStringLiteral("4.710"));
    s.Set(RF_EMPLOYEE_ID, QStringLiteral("E-117"));
    s.Set(RF_JOB_NUMBER, QStringLiteral("J-2024-88"));
    s.Set(RF_JOINT_NUMBER, 7);
    s.Set(RF_MATERIAL_TEXT, QStringLiteral("PE4710"));
    s.Set(RF_PIPE_SIZE, QStringLiteral("8"));
    s.Set(RF_WALL_THICKNESS, QStringLiteral("11"));
    const char* pressures[] = {"75", "0", "75", "75"};
    for (int i = 0; i < 4; ++i)
        s.Set(ReportField(RF_PRESSURE_1 + i), QString::fromLatin1(pressures[i]));
    s.Set(RF_DRAG_PRESSURE, QStringLiteral("40"));
    const char* rec[] = {"338", "40", "338", "338"};
    for (int i = 0; i < 4; ++i)
        s.Set(ReportField(RF_REC_HEAT + i), QString::fromLatin1(rec[i]));
    s.Set(RF_EXT_HTR_TEMP, QStringLiteral("---"));
    s.Set(RF_HTR_TEMP, QStringLiteral("430"));
    s.Set(RF_NOTES_MARK_1, 999);
    s.Set(RF_NOTES_MARK_2, 999);
    s.Set(RF_NOTES, QStringLiteral("Crew 3. Cold wind, tent up."));
    s.Set(RF_VERSION_ID, QStringLiteral("VTQPv0.2.5 VTQ1214202401150"));
    s.Set(RF_PIPE_AREA, QStringLiteral("~"));
    // Bead at 338 psi, soak at 40, fuse and cool at 338, with a little noise.
    for (int i = 0; i < samples; ++i) {
        const int share = i * 100 / std::max(samples, 1);
        int p = share < 10 ? 40 + share * 30 : share < 30 ? 338 : share < 45 ? 40 : 338;
        if (share >= 45 && share < 47)
            p = 40 + (share - 44) * 140;
        p += (i * 7) % 5 - 2;
        s.samples.emplace_back(i * 5, p);
    }
    return s;
}

ReportPlan SidewallReport() {
    ReportPlan s = ButtFusionReport(120);
    s.Set(RF_MODEL_TEXT, QStringLiteral("Sidewall 60 HF SW"));
    s.Set(RF_PIPE_SIZE, QStringLiteral("Branch Saddle"));
    s.Set(RF_WALL_THICKNESS, QStringLiteral("8\" IPS x 2\" IPS"));
    s.Set(RF_PRESS_UNIT, 1);
    s.Set(RF_VERSION_ID, QStringLiteral("VTQPv0.2.5 KVTQ000123456789"));
    s.Set(RF_PIPE_AREA, QStringLiteral("12.5 in²~+F^"));
    return s;
}

QString WriteReport(const ReportPlan& plan, const QString& name) {
    // The Vantrek's blocks as a download keeps them: version, the three
    // records' words, the header's text and a zero byte, the samples' words.
    auto words = [](const QByteArray& block) {
        std::vector<quint16> w;
        BlockWords(block, w);
        return WordBytes(w);
    };
    QByteArray bytes = kProtocolVersion;
    bytes += words(FieldBlock("Pw02:", plan, RF_YEAR, RF_HTR_TEMP));
    bytes += words(FieldBlock("Pw03:", plan, RF_NOTES_MARK_1, RF_NOTES));
    bytes += words(FieldBlock("Pw04:", plan, RF_DEMO_MODE, RF_PIPE_AREA));
    bytes += plan.HeaderText() + '\0';
    QByteArray block = "Pw12:";
    for (const auto& [time, psi] : plan.samples)
        block += Digits(time) + Digits(psi);
    bytes += words(block + "eom");
    EnsureReportFolder();
    const QString path = ReportFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
