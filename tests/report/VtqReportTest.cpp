// vtq-report run as a shell would: each command on a downloaded report, and
// its answers to missing files, damaged reports and wrong usage.
#include "ReportMaker.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct ToolRun {
    int code = -1;
    QByteArray out, err;
};

ToolRun VtqReport(const QStringList& args) {
    QProcess process;
    process.setProgram(QCoreApplication::applicationDirPath() +
                       QStringLiteral("/../tools/vtq-report/vtq-report"));
    process.setArguments(args);
    // No display of any kind.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(env);
    process.start();
    ToolRun r;
    if (!process.waitForFinished(60000))
        return r;
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

// A poppler tool's output on a PDF file.
QByteArray Poppler(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}
} // namespace

TEST(VtqReport, TextCsvJsonAndPicture) {
    ReportPlan plan = SidewallReport();
    plan.samples[3].second = 4001; // not a reading
    plan.Set(RF_DEMO_MODE, 1);
    const QString path = WriteReport(plan, QStringLiteral("tool.kjr"));

    ToolRun r = VtqReport({"text", path});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QList<QByteArray> lines = r.out.split('\n');
    EXPECT_EQ(lines[0], QByteArray(" 1. Date & Time\t: 2024/03/07  14:30:05"));
    EXPECT_TRUE(lines.contains("Rec. Forces from Fitting Label:\t"));
    EXPECT_TRUE(lines.contains("23. Drag Pressure: 40"));
    EXPECT_TRUE(lines.contains("          Crew 3. Cold wind, tent "));

    r = VtqReport({"csv", path});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QList<QByteArray> rows = r.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 121);
    EXPECT_EQ(rows[0], QByteArray("time (s),pressure (psi),pressure (bar)"));
    EXPECT_EQ(rows[4], QByteArray("3.0,0,0.000"));
    EXPECT_EQ(rows[2], "1.0," + QByteArray::number(plan.samples[1].second) + "," +
                           QByteArray::number(plan.samples[1].second / 14.5, 'f', 3));

    r = VtqReport({"json", path, "--search", "50"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QJsonObject json = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(json["fields"]["machineModelText"].toString(), QStringLiteral("Sidewall 60 HF SW"));
    EXPECT_EQ(json["fields"]["jointNumber"].toInt(), 7);
    EXPECT_EQ(json["samplesInFile"].toInt(), 120);
    EXPECT_EQ(json["pressureUnit"].toString(), QStringLiteral("bar"));
    EXPECT_TRUE(json["demonstration"].toBool());
    EXPECT_EQ(json["notes"].toString(), plan.fields[RF_NOTES].text);
    const QJsonArray plots = json["plots"].toArray();
    ASSERT_EQ(plots.size(), 3);
    EXPECT_EQ(plots[0]["title"].toString(), QStringLiteral("Front-end Plot (50% search)"));
    EXPECT_EQ(plots[1]["timeStep"].toInt(), 25);
    EXPECT_EQ(plots[2]["title"].toString(), QStringLiteral("Summary Plot (120 data points)"));
    EXPECT_FALSE(plots[2]["pressureLabels"].toArray().isEmpty());

    const QString png = QCoreApplication::applicationDirPath() + QStringLiteral("/tool-test.png");
    QFile::remove(png);
    r = VtqReport({"png", path, "-o", png});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QImage image(png);
    EXPECT_EQ(image.width(), 240);
    EXPECT_GT(image.height(), 3 * 120 + 2 * 181);
    QFile::remove(png);
}

TEST(VtqReport, UnreadableFilesAndWrongUsage) {
    const QString missing = QCoreApplication::applicationDirPath() + QStringLiteral("/none.kjr");
    ToolRun r = VtqReport({"text", missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count('\n'), 1);
    EXPECT_TRUE(r.out.isEmpty());

    const QString path = WriteReport(ButtFusionReport(10), QStringLiteral("cut.kjr"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.resize(file.size() - 1);
    file.close();
    r = VtqReport({"json", path});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "vtq-report: " + path.toUtf8() + " is not a readable joint report\n");

    for (const QStringList& args :
         {QStringList{}, QStringList{"text"}, QStringList{"html", path}, QStringList{"png", path},
          QStringList{"pdf", path}, QStringList{"text", path, "-o", "x.pdf"},
          QStringList{"text", path, "--search", "101"},
          QStringList{"csv", path, "--search", "5"}}) {
        r = VtqReport(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: vtq-report")) << args.join(' ').toStdString();
    }
}

TEST(VtqReport, PdfIsTheOnePrintedPageWithTheReportTexts) {
    ReportPlan plan = ButtFusionReport();
    plan.Set(RF_DEMO_MODE, 1);
    const QString path = WriteReport(plan, QStringLiteral("pdf.kjr"));
    const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/tool-test.pdf");
    QFile::remove(pdf);
    ToolRun r = VtqReport({"pdf", path, "-o", pdf, "--search", "50"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());

    EXPECT_TRUE(Poppler(QStringLiteral("pdfinfo"), {pdf}).contains("\nPages:           1\n"));
    const QString text = QString::fromUtf8(
        Poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, "-"}));
    for (const char* expected :
         {"Kelvorn Joint Report", "1. Date & Time", "2024/03/07", "14:30:05",
          "Recorded Data:", "Front-end Plot (50% search)", "Heater Removal (location estimated)",
          "Summary Plot (300 data points)", "Seconds", "Demo"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("&&")));
    QFile::remove(pdf);

    r = VtqReport({"pdf", path, "-o", QStringLiteral("/nonexistent-folder/out.pdf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QByteArray("vtq-report: cannot write /nonexistent-folder/out.pdf\n"));
}
