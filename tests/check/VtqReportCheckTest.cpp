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

// A joint that follows the procedure: bead 340 psi, soak 40, 7 s to fusion
// pressure, 600 s at 338.
ReportPlan GoodJoint() {
    ReportPlan plan = ButtFusionReport(0);
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
    ASSERT_EQ(lines.size(), 11); // file, procedure, 7 criteria, verdict, end
    EXPECT_EQ(lines[0], good.toUtf8());
    EXPECT_EQ(lines[1], QByteArray("  Procedure: Generic PE butt fusion (PPI TR-33 / ASTM F2620)"));
    EXPECT_EQ(lines[6], QByteArray("  heaterRemovalTime   pass    7 s        allowed at most 15 s, "
                                   "at 155 s"));
    EXPECT_EQ(lines[9], QByteArray("  Verdict: pass"));

    EXPECT_EQ(VtqReport({"check", good, sidewall}).code, 4);
    EXPECT_EQ(VtqReport({"check", sidewall, hot, good}).code, 3);
    const QString missing = TestRootFolder() + QStringLiteral("/missing.kjr");
    r = VtqReport({"check", hot, missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("missing.kjr")) << r.err.constData();
    EXPECT_TRUE(r.out.contains("Verdict: fail")); // the readable one is still checked
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
    EXPECT_EQ(cooling["measured"].toDouble(), 600);
    EXPECT_EQ(cooling["atSeconds"].toDouble(), 162);
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
    EXPECT_TRUE(r.out.contains("  Procedure: Hot plate\n"));
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
