#include "calibration/CalibArchive.h"
#include "calibration/CalibReport.h"
#include "calibration/CalibSummaryDlg.h"
#include "calibration/Resource.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/OemInfo.h"
#include "platform/Power.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
const QDateTime kWhen(QDate(2026, 12, 6), QTime(9, 5, 7));

class CalibArchiveTest : public ::testing::Test {
protected:
    ScriptedPrompter prompter;
    void SetUp() override {
        SetFixedLocalTime(kWhen);
        SetFakeOemInfo(std::optional<QString>(QStringLiteral("Acme Pad 7")));
    }
    void TearDown() override {
        SetFakeOemInfo(std::nullopt);
        SetFakeAwcAnswers(std::nullopt, 0);
    }
    QString Folder() const { return TestRootFolder() + QStringLiteral("/Calibration"); }
    QStringList Archives() const {
        return QDir(Folder()).entryList({QStringLiteral("*.kdc")}, QDir::Files);
    }
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

TEST_F(CalibArchiveTest, WritesOneArchiveAThatReadsBackWithItsParameters) {
    WriteSettingText(kKeyCalibration, QStringLiteral("Technician"), QStringLiteral("Kim"));
    WriteSettingText(kKeyCalibration, QStringLiteral("Press Calib Expire"),
                     QStringLiteral("2027-01"));
    bool written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QStringLiteral("---\r\nlog"), written);
    EXPECT_TRUE(written);
    EXPECT_TRUE(prompter.Shown().empty());
    ASSERT_EQ(Archives(), QStringList{QStringLiteral("KVTQ-0042 2026-12-06 at 09-05-07.kdc")});

    CCalibRecord r;
    CalibFileError error;
    ASSERT_TRUE(LoadCalibArchive(Folder() + QLatin1Char('/') + Archives()[0], r, error));
    EXPECT_EQ(r.m_strSignature, QStringLiteral("Kelvorn VTQ Calib"));
    EXPECT_EQ(r.m_nVersion, 1);
    EXPECT_EQ(r.m_strDateTime, QStringLiteral("2026/12/06  09:05:07"));
    EXPECT_EQ(r.m_strVantrekSerial, QStringLiteral("KVTQ-0042"));
    EXPECT_EQ(r.m_strSessionLog, QStringLiteral("---\r\nlog"));
    EXPECT_EQ(r.m_strTechnician, QStringLiteral("Kim"));
    EXPECT_EQ(r.m_strPressExpire, QStringLiteral("2027-01"));
    // Values never saved are kept as "---".
    for (const QString* absent : {&r.m_strCompany, &r.m_strPyroModel, &r.m_strPyroSerial,
                                  &r.m_strPyroCert, &r.m_strPyroExpire, &r.m_strPressModel,
                                  &r.m_strPressSerial, &r.m_strPressCert, &r.m_strXdcrSerial})
        EXPECT_EQ(*absent, QStringLiteral("---"));
    EXPECT_EQ(r.m_strVantrekModel, QStringLiteral("TK208M"));
    EXPECT_EQ(r.m_strHandheldId, QStringLiteral("Acme Pad 7 (VTQPv0.2.5)"));

    // The flag stops a second archive; without it, the same second and
    // Vantrek give the same name, and the newer run replaces the older.
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QStringLiteral("other"), written);
    written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QStringLiteral("newer"), written);
    ASSERT_EQ(Archives().size(), 1);
    ASSERT_TRUE(LoadCalibArchive(Folder() + QLatin1Char('/') + Archives()[0], r, error));
    EXPECT_EQ(r.m_strSessionLog, QStringLiteral("newer"));

    // A serial number edited in by hand cannot lead the file out of its folder.
    EXPECT_EQ(CalibArchivePath(QStringLiteral("../../etc"), kWhen),
              Folder() + QStringLiteral("/.._.._etc 2026-12-06 at 09-05-07.kdc"));
}

