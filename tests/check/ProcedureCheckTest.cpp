// The procedure check on reports made from known traces (FusionTrace.h),
// with every measured value worked out by hand.
#include "FusionTrace.h"

#include "check/ProcedureCheck.h"
#include "framework/Globals.h"
#include "report/VtkDoc.h"
#include "support/TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
ReportPlan PlanOf(const FusionTrace& trace) {
    return FusionTracePlan(trace);
}

CheckResult Check(const ReportPlan& plan, const Procedure& procedure = DefaultProcedure()) {
    g_strReportPath = WriteReport(plan, QStringLiteral("check.kjr"));
    CVtkDoc doc;
    EXPECT_TRUE(doc.LoadReport());
    return CheckReport(doc, procedure);
}

const Criterion& Find(const CheckResult& r, const char* id) {
    for (const Criterion& c : r.criteria)
        if (c.id == QLatin1String(id))
            return c;
    static const Criterion none;
    ADD_FAILURE() << "no criterion " << id;
    return none;
}

// Every criterion but `failing` passes, and that one fails with `measured`.
void ExpectOnlyFails(const CheckResult& r, const char* failing, double measured) {
    SCOPED_TRACE(failing);
    EXPECT_EQ(r.verdict, ReportVerdict::Fail);
    ASSERT_EQ(r.criteria.size(), 7u);
    for (const Criterion& c : r.criteria)
        EXPECT_EQ(c.verdict, c.id == QLatin1String(failing) ? Verdict::Fail : Verdict::Pass)
            << qPrintable(c.id) << " " << qPrintable(c.reason);
    ASSERT_TRUE(Find(r, failing).measured);
    EXPECT_NEAR(*Find(r, failing).measured, measured, 0.05);
}

QString WriteIni(const QString& text) {
    const QString path = TestRootFolder() + QStringLiteral("/procedure.ini");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
    return path;
}

QString DefaultIniText() {
    QFile file(DefaultProcedurePath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}
} // namespace

TEST(ProcedureCheck, AJointByTheProcedurePassesWithEveryValueWhereItWasMeasured) {
    const CheckResult r = Check(PlanOf({}));
    EXPECT_EQ(r.procedure, QStringLiteral("Generic PE butt fusion (PPI TR-33 / ASTM F2620)"));
    EXPECT_EQ(r.verdict, ReportVerdict::Pass);
    for (const Criterion& c : r.criteria)
        EXPECT_EQ(c.verdict, Verdict::Pass) << qPrintable(c.id) << " " << qPrintable(c.reason);
    const auto expect = [&](const char* id, double measured, std::optional<double> at) {
        const Criterion& c = Find(r, id);
        ASSERT_TRUE(c.measured) << id;
        EXPECT_NEAR(*c.measured, measured, 0.001) << id;
        EXPECT_EQ(c.atSeconds, at) << id;
    };
    expect("heaterTemperature", 430, std::nullopt);
    expect("interfacialPressure", 75, std::nullopt);
    expect("beadPressure", 340, 5.0);      // t = 5 .. 34, all 340
    expect("soakPressure", 43, 100.0);     // from t = 40 on; t = 35 (100 psi) settles
    expect("heaterRemovalTime", 7, 155.0); // 162 - 155
    expect("fusePressure", 338, 162.0);    // t = 162 .. 191: 320 once, 338
    expect("coolingTime", 600, 162.0);     // 762 - 162
    EXPECT_NEAR(*Find(r, "heaterRemovalTime").allowedMax, 15, 1e-9);
    EXPECT_NEAR(*Find(r, "coolingTime").allowedMin, 11 * 8.625 / 11 * 60, 1e-9);
    EXPECT_NEAR(*Find(r, "soakPressure").allowedMax, 44, 1e-9);

    // The same joint entered in bar, °C and with the soak going straight into
    // the rise (no dip): 5.2 bar is 75.4 psi, 23.3 bar 337.85 psi, 221 °C
    // 429.8 °F; the soak still ends at t = 155, the sample before 200 psi.
    ReportPlan bar = PlanOf({.dip = 0});
    bar.Set(RF_PRESS_UNIT, 1);
    for (ReportField f : {RF_PRESSURE_1, RF_PRESSURE_3, RF_PRESSURE_4})
        bar.Set(f, QStringLiteral("5.2"));
    for (ReportField f : {RF_REC_HEAT, RF_REC_FUSE, RF_REC_COOL})
        bar.Set(f, QStringLiteral("23.3"));
    bar.Set(RF_REC_SOAK, QStringLiteral("2.8"));
    bar.Set(RF_TEMP_UNIT, 1);
    bar.Set(RF_HTR_TEMP, QStringLiteral("221"));
    const CheckResult b = Check(bar);
    EXPECT_EQ(b.verdict, ReportVerdict::Pass);
    EXPECT_NEAR(*Find(b, "interfacialPressure").measured, 75.4, 1e-9);
    EXPECT_NEAR(*Find(b, "heaterTemperature").measured, 429.8, 1e-9);
    EXPECT_NEAR(*Find(b, "heaterRemovalTime").measured, 2, 1e-9); // 157 - 155
}

