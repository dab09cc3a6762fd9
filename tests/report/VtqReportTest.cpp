// vtq-report run as a shell would: each command on a downloaded report, and
// its answers to missing files, damaged reports and wrong usage.
#include "ReportMaker.h"
#include "support/RunTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
ToolRun VtqReport(const QStringList& args) {
    return RunTool(BuiltTool(QStringLiteral("vtq-report")), args);
}

// A poppler tool's output on a PDF file.
QByteArray Poppler(const QString& tool, const QStringList& args) {
    const ToolRun r = RunTool(tool, args);
    return r.code == 0 ? r.out : QByteArray();
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
    // No reading is an empty cell, not a pressure of 0.
    EXPECT_EQ(rows[4], QByteArray("3.0,,"));
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
    // Time windows read as seconds: 0.2 s a unit, a minute-scale plot 12 s.
    EXPECT_DOUBLE_EQ(json["frontEndEndSeconds"].toDouble(), json["frontEndEnd"].toInt() * 0.2);
    EXPECT_GT(json["frontEndEndSeconds"].toDouble(), 0.0);
    for (const QJsonValue& plot : plots)
        EXPECT_DOUBLE_EQ(plot["secondsPerTimeUnit"].toDouble(),
                         plot["minutes"].toBool() ? 12.0 : 0.2);
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

    // A psi report has one pressure column; its no-reading is empty too.
    ReportPlan psi = ButtFusionReport(20);
    psi.samples[2].second = 4500;
    psi.samples[3].second = 0;
    r = VtqReport({"csv", WriteReport(psi, QStringLiteral("psi.kjr"))});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QList<QByteArray> psiRows = r.out.trimmed().split('\n');
    EXPECT_EQ(psiRows[0], QByteArray("time (s),pressure (psi)"));
    EXPECT_EQ(psiRows[3], QByteArray::number(psi.samples[2].first * 0.2, 'f', 1) + ",");
    EXPECT_EQ(psiRows[4], QByteArray::number(psi.samples[3].first * 0.2, 'f', 1) + ",0");
}

// Whatever -o names, the report given survives, and an output is replaced
// whole or not at all.
TEST(VtqReport, AnOutputNeverDestroysTheReportOrAnOldFile) {
    const QString path = WriteReport(ButtFusionReport(30), QStringLiteral("keep.kjr"));
    const QByteArray report = ReadAll(path);
    const QString dir = QCoreApplication::applicationDirPath();
    const QString link = dir + QStringLiteral("/keep-link.kjr");
    const QString hard = dir + QStringLiteral("/keep-hard.kjr");
    QFile::remove(link);
    QFile::remove(hard);
    ASSERT_TRUE(QFile::link(path, link));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(hard).constData()), 0);
    for (const char* command : {"pdf", "png"})
        for (const QString& out : {path, link, hard}) {
            const ToolRun r = VtqReport({command, path, "-o", out});
            EXPECT_EQ(r.code, 2) << command << " " << out.toStdString();
            EXPECT_TRUE(r.err.contains("the output file is the report itself"));
            EXPECT_EQ(ReadAll(path), report) << command << " " << out.toStdString();
        }
    QFile::remove(link);
    QFile::remove(hard);

    // The new page is renamed into place: a second name of the old output
    // still reads the old bytes, and nothing is left beside it.
    const QString sub = dir + QStringLiteral("/outputs");
    QDir(sub).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(sub));
    for (const char* command : {"pdf", "png"}) {
        const QString out = sub + QStringLiteral("/out");
        const QString old = sub + QStringLiteral("/old");
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old output");
        file.close();
        ASSERT_EQ(::link(QFile::encodeName(out).constData(), QFile::encodeName(old).constData()),
                  0);
        const ToolRun r = VtqReport({command, path, "-o", out});
        ASSERT_EQ(r.code, 0) << r.err.constData();
        EXPECT_EQ(ReadAll(old), QByteArray("old output")) << command;
        EXPECT_GT(ReadAll(out).size(), 100) << command;
        EXPECT_EQ(QDir(sub).entryList(QDir::Files).size(), 2) << command;
        QFile::remove(out);
        QFile::remove(old);
    }
    QDir(sub).removeRecursively();
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
    // Words an inspector searches for, as typed, not as ligature glyphs.
    plan.Set(RF_NOTES, QStringLiteral("fit verified, flat, offset"));
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
          "Summary Plot (300 data points)", "Seconds", "Demo", "fit", "verified,", "flat,",
          "offset"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("&&")));
    QFile::remove(pdf);

    r = VtqReport({"pdf", path, "-o", QStringLiteral("/nonexistent-folder/out.pdf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QByteArray("vtq-report: cannot write /nonexistent-folder/out.pdf\n"));
}
