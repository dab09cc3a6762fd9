#include "framework/SettingsStore.h"
#include "framework/Globals.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {
struct Value {
    const QString& key;
    const char* name;
    bool integer;
};

// Every value name the program stores, with its kind.
const std::vector<Value>& AllValues() {
    static const std::vector<Value> values = [] {
        std::vector<Value> v;
        for (const char* n :
             {"COM Port", "Demo Mode", "Demo PSI 1", "Demo PSI 2", "Demo PSI 3", "Demo PSI 4",
              "Demo PSI Inx", "Press Unit Inx", "Temp Unit Inx", "Temp Offset"})
            v.push_back({kKeySettings, n, true});
        for (const char* n :
             {"Joint Number", "Machine Model Inx", "Piston Area Unit", "Do Sidewall Fusion",
              "Pipe Material Inx", "Pipe Size Unit", "Wall Thickness Unit",
              "Pipe Area (SW) Unit Inx", "Fitting Type", "Fitting Main Unit", "Fitting Outlet Unit",
              "Fitting Force or Calc Selection", "Fitting Base Type", "Fitting Diamensions Unit",
              "Parameter Entered"})
            v.push_back({kKeyLogData, n, true});
        for (const char* n : {"Employee ID",
                              "Job Number",
                              "Machine ID",
                              "Machine Model Text",
                              "Piston Area",
                              "Pipe Material Text",
                              "Pipe Size",
                              "Wall Thickness",
                              "Pipe Area (inch)",
                              "Heat IFP",
                              "Soak IFP",
                              "Fuse IFP",
                              "Cool IFP",
                              "Pipe Area (SW)",
                              "Fitting Main Size",
                              "Fitting Outlet Size",
                              "Rec. Bead Force or IFP",
                              "Rec. Soak Force or IFP",
                              "Rec. Fuse Force or IFP",
                              "Fitting Heat Pressure",
                              "Fitting Fuse Pressure",
                              "Fitting OD",
                              "Fitting Wall Thickness",
                              "Fitting Base Hold Diameter",
                              "Fitting Base Length",
                              "Fitting Base Width",
                              "Drag Pressure",
                              "Rec Heat",
                              "Rec Soak",
                              "Rec Fuse",
                              "Rec Cool",
                              "Htr Temp",
                              "Ext Htr Temp",
                              "Notes",
                              "GPS"})
            v.push_back({kKeyLogData, n, false});
        for (const char* n :
             {"Technician", "Company", "Pyrometer Model", "Pyrometer Serial", "Pyrometer Cert",
              "Pyrometer Expiration", "Press Calib Model", "Press Calib Serial", "Press Calib Cert",
              "Press Calib Expire", "Xdcr Serial Number", "Serial Number"})
            v.push_back({kKeyCalibration, n, false});
        return v;
    }();
    return values;
}
} // namespace

TEST(SettingsStore, EveryValueNameRoundTripsWithItsKind) {
    // Missing values give the reader's default, and reading writes nothing.
    for (const Value& v : AllValues()) {
        const QString name = QString::fromUtf8(v.name);
        if (v.integer)
            EXPECT_EQ(ReadSettingInt(v.key, name, 42), 42) << v.name;
        else
            EXPECT_EQ(ReadSettingText(v.key, name, QStringLiteral("dflt")), QStringLiteral("dflt"))
                << v.name;
    }
    EXPECT_FALSE(QFile::exists(SettingsFilePath()));

    // Each value gets a content of its own, so that two names that collapse
    // into one in the file would show.
    int n = 0;
    for (const Value& v : AllValues()) {
        const QString name = QString::fromUtf8(v.name);
        if (v.integer)
            WriteSettingInt(v.key, name, -1000 + n);
        else
            WriteSettingText(v.key, name, QStringLiteral("%1 = %2").arg(name).arg(n));
        ++n;
    }
    n = 0;
    for (const Value& v : AllValues()) {
        const QString name = QString::fromUtf8(v.name);
        if (v.integer)
            EXPECT_EQ(ReadSettingInt(v.key, name, 0), -1000 + n) << v.name;
        else
            EXPECT_EQ(ReadSettingText(v.key, name, QString()),
                      QStringLiteral("%1 = %2").arg(name).arg(n))
                << v.name;
        ++n;
    }
    // Keys are kept apart: the same name under another key is another value.
    EXPECT_EQ(ReadSettingText(kKeySettings, QStringLiteral("Notes"), QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST(SettingsStore, TextsComeBackExactly) {
    const QStringList texts = {
        QStringLiteral("  notes with blanks  "),
        QStringLiteral("2.1 Kg/cm²"),
        QStringLiteral("a, b, c"),
        QStringLiteral("\"quoted\" and ; semicolon = equals"),
        QStringLiteral("two\nlines\\and a backslash"),
        QStringLiteral("@Variant(not really)"),
        QStringLiteral("true"),
        QStringLiteral("190 °F"),
        QString(),
    };
    for (const QString& text : texts) {
        WriteSettingText(kKeyLogData, QStringLiteral("Notes"), text);
        EXPECT_EQ(ReadSettingText(kKeyLogData, QStringLiteral("Notes"), QStringLiteral("x")), text);
    }
    // A value name with characters outside ASCII is kept apart from its neighbours.
    WriteSettingText(kKeyLogData, QStringLiteral("Area (cm²)"), QStringLiteral("1"));
    WriteSettingText(kKeyLogData, QStringLiteral("Area (cm2)"), QStringLiteral("2"));
    EXPECT_EQ(ReadSettingText(kKeyLogData, QStringLiteral("Area (cm²)"), QString()),
              QStringLiteral("1"));
}

TEST(SettingsStore, UnreadableIntegersGiveTheDefault) {
    WriteSettingText(kKeySettings, QStringLiteral("COM Port"), QStringLiteral("COM3"));
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), 5), 5);
    WriteSettingText(kKeySettings, QStringLiteral("COM Port"), QStringLiteral("99999999999"));
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), 5), 5);
    WriteSettingText(kKeySettings, QStringLiteral("COM Port"), QStringLiteral(" 3 "));
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), 5), 3);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -2147483647 - 1);
    EXPECT_EQ(ReadSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0), -2147483647 - 1);
}

TEST(SettingsStore, StoreLivesUnderTheCompanyAndApplicationNames) {
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 2);
    QSettings file(SettingsFilePath(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Settings/COM Port")).toInt(), 2);
    EXPECT_TRUE(SettingsFilePath().endsWith(QStringLiteral("/Kelvorn VTQ-PPC.conf")));

    // Without a test folder it is the user's Kelvorn configuration.
    SetSettingsFolder(QString());
    EXPECT_TRUE(SettingsFilePath().endsWith(QStringLiteral("/Kelvorn/Kelvorn VTQ-PPC.conf")))
        << SettingsFilePath().toStdString();
    SetSettingsFolder(TestSettingsFolder());
}

TEST(SettingsStore, TempOffsetText) {
    EXPECT_EQ(TempOffsetText(), QString());
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);
    EXPECT_EQ(TempOffsetText(), QString());
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -5);
    g_strTempUnit = QStringLiteral("°F");
    EXPECT_EQ(TempOffsetText(), QStringLiteral("Temp Offset: -5°F"));
    // Read at the moment it is used, never cached.
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 12);
    g_strTempUnit = QStringLiteral("°C");
    EXPECT_EQ(TempOffsetText(), QStringLiteral("Temp Offset: 12°C"));
}