TEST(ProcedureCheck, EachCriterionFailsAloneWithItsMeasuredValue) {
    ReportPlan hot = PlanOf({});
    hot.Set(RF_HTR_TEMP, QStringLiteral("460"));
    ExpectOnlyFails(Check(hot), "heaterTemperature", 460);
    // The Vantrek probe wins over the external one; without it the external.
    hot.Set(RF_HTR_TEMP, QString());
    hot.Set(RF_EXT_HTR_TEMP, QStringLiteral("395"));
    ExpectOnlyFails(Check(hot), "heaterTemperature", 395);

    ReportPlan ifp = PlanOf({});
    ifp.Set(RF_PRESSURE_3, QStringLiteral("95"));
    ExpectOnlyFails(Check(ifp), "interfacialPressure", 95);

    ExpectOnlyFails(Check(PlanOf({.bead = 380})), "beadPressure", 380);
    ExpectOnlyFails(Check(PlanOf({.soakPeak = 50})), "soakPressure", 50);
    ExpectOnlyFails(Check(PlanOf({.dip = 15})), "heaterRemovalTime", 17); // 172 - 155
    // t = 162 (320) and 29 samples of 380: the median is 380.
    ExpectOnlyFails(Check(PlanOf({.fuse = 380})), "fusePressure", 380);
    ExpectOnlyFails(Check(PlanOf({.heldFor = 500})), "coolingTime", 500); // 662 - 162
}

TEST(ProcedureCheck, WhatTheReportCannotTellIsUnknownNeverPass) {
    // No reading in the soak: the soak cannot be judged, the rest can; the
    // reader's own 0 for that sample is not taken as a pressure.
    CheckResult r = Check(PlanOf({.soakPeak = 50, .noReadingAt = 80}));
    EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
    EXPECT_EQ(Find(r, "soakPressure").verdict, Verdict::Unknown);
    EXPECT_FALSE(Find(r, "soakPressure").measured);
    EXPECT_EQ(Find(r, "soakPressure").reason,
              QStringLiteral("a no-reading sample lies in the heat soak"));
    for (const char* id : {"beadPressure", "heaterRemovalTime", "fusePressure", "coolingTime"})
        EXPECT_EQ(Find(r, id).verdict, Verdict::Pass) << id;
    // In the fusion, it takes the fuse pressure and the cooling with it.
    r = Check(PlanOf({.noReadingAt = 170}));
    EXPECT_EQ(Find(r, "fusePressure").verdict, Verdict::Unknown);
    EXPECT_EQ(Find(r, "coolingTime").verdict, Verdict::Unknown);
    EXPECT_EQ(Find(r, "soakPressure").verdict, Verdict::Pass);

    // 8.5" is no IPS size: no wall thickness, so no time limits.
    ReportPlan odd = PlanOf({});
    odd.Set(RF_PIPE_SIZE, QStringLiteral("8.5"));
    r = Check(odd);
    EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
    for (const char* id : {"heaterRemovalTime", "coolingTime"}) {
        EXPECT_EQ(Find(r, id).verdict, Verdict::Unknown) << id;
        EXPECT_EQ(Find(r, id).reason,
                  QStringLiteral("the pipe size and wall thickness give no wall thickness"));
    }
    // A failure still fails the report when something else is unknown.
    odd.Set(RF_HTR_TEMP, QStringLiteral("380"));
    EXPECT_EQ(Check(odd).verdict, ReportVerdict::Fail);

    // Sidewall and Tarvex joints are not checked.
    for (ReportPlan plan : {SidewallReport(), PlanOf({})}) {
        if (plan.fields[RF_PIPE_SIZE].text == QLatin1String("8"))
            plan.Set(RF_MODEL_TEXT, QStringLiteral("Tarvex"));
        r = Check(plan);
        EXPECT_EQ(r.verdict, ReportVerdict::Unknown);
        EXPECT_EQ(r.reason, QStringLiteral("not a butt-fusion pipe joint"));
        ASSERT_EQ(r.criteria.size(), 7u);
        for (const Criterion& c : r.criteria)
            EXPECT_EQ(c.verdict, Verdict::Unknown);
    }

    // A log whose clock jumps back (here by 10 s just after the heater came
    // out) cannot give a time; a removal time of -3 s would have passed.
    ReportPlan back = PlanOf({});
    for (auto& [time, psi] : back.samples)
        if (time >= 157 * 5)
            time -= 50;
    r = Check(back);
    EXPECT_EQ(Find(r, "heaterRemovalTime").verdict, Verdict::Unknown);
    EXPECT_EQ(Find(r, "coolingTime").reason,
              QStringLiteral("the time stamps of the log do not run forward"));

    // A pressure that never comes back after the soak: the fusion is missing.
    ReportPlan cut = PlanOf({});
    cut.samples.resize(150);
    r = Check(cut);
    EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
    EXPECT_EQ(Find(r, "fusePressure").reason,
              QStringLiteral("no rise to fusion pressure found after the heat soak"));
}

