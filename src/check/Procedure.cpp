#include "check/Procedure.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <cmath>

namespace {
// Reads one number; false with `error` naming the value when it is absent
// or does not read as a whole finite number within [low, high].
bool ReadNumber(QSettings& ini, const QString& key, double low, double high, double& value,
                QString& error) {
    const QString shown = ini.group().isEmpty() ? key : ini.group() + QLatin1Char('/') + key;
    const QVariant v = ini.value(key);
    if (!v.isValid()) {
        error = QStringLiteral("missing value %1").arg(shown);
        return false;
    }
    bool ok = false;
    // A list (a value with commas) has no single number in it.
    value = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : 0.0;
    if (!ok || !std::isfinite(value)) {
        error = QStringLiteral("value %1 is not a number").arg(shown);
        return false;
    }
    if (value < low || value > high) {
        error = QStringLiteral("value %1 must lie between %2 and %3")
                    .arg(shown, QString::number(low), QString::number(high));
        return false;
    }
    return true;
}

bool ReadRange(QSettings& ini, const QString& group, const QString& min, const QString& max,
               double high, double& low, double& up, QString& error) {
    ini.beginGroup(group);
    const bool ok =
        ReadNumber(ini, min, 0, high, low, error) && ReadNumber(ini, max, 0, high, up, error);
    if (ok && low > up)
        error = QStringLiteral("value %1/%2 is below %1/%3").arg(group, max, min);
    ini.endGroup();
    return ok && low <= up;
}
} // namespace

double Procedure::MaxRemovalSeconds(double wallInches) const {
    for (const RemovalStep& step : heaterRemoval)
        if (wallInches <= step.upToWallInches)
            return step.maximumSeconds;
    return -1;
}

bool LoadProcedure(const QString& path, Procedure& procedure, QString& error) {
    // QSettings keeps the files it has read and trusts them while their size
    // and time stamp stay the same, so a file changed twice within a moment
    // could read as before. It reads a private copy instead, made once.
    QFile file(path);
    QTemporaryFile copy;
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || !copy.open() ||
        copy.write(file.readAll()) < 0 || !copy.flush()) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    copy.close();
    QSettings ini(copy.fileName(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        error = QStringLiteral("%1 is not an INI file").arg(path);
        return false;
    }
    Procedure p;
    p.name = ini.value(QStringLiteral("Procedure/Name")).toString().trimmed();
    if (p.name.isEmpty()) {
        error = QStringLiteral("missing value Procedure/Name");
        return false;
    }
    if (!ReadRange(ini, QStringLiteral("HeaterTemperature"), QStringLiteral("MinimumF"),
                   QStringLiteral("MaximumF"), 2000, p.heaterMinF, p.heaterMaxF, error) ||
        !ReadRange(ini, QStringLiteral("InterfacialPressure"), QStringLiteral("MinimumPsi"),
                   QStringLiteral("MaximumPsi"), 10000, p.interfacialMinPsi, p.interfacialMaxPsi,
                   error))
        return false;
    ini.beginGroup(QStringLiteral("GaugePressure"));
    const bool tolerance =
        ReadNumber(ini, QStringLiteral("TolerancePercent"), 0, 100, p.tolerancePercent, error);
    ini.endGroup();
    if (!tolerance)
        return false;

    const int steps = ini.beginReadArray(QStringLiteral("HeaterRemovalTime"));
    if (steps <= 0) {
        ini.endArray();
        error = QStringLiteral("missing value HeaterRemovalTime/size");
        return false;
    }
    for (int i = 0; i < steps; ++i) {
        ini.setArrayIndex(i);
        RemovalStep step;
        if (!ReadNumber(ini, QStringLiteral("UpToWallInches"), 0, 100, step.upToWallInches,
                        error) ||
            !ReadNumber(ini, QStringLiteral("MaximumSeconds"), 0, 86400, step.maximumSeconds,
                        error)) {
            ini.endArray();
            return false;
        }
        if (!p.heaterRemoval.empty() &&
            step.upToWallInches <= p.heaterRemoval.back().upToWallInches) {
            ini.endArray();
            error = QStringLiteral("value HeaterRemovalTime/%1/UpToWallInches must be above the "
                                   "one before it")
                        .arg(i + 1);
            return false;
        }
        p.heaterRemoval.push_back(step);
    }
    ini.endArray();

    ini.beginGroup(QStringLiteral("CoolingTime"));
    const bool cooling = ReadNumber(ini, QStringLiteral("MinimumMinutesPerInch"), 0, 1000,
                                    p.coolingMinutesPerInch, error);
    ini.endGroup();
    if (!cooling)
        return false;
    procedure = std::move(p);
    return true;
}

QString DefaultProcedurePath() {
    return QStringLiteral(":/check/generic-pe-butt-fusion.ini");
}

const Procedure& DefaultProcedure() {
    static const Procedure procedure = [] {
        Procedure p;
        QString error;
        LoadProcedure(DefaultProcedurePath(), p, error);
        return p;
    }();
    return procedure;
}