// The archive's bytes, written out by hand from the file format: the plain
// signature and version, then the sixteen scrambled texts in record order.
// Two members written in each other's place show here.
TEST_F(CalibArchiveTest, ArchiveBytesAreTheRecordMembersInTheirOrder) {
    const char* const settings[][2] = {
        {"Technician", "T6"},         {"Company", "C7"},
        {"Pyrometer Model", "P8"},    {"Pyrometer Serial", "P9"},
        {"Pyrometer Cert", "P10"},    {"Pyrometer Expiration", "P11"},
        {"Press Calib Model", "Q12"}, {"Press Calib Serial", "Q13"},
        {"Press Calib Cert", "Q14"},  {"Press Calib Expire", "Q15"},
        {"Xdcr Serial Number", "X18"}};
    for (const auto& [name, value] : settings)
        WriteSettingText(kKeyCalibration, QString::fromLatin1(name), QString::fromLatin1(value));
    bool written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QStringLiteral("log"), written);
    ASSERT_EQ(Archives().size(), 1);
    QFile file(Folder() + QLatin1Char('/') + Archives()[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));

    // 0xFF, FE FF, a one-byte length, then UTF-16LE code units, each one
    // complemented when scrambled.
    auto wide = [](const char* text, bool scrambled) {
        QByteArray bytes("\xff\xfe\xff", 3);
        bytes += char(std::strlen(text));
        for (const char* c = text; *c; ++c) {
            const quint16 unit = scrambled ? quint16(0xffff - quint8(*c)) : quint8(*c);
            bytes += char(unit & 0xff);
            bytes += char(unit >> 8);
        }
        return bytes;
    };
    QByteArray expected = wide("Kelvorn VTQ Calib", false) + QByteArray("\x01\0\0\0", 4);
    for (const char* member :
         {"2026/12/06  09:05:07", "KVTQ-0042", "log", "T6", "C7", "P8", "P9", "P10", "P11", "Q12",
          "Q13", "Q14", "Q15", "TK208M", "Acme Pad 7 (VTQPv0.2.5)", "X18"})
        expected += wide(member, true);
    EXPECT_EQ(file.readAll(), expected);
}

TEST_F(CalibArchiveTest, HandheldIsNamedByTheVendorLibraryOrTheMachine) {
    EXPECT_EQ(HandheldIdentification(), QStringLiteral("Acme Pad 7 (VTQPv0.2.5)"));
    SetFakeOemInfo(std::optional<std::optional<QString>>(std::optional<QString>()));
    EXPECT_EQ(HandheldIdentification(), QStringLiteral("---"));
    SetFakeAwcLibrary(true);
    SetFakeAwcAnswers(QStringLiteral("HX4700-123"), 0x05020100);
    EXPECT_EQ(HandheldIdentification(), QStringLiteral("HX4700-123 (Recon5) (VTQPv0.2.5)"));
    SetFakeAwcAnswers(std::nullopt, 0x05020100);
    EXPECT_EQ(HandheldIdentification(), QStringLiteral("---"));
}

TEST_F(CalibArchiveTest, WriteFailuresAreShownAndLeaveTheFlagClear) {
    // The folder's place is taken by a file.
    WriteFile(Folder(), "x");
    bool written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QString(), written);
    EXPECT_FALSE(written);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Could not create folder\n%1\nto save data!")
                                            .arg(QDir::toNativeSeparators(Folder())));
    EXPECT_EQ(prompter.Shown()[0].caption, AppName());
    EXPECT_EQ(prompter.Shown()[0].type, MB_OK | MB_ICONERROR);

    // The file's place is taken by a folder.
    QFile::remove(Folder());
    const QString path = CalibArchivePath(QStringLiteral("KVTQ-0042"), kWhen);
    ASSERT_TRUE(QDir().mkpath(path));
    prompter.Clear();
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QString(), written);
    EXPECT_FALSE(written);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Could not open file '%1'").arg(QDir::toNativeSeparators(path)));
    EXPECT_EQ(prompter.Shown()[0].type, MB_OK | MB_ICONERROR);

    // A later trigger tries again.
    QDir(path).removeRecursively();
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"), QString(), written);
    EXPECT_TRUE(written);
}

