#include "check/MachineRegistry.h"

#include <QRegularExpression>
#include <cmath>

namespace {
constexpr double kSqCmToSqIn = 0.15500031000062;
} // namespace

const MachineEntry* MachineRegistry::Find(const QString& machineId) const {
    const QString id = machineId.trimmed();
    for (const MachineEntry& m : machines)
        if (m.machineId.compare(id, Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

bool ReadMachineRegistry(const QString& text, MachineRegistry& registry, QString& error) {
    static const QRegularExpression area(
        QStringLiteral(R"(^([0-9]+(?:\.[0-9]*)?|\.[0-9]+)\s*(in²|in2|cm²|cm2)?$)"),
        QRegularExpression::CaseInsensitiveOption);
    MachineRegistry read;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto fail = [&](const QString& what) {
            error = QStringLiteral("line %1: %2").arg(i + 1).arg(what);
            return false;
        };
        QStringList fields = line.split(QLatin1Char(';'));
        for (QString& f : fields)
            f = f.trimmed();
        if (fields.size() < 3 || fields.size() > 4)
            return fail(QStringLiteral("not \"Machine ID; model; piston area; calibration\""));
        MachineEntry m;
        m.machineId = fields[0];
        m.model = fields[1];
        if (m.machineId.isEmpty() || m.model.isEmpty())
            return fail(QStringLiteral("no Machine ID or no model"));
        const QRegularExpressionMatch a = area.match(fields[2]);
        m.pistonAreaSqIn = a.hasMatch() ? a.captured(1).toDouble() : 0;
        if (a.captured(2).startsWith(QLatin1Char('c'), Qt::CaseInsensitive))
            m.pistonAreaSqIn *= kSqCmToSqIn;
        if (!(m.pistonAreaSqIn > 0) || !std::isfinite(m.pistonAreaSqIn))
            return fail(QStringLiteral("piston area \"%1\" is not a number above 0 in in² or cm²")
                            .arg(fields[2]));
        if (fields.size() == 4 && !fields[3].isEmpty()) {
            m.calibrated = QDate::fromString(fields[3], Qt::ISODate);
            if (!m.calibrated.isValid())
                return fail(
                    QStringLiteral("calibration date \"%1\" is not YYYY-MM-DD").arg(fields[3]));
        }
        if (read.Find(m.machineId))
            return fail(QStringLiteral("Machine ID %1 is listed twice").arg(m.machineId));
        read.machines.push_back(m);
    }
    registry = std::move(read);
    return true;
}
