// vtq-report check and pdf --check run as a shell would.
#include "ReportMaker.h"

#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
ToolRun VtqReport(const QStringList& args) {
    return RunTool(BuiltTool(QStringLiteral("vtq-report")), args);
}

// A joint that follows the procedure: bead 340 psi, soak 40, the carriage
// open 5 s, 600 s at 338.
ReportPlan GoodJoint() {
    ReportPlan plan = ButtFusionReport(0);
    plan.Set(RF_DRAG_PRESSURE, QStringLiteral("30"));
    for (int t = 0; t < 780; ++t) {
        const int p = t < 5     ? 0
                      : t < 35  ? 340
                      : t < 156 ? 40
                      : t < 161 ? 0
                      : t < 162 ? 200
                      : t < 763 ? 338
                                : 0;
        plan.samples.emplace_back(t * 5, p);
    }
    return plan;
}
} // namespace

TEST(VtqReportCheck, ExitStatusTextAndJsonForSeveralReports) {
    const QString good = WriteReport(GoodJoint(), QStringLiteral("good.kjr"));
    ReportPlan hotPlan = GoodJoint();
    hotPlan.Set(RF_HTR_TEMP, QStringLiteral("470"));
    const QString hot = WriteReport(hotPlan, QStringLiteral("hot.kjr"));
    const QString sidewall = WriteReport(SidewallReport(), QStringLiteral("sidewall.kjr"));

    ToolRun r = VtqReport({"check", good});
    EXPECT_EQ(r.code, 0) << r.err.constData();
    QList<QByteArray> lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 13); // file, procedure, 9 criteria, verdict, end
    EXPECT_EQ(lines[0], good.toUtf8());
    EXPECT_TRUE(lines[1].startsWith(
        "  Procedure: Generic PE butt fusion (PPI TR-33 / ASTM F2620) (file SHA-256 "));
    EXPECT_TRUE(lines[1].endsWith("…, check version 2)"));
    // The carriage opens at 155.1 s (40 to 0 psi through 36) and the ends
    // meet at 160.22 s (0 to 200 psi through 44).
    EXPECT_EQ(lines[6], QByteArray("  heaterRemovalTime   pass    5.1 s      allowed at most 15 s, "
                                   "at 155.1 s"));
    EXPECT_EQ(lines[11], QByteArray("  Verdict: pass"));

    EXPECT_EQ(VtqReport({"check", good, sidewall}).code, 4);
    EXPECT_EQ(VtqReport({"check", sidewall, hot, good}).code, 3);
    // A failed joint is never hidden behind another file's trouble.
    const QString missing = TestRootFolder() + QStringLiteral("/missing.kjr");
    r = VtqReport({"check", hot, missing});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains("missing.kjr")) << r.err.constData();
    EXPECT_TRUE(r.out.contains("Verdict: fail")); // the readable one is still checked
    EXPECT_EQ(VtqReport({"check", missing, good, sidewall}).code, 1);
    EXPECT_EQ(VtqReport({"check"}).code, 2);
    EXPECT_EQ(VtqReport({"check", good, "--procedure"}).code, 2);
    EXPECT_EQ(VtqReport({"check", good, "--bogus"}).code, 2);

    r = VtqReport({"check", hot, sidewall, "--json"});
    EXPECT_EQ(r.code, 3);
    const QJsonArray reports = QJsonDocument::fromJson(r.out).array();
    ASSERT_EQ(reports.size(), 2);
    const QJsonObject first = reports[0].toObject();
    EXPECT_EQ(first["file"].toString(), hot);
    EXPECT_EQ(first["verdict"].toString(), QStringLiteral("fail"));
    EXPECT_EQ(first["procedureSha256"].toString().size(), 64);
    EXPECT_EQ(first["checkVersion"].toInt(), 2);
    const QJsonObject heater = first["criteria"][0].toObject();
    EXPECT_EQ(heater["id"].toString(), QStringLiteral("heaterTemperature"));
    EXPECT_EQ(heater["verdict"].toString(), QStringLiteral("fail"));
    EXPECT_EQ(heater["measured"].toDouble(), 470);
    EXPECT_EQ(heater["allowed"]["min"].toDouble(), 400);
    EXPECT_EQ(heater["allowed"]["max"].toDouble(), 450);
    EXPECT_EQ(heater["unit"].toString(), QStringLiteral("°F"));
    EXPECT_TRUE(heater["atSeconds"].isNull());
    const QJsonObject cooling = first["criteria"][6].toObject();
    EXPECT_EQ(cooling["id"].toString(), QStringLiteral("coolingTime"));
    // Fusion reached: 200 at 161 to 338 at 162 through 304.2; released: 338
    // at 762 to 0 at 763 through 30 + (338 - 30) / 2.
    EXPECT_NEAR(cooling["measured"].toDouble(), 762.456 - 161.755, 0.002);
    EXPECT_NEAR(cooling["atSeconds"].toDouble(), 161.755, 0.001);
    EXPECT_EQ(reports[1]["verdict"].toString(), QStringLiteral("unknown"));
    EXPECT_EQ(reports[1]["criteria"][2]["reason"].toString(),
              QStringLiteral("not a butt-fusion pipe joint"));

    // Another procedure by file; a broken one is refused by name.
    const QString ini = TestRootFolder() + QStringLiteral("/hot.ini");
    QFile source(QStringLiteral(":/check/generic-pe-butt-fusion.ini"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray text = source.readAll();
    text.replace("Name=Generic PE butt fusion (PPI TR-33 / ASTM F2620)", "Name=Hot plate");
    text.replace("MaximumF=450", "MaximumF=480");
    QFile out(ini);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text);
    out.close();
    r = VtqReport({"check", "--procedure", ini, hot});
    EXPECT_EQ(r.code, 0) << r.out.constData();
    EXPECT_TRUE(r.out.contains("  Procedure: Hot plate (file SHA-256 "));
    // The page of pdf --check names the procedure it was judged by.
    const QString pdf = TestRootFolder() + QStringLiteral("/hot.pdf");
    ASSERT_EQ(VtqReport({"pdf", hot, "-o", pdf, "--check", "--procedure", ini}).code, 0);
    EXPECT_TRUE(RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
                    .out.contains("Procedure: Hot plate"));
    EXPECT_EQ(VtqReport({"pdf", hot, "-o", pdf, "--procedure", ini}).code, 2);
    text.replace("MaximumF=480", "MaximumF=");
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(text);
    out.close();
    r = VtqReport({"check", hot, "--procedure", ini});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "vtq-report: procedure " + ini.toUtf8() +
                         " refused: value HeaterTemperature/MaximumF is not a number\n");
}