TEST_F(CalibArchiveTest, ViewerShowsTheReportOrSaysWhyNot) {
    bool written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"),
                            QStringLiteral("---\r\n  measured 401F is within 3F\r\n"), written);
    const QString good = Folder() + QLatin1Char('/') + Archives()[0];
    const QString missing = Folder() + QStringLiteral("/none.kdc");
    const QString cut = Folder() + QStringLiteral("/cut.kdc");
    const QString other = Folder() + QStringLiteral("/other.kdc");
    // A named pipe would hold the viewer until someone wrote to it.
    const QString pipe = Folder() + QStringLiteral("/pipe.kdc");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    WriteFile(cut, bytes.left(bytes.size() - 3));
    WriteFile(other, EncodeWideString(QStringLiteral("Kelvorn VTQ")) + bytes);

    ScriptedFileDialog files;
    ScriptedRunner runner;
    files.Answer(QString()); // cancelled: nothing
    files.Answer(missing);
    files.Answer(pipe);
    files.Answer(cut);
    files.Answer(other);
    files.Answer(good);
    QString summary, log;
    runner.Then<CCalibSummaryDlg>([&](CCalibSummaryDlg& dlg) {
        summary = dlg.GetDlgItemText(IDC_SUMMARY);
        log = dlg.GetDlgItemText(IDC_SESSION_LOG);
        EXPECT_FALSE(dlg.IsDlgItemVisible(IDOK));
        dlg.ClickDlgItem(IDCANCEL);
    });
    for (int n = 0; n < 6; ++n)
        ViewCalibrationData();

    ASSERT_EQ(files.Requests().size(), 6u);
    EXPECT_EQ(files.Requests()[0].filter, QStringLiteral("VTQ Calibration Data (*.kdc)|*.kdc||"));
    const std::vector<ShownMessage>& shown = prompter.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text,
              QStringLiteral("Could not open file '%1'").arg(QDir::toNativeSeparators(missing)));
    EXPECT_EQ(shown[1].text,
              QStringLiteral("Could not open file '%1'").arg(QDir::toNativeSeparators(pipe)));
    EXPECT_EQ(shown[2].text, QStringLiteral("Could not read data archive!"));
    EXPECT_EQ(shown[2].caption, AppName());
    EXPECT_EQ(shown[3].text, QStringLiteral("Not a Kelvorn VTQ calibration data file!"));
    EXPECT_EQ(shown[3].caption, QStringLiteral("File Error"));
    for (const ShownMessage& m : shown)
        EXPECT_EQ(m.type, MB_OK | MB_ICONERROR);

    EXPECT_EQ(runner.Run(), std::vector<int>{IDD_CALIB_SUMMARY});
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Kelvorn Vantrek\n   Model: TK208M\n")));
    EXPECT_TRUE(summary.contains(QStringLiteral("400°F\t401°F\n")));
    EXPECT_EQ(log, QStringLiteral("---\n  measured 401F is within 3F\n"));
}

TEST_F(CalibArchiveTest, VtqReportPrintsReportAndLogWithoutADisplay) {
    const auto run = [](const QString& path) {
        return RunTool(BuiltTool(QStringLiteral("vtq-report")),
                       {QStringLiteral("calibration"), path});
    };
    bool written = false;
    WriteCalibrationArchive(QStringLiteral("KVTQ-0042"),
                            QStringLiteral("---\r\n  measured 538F is within 3F\r\n-->>"), written);
    const QString good = Folder() + QLatin1Char('/') + Archives()[0];
    ToolRun r = run(good);
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Kelvorn Vantrek\n   Model: TK208M\n   VTQ s/n: KVTQ-0042\n"));
    EXPECT_TRUE(r.out.contains("540°F\t538°F\n"));
    EXPECT_TRUE(r.out.endsWith("    Expiration: ---\n\nSession Log\n---\n  measured 538F is "
                               "within 3F\n-->>\n"));

    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString cut = Folder() + QStringLiteral("/cut.kdc");
    WriteFile(cut, bytes.left(bytes.size() / 2));
    r = run(cut);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QByteArray("vtq-report: Could not read data archive!\n"));
    r = run(QCoreApplication::applicationFilePath());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QByteArray("vtq-report: Not a Kelvorn VTQ calibration data file!\n"));
    EXPECT_TRUE(r.out.isEmpty());
}