TEST(ProcedureCheck, TheShippedProcedureHoldsTheGenericNumbersAndBadFilesAreRefusedByName) {
    const Procedure& p = DefaultProcedure();
    EXPECT_EQ(p.heaterMinF, 400);
    EXPECT_EQ(p.heaterMaxF, 450);
    EXPECT_EQ(p.interfacialMinPsi, 60);
    EXPECT_EQ(p.interfacialMaxPsi, 90);
    EXPECT_EQ(p.tolerancePercent, 10);
    EXPECT_EQ(p.coolingMinutesPerInch, 11);
    EXPECT_EQ(p.MaxRemovalSeconds(0.36), 8);
    EXPECT_EQ(p.MaxRemovalSeconds(0.37), 10);
    EXPECT_EQ(p.MaxRemovalSeconds(1.18), 15);
    EXPECT_EQ(p.MaxRemovalSeconds(2.5), 20);
    EXPECT_EQ(p.MaxRemovalSeconds(4.5), 25);
    EXPECT_LT(p.MaxRemovalSeconds(4.51), 0);

    const QString text = DefaultIniText();
    Procedure read;
    QString error;
    ASSERT_TRUE(LoadProcedure(WriteIni(text), read, error)) << qPrintable(error);
    EXPECT_EQ(read.heaterRemoval.size(), 5u);

    // Changed values are taken; one missing or malformed is named.
    QString changed = text;
    changed.replace(QStringLiteral("MinimumMinutesPerInch=11"),
                    QStringLiteral("MinimumMinutesPerInch=0.5"));
    ASSERT_TRUE(LoadProcedure(WriteIni(changed), read, error));
    EXPECT_EQ(read.coolingMinutesPerInch, 0.5);
    const std::pair<const char*, const char*> broken[] = {
        {"MinimumF=400\n", "missing value HeaterTemperature/MinimumF"},
        {"MaximumPsi=90", "MaximumPsi=ninety"},
        {"3\\MaximumSeconds=15", "3\\MaximumSeconds=15, 16"},
        {"4\\UpToWallInches=2.5", "4\\UpToWallInches=1"},
        {"TolerancePercent=10", "TolerancePercent=-5"},
        {"Name=Generic PE butt fusion (PPI TR-33 / ASTM F2620)", "Name="},
    };
    const char* messages[] = {
        "missing value HeaterTemperature/MinimumF",
        "value InterfacialPressure/MaximumPsi is not a number",
        "value HeaterRemovalTime/3/MaximumSeconds is not a number",
        "value HeaterRemovalTime/4/UpToWallInches must be above the one before it",
        "value GaugePressure/TolerancePercent must lie between 0 and 100",
        "missing value Procedure/Name",
    };
    for (size_t i = 0; i < std::size(broken); ++i) {
        QString bad = text;
        const QString from = QString::fromLatin1(broken[i].first);
        ASSERT_TRUE(bad.contains(from)) << broken[i].first;
        bad.replace(from, i == 0 ? QString() : QString::fromLatin1(broken[i].second));
        EXPECT_FALSE(LoadProcedure(WriteIni(bad), read, error)) << messages[i];
        EXPECT_EQ(error, QString::fromLatin1(messages[i]));
    }
    EXPECT_FALSE(LoadProcedure(TestRootFolder() + QStringLiteral("/none.ini"), read, error));
    EXPECT_EQ(read.coolingMinutesPerInch, 0.5); // a refused file changes nothing
}