TEST(VtqReportCheck, PdfCheckAddsASecondPageAndLeavesTheFirstAsItWas) {
    const QString path = WriteReport(GoodJoint(), QStringLiteral("pdf.kjr"));
    const QString plain = TestRootFolder() + QStringLiteral("/plain.pdf");
    const QString checked = TestRootFolder() + QStringLiteral("/checked.pdf");
    ASSERT_EQ(VtqReport({"pdf", path, "-o", plain}).code, 0);
    ToolRun r = VtqReport({"pdf", path, "-o", checked, "--check"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(
        RunTool(QStringLiteral("pdfinfo"), {checked}).out.contains("\nPages:           2\n"));
    const auto page = [](const QString& pdf, const char* n) {
        return RunTool(QStringLiteral("pdftotext"),
                       {QStringLiteral("-layout"), QStringLiteral("-f"), QString::fromLatin1(n),
                        QStringLiteral("-l"), QString::fromLatin1(n), pdf, QStringLiteral("-")})
            .out;
    };
    const QByteArray first = page(plain, "1");
    EXPECT_TRUE(first.contains("Kelvorn Joint Report"));
    EXPECT_EQ(page(checked, "1"), first);
    const QByteArray second = page(checked, "2");
    EXPECT_TRUE(second.contains("Procedure check"));
    EXPECT_TRUE(second.contains("coolingTime")) << second.constData();
    EXPECT_TRUE(second.contains("Verdict: pass"));
    // Without --check a pdf is refused the option nowhere else.
    EXPECT_EQ(VtqReport({"png", path, "-o", plain, "--check"}).code, 2);
}
