#include "check/Procedure.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>
#include <cmath>

namespace {
constexpr double kMmToInch = 1 / 25.4;

// One group of the INI file, with the error text naming its values.
class Group {
public:
    Group(QSettings& ini, const QString& name, QString& error)
        : m_ini(ini), m_name(name), m_error(error) {
        m_ini.beginGroup(name);
    }
    ~Group() { m_ini.endGroup(); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    bool Has(const QString& key) const { return m_ini.contains(key); }
    QString Shown(const QString& key) const { return m_name + QLatin1Char('/') + key; }
    bool Fail(const QString& text) {
        m_error = text;
        return false;
    }

    // A text value; a value with commas, which the reader splits, is joined.
    QString Text(const QString& key) const {
        const QVariant v = m_ini.value(key);
        return (v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                     : v.toString())
            .trimmed();
    }

    // One number within [low, high]; false with the error naming the value
    // when it is absent or does not read as a whole finite number.
    bool Number(const QString& key, double low, double high, double& value) {
        const QVariant v = m_ini.value(key);
        if (!v.isValid())
            return Fail(QStringLiteral("missing value %1").arg(Shown(key)));
        bool ok = false;
        // A list (a value with commas) has no single number in it.
        value = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : 0.0;
        if (!ok || !std::isfinite(value))
            return Fail(QStringLiteral("value %1 is not a number").arg(Shown(key)));
        if (value < low || value > high)
            return Fail(QStringLiteral("value %1 must lie between %2 and %3")
                            .arg(Shown(key), QString::number(low), QString::number(high)));
        return true;
    }

    // A lower and an upper value, the lower not above the upper.
    bool Range(const QString& min, const QString& max, double high, double& low, double& up) {
        if (!Number(min, 0, high, low) || !Number(max, 0, high, up))
            return false;
        return low <= up ||
               Fail(QStringLiteral("value %1 is below %2").arg(Shown(max), Shown(min)));
    }

    // One of the words in `words`; its index.
    bool Choice(const QString& key, const QStringList& words, int& index) {
        index = words.indexOf(Text(key).toLower());
        return index >= 0 || Fail(QStringLiteral("value %1 must be one of %2")
                                      .arg(Shown(key), words.join(QStringLiteral(", "))));
    }

    // Pressures given in psi or in MPa ("…Psi" or "…MPa" keys), in psi.
    bool Pressures(PressureRange& range) {
        const bool mpa = Has(QStringLiteral("MinimumMPa")) || Has(QStringLiteral("MaximumMPa"));
        if (mpa && (Has(QStringLiteral("MinimumPsi")) || Has(QStringLiteral("MaximumPsi"))))
            return Fail(
                QStringLiteral("%1 gives its pressures both in psi and in MPa").arg(m_name));
        const QString unit = mpa ? QStringLiteral("MPa") : QStringLiteral("Psi");
        const double factor = mpa ? kPsiPerMPa : 1;
        if (!Range(QStringLiteral("Minimum") + unit, QStringLiteral("Maximum") + unit,
                   10000 / factor, range.minPsi, range.maxPsi))
            return false;
        range.minPsi *= factor;
        range.maxPsi *= factor;
        return true;
    }

    // A time by wall: "Factor" with "FactorUnit", or "Rows" with "WallUnit",
    // "Unit" and "Between"; `legacy` reads the older keys of the group.
    bool Times(WallRule& rule, bool (*legacy)(Group&, WallRule&)) {
        if (Has(QStringLiteral("Rows")))
            return Table(rule);
        if (Has(QStringLiteral("Factor"))) {
            int unit = 0;
            if (!Number(QStringLiteral("Factor"), 0, 100000, rule.perInch) ||
                !Choice(QStringLiteral("FactorUnit"),
                        {QStringLiteral("s/in"), QStringLiteral("min/in"), QStringLiteral("s/mm"),
                         QStringLiteral("min/mm")},
                        unit))
                return false;
            rule.perInch *= (unit % 2 ? 60 : 1) * (unit >= 2 ? 25.4 : 1);
            return rule.perInch > 0 || Fail(QStringLiteral("value %1 must be above 0")
                                                .arg(Shown(QStringLiteral("Factor"))));
        }
        if (legacy)
            return legacy(*this, rule);
        return Fail(QStringLiteral("missing value %1").arg(Shown(QStringLiteral("Rows"))));
    }

private:
    bool Table(WallRule& rule) {
        int wallUnit = 0, unit = 0, between = 0;
        if (!Choice(QStringLiteral("WallUnit"), {QStringLiteral("in"), QStringLiteral("mm")},
                    wallUnit) ||
            !Choice(QStringLiteral("Unit"), {QStringLiteral("s"), QStringLiteral("min")}, unit) ||
            !Choice(QStringLiteral("Between"), {QStringLiteral("step"), QStringLiteral("linear")},
                    between))
            return false;
        rule.linear = between == 1;
        // "wall:value" pairs, separated by blanks or commas.
        static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
        const QStringList pairs =
            Text(QStringLiteral("Rows")).split(separators, Qt::SkipEmptyParts);
        const QString rows = Shown(QStringLiteral("Rows"));
        if (pairs.isEmpty())
            return Fail(QStringLiteral("value %1 has no rows").arg(rows));
        for (int i = 0; i < pairs.size(); ++i) {
            const QStringList parts = pairs[i].split(QLatin1Char(':'));
            bool wallOk = false, valueOk = false;
            WallRule::Row row;
            if (parts.size() == 2) {
                row.wallInches = parts[0].toDouble(&wallOk);
                row.value = parts[1].toDouble(&valueOk);
            }
            if (!wallOk || !valueOk || !std::isfinite(row.wallInches) ||
                !std::isfinite(row.value) || row.wallInches <= 0 || row.value < 0 ||
                row.wallInches > 10000 || row.value > 100000)
                return Fail(QStringLiteral("value %1: row %2 (\"%3\") is not wall:value with a "
                                           "wall above 0 and a value of 0 or more")
                                .arg(rows)
                                .arg(i + 1)
                                .arg(pairs[i]));
            row.wallInches *= wallUnit == 1 ? kMmToInch : 1;
            row.value *= unit == 1 ? 60 : 1;
            if (!rule.rows.empty() && row.wallInches <= rule.rows.back().wallInches)
                return Fail(QStringLiteral("value %1: row %2 must have a thicker wall than the "
                                           "row before it")
                                .arg(rows)
                                .arg(i + 1));
            rule.rows.push_back(row);
        }
        return true;
    }

    QSettings& m_ini;
    QString m_name;
    QString& m_error;
};

// The earliest files listed the heater removal as an array of steps in
// inches: "size", then "N\UpToWallInches" and "N\MaximumSeconds" for each.
bool LegacyRemoval(Group& group, WallRule& rule) {
    if (!group.Has(QStringLiteral("size")))
        return group.Fail(
            QStringLiteral("missing value %1").arg(group.Shown(QStringLiteral("Rows"))));
    double steps = 0;
    if (!group.Number(QStringLiteral("size"), 1, 100, steps))
        return false;
    for (int i = 0; i < int(steps); ++i) {
        WallRule::Row row;
        const QString at = QString::number(i + 1) + QLatin1Char('/');
        if (!group.Number(at + QStringLiteral("UpToWallInches"), 0, 100, row.wallInches) ||
            !group.Number(at + QStringLiteral("MaximumSeconds"), 0, 86400, row.value))
            return false;
        if (!rule.rows.empty() && row.wallInches <= rule.rows.back().wallInches)
            return group.Fail(QStringLiteral("value %1 must be above the one before it")
                                  .arg(group.Shown(at + QStringLiteral("UpToWallInches"))));
        rule.rows.push_back(row);
    }
    return true;
}

bool LegacyCooling(Group& group, WallRule& rule) {
    if (!group.Number(QStringLiteral("MinimumMinutesPerInch"), 0, 1000, rule.perInch))
        return false;
    rule.perInch *= 60;
    return true;
}
} // namespace

std::optional<double> WallRule::At(double wallInches) const {
    if (rows.empty())
        return perInch > 0 ? std::optional<double>(perInch * wallInches) : std::nullopt;
    if (wallInches <= rows.front().wallInches)
        return rows.front().value;
    for (size_t i = 1; i < rows.size(); ++i)
        if (wallInches <= rows[i].wallInches) {
            if (!linear)
                return rows[i].value;
            const Row& a = rows[i - 1];
            const Row& b = rows[i];
            return a.value + (b.value - a.value) * (wallInches - a.wallInches) /
                                 (b.wallInches - a.wallInches);
        }
    return std::nullopt;
}

bool LoadProcedure(const QString& path, Procedure& procedure, QString& error) {
    // QSettings keeps the files it has read and trusts them while their size
    // and time stamp stay the same, so a file changed twice within a moment
    // could read as before. It reads a private copy instead, made once.
    QFile file(path);
    QTemporaryFile copy;
    QByteArray bytes;
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError || !copy.open() ||
        copy.write(bytes) < 0 || !copy.flush()) {
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
    p.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    // A name with commas reads as a list.
    const QVariant name = ini.value(QStringLiteral("Procedure/Name"));
    p.name =
        (name.typeId() == QMetaType::QStringList ? name.toStringList().join(QStringLiteral(", "))
                                                 : name.toString())
            .trimmed();
    if (p.name.isEmpty()) {
        error = QStringLiteral("missing value Procedure/Name");
        return false;
    }
    const QStringList groups = ini.childGroups();
    {
        Group g(ini, QStringLiteral("HeaterTemperature"), error);
        const bool celsius = g.Has(QStringLiteral("MinimumC")) || g.Has(QStringLiteral("MaximumC"));
        if (!g.Range(QLatin1String(celsius ? "MinimumC" : "MinimumF"),
                     QLatin1String(celsius ? "MaximumC" : "MaximumF"), celsius ? 1000 : 2000,
                     p.heaterMinF, p.heaterMaxF))
            return false;
        if (celsius) {
            p.heaterMinF = p.heaterMinF * 9 / 5 + 32;
            p.heaterMaxF = p.heaterMaxF * 9 / 5 + 32;
        }
    }
    if (!Group(ini, QStringLiteral("InterfacialPressure"), error).Pressures(p.interfacial))
        return false;
    {
        Group g(ini, QStringLiteral("GaugePressure"), error);
        if (!g.Number(QStringLiteral("TolerancePercent"), 0, 100, p.tolerancePercent) ||
            (g.Has(QStringLiteral("NoiseFloorPsi")) &&
             !g.Number(QStringLiteral("NoiseFloorPsi"), 0.5, 100, p.noiseFloorPsi)))
            return false;
    }
    // Each group is left before the next is entered.
    if (!Group(ini, QStringLiteral("HeaterRemovalTime"), error)
             .Times(p.heaterRemovalSeconds, LegacyRemoval))
        return false;
    if (!Group(ini, QStringLiteral("CoolingTime"), error).Times(p.coolingSeconds, LegacyCooling))
        return false;
    // The optional ones: a group that is there must be whole.
    for (const auto& [name, rule] : {std::pair{"PressureBuildUpTime", &p.buildUpSeconds},
                                     std::pair{"HeatSoakTime", &p.soakSeconds}})
        if (groups.contains(QLatin1String(name)) &&
            !Group(ini, QLatin1String(name), error).Times(*rule, nullptr))
            return false;
    if (groups.contains(QStringLiteral("SecondCoolingStage"))) {
        Group g(ini, QStringLiteral("SecondCoolingStage"), error);
        const bool most = g.Has(QStringLiteral("FirstStageMaximumSeconds"));
        double longest = 0;
        if (!g.Pressures(p.secondStageInterfacial) ||
            !g.Number(QStringLiteral("FirstStageSeconds"), 0, 86400, p.firstStageSeconds) ||
            (most && !g.Range(QStringLiteral("FirstStageSeconds"),
                              QStringLiteral("FirstStageMaximumSeconds"), 86400,
                              p.firstStageSeconds, longest)))
            return false;
        p.secondStage = true;
        if (most)
            p.firstStageMaxSeconds = longest;
    }
    if (groups.contains(QStringLiteral("Calibration"))) {
        double days = 0;
        if (!Group(ini, QStringLiteral("Calibration"), error)
                 .Number(QStringLiteral("MaximumAgeDays"), 1, 36500, days))
            return false;
        p.calibrationMaxDays = days;
    }
    procedure = std::move(p);
    return true;
}

QString DefaultProcedurePath() {
    return QStringLiteral(":/check/generic-pe-butt-fusion.ini");
}

QString ProcedureTemplatePath() {
    return QStringLiteral(":/check/procedure-template.ini");
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
