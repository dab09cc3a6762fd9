// The procedure check on reports made from known traces (FusionTrace.h, with
// the measured values worked out by hand) and on joints as a field logs them
// (TraceCorpus.h), each with the verdict a fusion technician gives.
#include "FusionTrace.h"
#include "TraceCorpus.h"

#include "check/MachineRegistry.h"
#include "check/ProcedureCheck.h"
#include "check/ProcedureRules.h"
#include "framework/Globals.h"
#include "report/VtkDoc.h"
#include "support/TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
CheckResult Check(const ReportPlan& plan, const Procedure& procedure = DefaultProcedure(),
                  const QString& name = QStringLiteral("check.kjr"),
                  const MachineRegistry* machines = nullptr) {
    g_strReportPath = WriteReport(plan, name);
    CVtkDoc doc;
    EXPECT_TRUE(doc.LoadReport());
    return CheckReport(doc, g_strReportPath, procedure, machines);
}

const Criterion& Find(const CheckResult& r, const char* id) {
    for (const Criterion& c : r.criteria)
        if (c.id == QLatin1String(id))
            return c;
    static const Criterion none;
    ADD_FAILURE() << "no criterion " << id;
    return none;
}

std::string Lines(const CheckResult& r) {
    return CheckResultLines(r).join(QLatin1Char('\n')).toStdString();
}

// Every criterion but `failing` passes, and that one fails with `measured`.
void ExpectOnlyFails(const CheckResult& r, const char* failing, double measured) {
    SCOPED_TRACE(failing);
    EXPECT_EQ(r.verdict, ReportVerdict::Fail);
    for (const Criterion& c : r.criteria)
        EXPECT_EQ(c.verdict, c.id == QLatin1String(failing) ? Verdict::Fail : Verdict::Pass)
            << Lines(r);
    ASSERT_TRUE(Find(r, failing).measured);
    EXPECT_NEAR(*Find(r, failing).measured, measured, 0.05);
}

QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = TestRootFolder() + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

QByteArray ReadResource(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}
} // namespace

TEST(ProcedureCheck, AJointByTheProcedurePassesWithEveryValueWhereItWasMeasured) {
    const CheckResult r = Check(FusionTracePlan({}));
    EXPECT_EQ(r.procedure, QStringLiteral("Generic PE butt fusion (PPI TR-33 / ASTM F2620)"));
    EXPECT_EQ(r.procedureSha256.size(), 64);
    EXPECT_EQ(r.checkVersion, 2);
    EXPECT_EQ(r.verdict, ReportVerdict::Pass) << Lines(r);
    const auto expect = [&](const char* id, double measured, std::optional<double> at) {
        const Criterion& c = Find(r, id);
        ASSERT_TRUE(c.measured) << id;
        EXPECT_NEAR(*c.measured, measured, 0.005) << id;
        if (at) {
            EXPECT_NEAR(c.atSeconds.value_or(-1), *at, 0.005) << id;
        }
    };
    expect("heaterTemperature", 430, std::nullopt);
    expect("interfacialPressure", 75, std::nullopt);
    expect("beadPressure", 340, 5.0); // t = 5 .. 34, all 340
    // The soak's level (40 and 41 psi); the single 43 is no decision. It
    // begins where the pressure falls through halfway from the bead-up's 340
    // to the soak's 40: 340 at 34 to 100 at 35, 34 + 150 / 240.
    expect("soakPressure", 40, 34.625);
    // Opening: 40 psi at 155 to 0 at 156, through 40 less 4: 155.1. Contact:
    // 0 at 160 to 200 at 161, through 44 (the soak's band): 160.22.
    expect("heaterRemovalTime", 5.12, 155.1);
    // Fusion reached: 200 at 161 to 320 at 162 through 338 less 33.8.
    expect("fusePressure", 338, 161.868);
    // Released: 338 at 762 to 0 at 763, through 30 + (338 - 30) / 2 = 184.
    expect("coolingTime", 762.456 - 161.868, 161.868);
    expect("coolingPressure", 338, std::nullopt);
    // (338 - 30) psi x 4.71 in² / 19.3145 in² of wall; bead (340 psi) is the
    // farthest from the middle of 60 to 90.
    expect("appliedInterfacialPressure", (340 - 30) * 4.71 / 19.314511, std::nullopt);
    EXPECT_NEAR(*Find(r, "heaterRemovalTime").allowedMax, 15, 1e-9);
    EXPECT_NEAR(*Find(r, "coolingTime").allowedMin, 11 * 8.625 / 11 * 60, 1e-9);
    EXPECT_NEAR(*Find(r, "soakPressure").allowedMax, 44, 1e-9);

    // The same joint entered in bar and °C: 5.2 bar is 75.4 psi, 23.3 bar
    // 337.85 psi, 2.1 bar of drag 30.45, 221 °C 429.8 °F.
    ReportPlan bar = FusionTracePlan({});
    bar.Set(RF_PRESS_UNIT, 1);
    for (ReportField f : {RF_PRESSURE_1, RF_PRESSURE_3, RF_PRESSURE_4})
        bar.Set(f, QStringLiteral("5.2"));
    for (ReportField f : {RF_REC_HEAT, RF_REC_FUSE, RF_REC_COOL})
        bar.Set(f, QStringLiteral("23.3"));
    bar.Set(RF_REC_SOAK, QStringLiteral("2.8"));
    bar.Set(RF_DRAG_PRESSURE, QStringLiteral("2.1"));
    bar.Set(RF_TEMP_UNIT, 1);
    bar.Set(RF_HTR_TEMP, QStringLiteral("221"));
    const CheckResult b = Check(bar);
    EXPECT_EQ(b.verdict, ReportVerdict::Pass) << Lines(b);
    EXPECT_NEAR(*Find(b, "interfacialPressure").measured, 75.4, 1e-9);
    EXPECT_NEAR(*Find(b, "heaterTemperature").measured, 429.8, 1e-9);
}

TEST(ProcedureCheck, EachCriterionFailsAloneWithItsMeasuredValue) {
    ReportPlan hot = FusionTracePlan({});
    hot.Set(RF_HTR_TEMP, QStringLiteral("460"));
    ExpectOnlyFails(Check(hot), "heaterTemperature", 460);
    // The Vantrek probe wins over the external one; without it the external.
    hot.Set(RF_HTR_TEMP, QString());
    hot.Set(RF_EXT_HTR_TEMP, QStringLiteral("395"));
    ExpectOnlyFails(Check(hot), "heaterTemperature", 395);

    ReportPlan ifp = FusionTracePlan({});
    ifp.Set(RF_PRESSURE_1, QStringLiteral("95"));
    ifp.Set(RF_REC_HEAT, QStringLiteral("416")); // as the wizard computes it
    ifp.Set(RF_PRESSURE_3, QStringLiteral("95"));
    ifp.Set(RF_REC_FUSE, QStringLiteral("416"));
    const CheckResult entered = Check(ifp);
    EXPECT_EQ(Find(entered, "interfacialPressure").verdict, Verdict::Fail);
    EXPECT_EQ(*Find(entered, "interfacialPressure").measured, 95);

    ExpectOnlyFails(Check(FusionTracePlan({.bead = 380})), "beadPressure", 380);
    ExpectOnlyFails(Check(FusionTracePlan({.dip = 15})), "heaterRemovalTime", 15.12);
    ExpectOnlyFails(Check(FusionTracePlan({.heldFor = 500})), "coolingTime", 500.59);
    // Fusion at 380 psi is also an interfacial pressure of 85.4 psi: still
    // within 60 to 90.
    ExpectOnlyFails(Check(FusionTracePlan({.fuse = 380})), "fusePressure", 380);
}

// The field's joints: habits and noise give no false fail, faults are found,
// and what the trace cannot show is never a pass.
TEST(ProcedureCheck, FieldJointsGetTheVerdictATechnicianGives) {
    using V = Verdict;
    struct Case {
        const char* name;
        FieldJoint joint;
        ReportVerdict verdict;
        std::vector<std::pair<const char*, V>> criteria;
    };
    const FieldJointTimes t = FieldJointTimesOf({});
    const std::vector<Case> cases = {
        {"hydraulic machine, gauge noise, thermal bump", {}, ReportVerdict::Pass, {}},
        {"noisier gauge", {.seed = 2, .noisePsi = 2.5}, ReportVerdict::Pass, {}},
        {"manual machine: slow pumping, sags to 85 % pumped back, slippage check, facing",
         {.seed = 3, .manual = true, .sags = 4, .facing = true, .slippageCheck = true},
         ReportVerdict::Pass,
         {{"coolingTime", V::Pass}}},
        {"manual machine: one sag to 85 % for 2 s, pumped back",
         {.seed = 40, .manual = true, .sags = 1},
         ReportVerdict::Pass,
         {{"coolingTime", V::Pass}}},
        {"five samples a second", {.seed = 4, .sampleSeconds = 0.2}, ReportVerdict::Pass, {}},
        {"spikes, a 3-s dropout, a clock that wraps",
         {.seed = 5,
          .clockStart = 64000,
          .noReading = {{t.fusionReached + 100, t.fusionReached + 103}},
          .spikes = {{t.soakStart + 90, 150}, {t.fusionReached + 200, 0}, {t.beadStart + 20, 700}}},
         ReportVerdict::Pass,
         {}},
        {"automatic machine: 2-s heater removal",
         {.seed = 6, .removalSeconds = 2.8},
         ReportVerdict::Pass,
         {}},
        {"a long bead-up after a slippage check",
         {.seed = 7, .slippageCheck = true, .beadSeconds = 90},
         ReportVerdict::Pass,
         {}},
        // Faults.
        {"pressure trapped in the soak",
         {.seed = 8, .soak = 95},
         ReportVerdict::Fail,
         {{"soakPressure", V::Fail}}},
        {"heater removal of 30 s",
         {.seed = 9, .removalSeconds = 30},
         ReportVerdict::Fail,
         {{"heaterRemovalTime", V::Fail}}},
        {"released after 300 s",
         {.seed = 10, .fuseSeconds = 300},
         ReportVerdict::Fail,
         {{"coolingTime", V::Fail}}},
        {"released for 15 s during cooling and applied again",
         {.seed = 11, .releaseAt = 200},
         ReportVerdict::Fail,
         {{"coolingTime", V::Fail}}},
        {"a leak: the pressure decays through cooling",
         {.seed = 12, .leakTo = 200},
         ReportVerdict::Fail,
         {{"coolingPressure", V::Fail}}},
        {"fused and cooled at too low a pressure",
         {.seed = 13, .fuse = 250, .cool = 250},
         ReportVerdict::Fail,
         {{"fusePressure", V::Fail}, {"appliedInterfacialPressure", V::Fail}}},
        // What the trace cannot show.
        {"soak at zero, heater out 30 s",
         {.seed = 14, .soak = 0, .removalSeconds = 30},
         ReportVerdict::Incomplete,
         {{"heaterRemovalTime", V::Unknown}}},
        {"no readings for 40 s while cooling",
         {.seed = 15, .noReading = {{t.fusionReached + 300, t.fusionReached + 340}}},
         ReportVerdict::Incomplete,
         {{"coolingTime", V::Unknown}}},
        {"the log ends under pressure after 300 s",
         {.seed = 16, .fuseSeconds = 300, .idleAfter = 0},
         ReportVerdict::Incomplete,
         {{"coolingTime", V::Unknown}}},
        {"the clock runs back during the heater removal",
         {.seed = 17, .clockBack = {{t.opening + 3, 60}}},
         ReportVerdict::Incomplete,
         {{"heaterRemovalTime", V::Unknown}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckResult r = Check(FieldJointPlan(c.joint));
        std::cout << c.name << "\n" << Lines(r) << "\n\n";
        EXPECT_EQ(VerdictText(r.verdict), VerdictText(c.verdict)) << Lines(r);
        for (const auto& [id, verdict] : c.criteria)
            EXPECT_EQ(VerdictText(Find(r, id).verdict), VerdictText(verdict)) << id;
    }

    // The restarted joint: the first attempt's bead-up, soak and open, then
    // everything again; the log is the two joints one after the other.
    ReportPlan first = FieldJointPlan({.seed = 18, .fuseSeconds = 0, .idleAfter = 0});
    first.samples.resize(size_t(FieldJointTimesOf({}).contact));
    ReportPlan again = FieldJointPlan({.seed = 19});
    const int shift = first.samples.back().first + 5;
    for (const auto& [time, psi] : again.samples)
        first.samples.emplace_back(time + shift, psi);
    const CheckResult restarted = Check(first);
    EXPECT_EQ(restarted.verdict, ReportVerdict::Pass) << Lines(restarted);

    // A small pipe on a large machine: 2" IPS DR 11 (1.465 in² of wall) on
    // 29.44 in² gives 3.5 psi of gauge for 75 psi of interface.
    ReportPlan small = FieldJointPlan({.seed = 20, .bead = 34, .soak = 0, .fuse = 34, .cool = 34});
    small.Set(RF_MODEL_TEXT, QStringLiteral("#Q130 HF"));
    small.Set(RF_PISTON_AREA, QStringLiteral("29.440"));
    small.Set(RF_PIPE_SIZE, QStringLiteral("2"));
    for (ReportField f : {RF_REC_HEAT, RF_REC_FUSE, RF_REC_COOL})
        small.Set(f, QStringLiteral("34"));
    const CheckResult s = Check(small);
    EXPECT_NE(s.verdict, ReportVerdict::Pass) << Lines(s);
    EXPECT_NE(s.verdict, ReportVerdict::Fail) << Lines(s);
    EXPECT_TRUE(Find(s, "appliedInterfacialPressure")
                    .reason.startsWith(QStringLiteral("machine too large for this pipe to verify")))
        << Lines(s);

    // A joint longer than the view draws: 2.5" of wall (8" IPS DR 3.45), 5
    // samples a second, 12 minutes of soak and 28 of cooling (27.5 needed):
    // the 10,000th sample comes 21 minutes into the cooling.
    ReportPlan thick =
        FieldJointPlan({.seed = 21, .sampleSeconds = 0.2, .soakSeconds = 700, .fuseSeconds = 1700});
    thick.Set(RF_WALL_THICKNESS, QStringLiteral("3.45"));
    ASSERT_GT(thick.samples.size(), 12000u);
    const CheckResult longLog = Check(thick);
    EXPECT_EQ(Find(longLog, "coolingTime").verdict, Verdict::Pass) << Lines(longLog);
}

TEST(ProcedureCheck, WhatTheReportCannotTellIsUnknownNeverPass) {
    // A single no-reading sample is bridged; one in the middle of the fusion
    // window as well.
    EXPECT_EQ(Check(FusionTracePlan({.noReadingAt = 80})).verdict, ReportVerdict::Pass);
    EXPECT_EQ(Check(FusionTracePlan({.noReadingAt = 170})).verdict, ReportVerdict::Pass);

    // 8.5" is no IPS size: no wall thickness, so no time limits and no area.
    ReportPlan odd = FusionTracePlan({});
    odd.Set(RF_PIPE_SIZE, QStringLiteral("8.5"));
    CheckResult r = Check(odd);
    EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
    for (const char* id : {"heaterRemovalTime", "coolingTime"}) {
        EXPECT_EQ(Find(r, id).verdict, Verdict::Unknown) << id;
        EXPECT_EQ(Find(r, id).reason,
                  QStringLiteral("the pipe size and wall thickness give no wall thickness"));
    }
    // A failure still fails the report when something else is unknown.
    odd.Set(RF_HTR_TEMP, QStringLiteral("380"));
    EXPECT_EQ(Check(odd).verdict, ReportVerdict::Fail);

    // Sidewall, Tarvex and demonstration logs are not judged.
    ReportPlan tarvex = FusionTracePlan({});
    tarvex.Set(RF_MODEL_TEXT, QStringLiteral("Tarvex"));
    ReportPlan demo = FusionTracePlan({});
    demo.Set(RF_DEMO_MODE, 1);
    for (const ReportPlan& plan : {SidewallReport(), tarvex, demo}) {
        r = Check(plan);
        EXPECT_EQ(r.verdict, ReportVerdict::Unknown);
        EXPECT_FALSE(r.reason.isEmpty());
        ASSERT_EQ(r.criteria.size(), 9u);
        for (const Criterion& c : r.criteria)
            EXPECT_EQ(c.verdict, Verdict::Unknown);
    }

    // A download that was cut off, by its name: never a pass, and a fault the
    // filled parts may have made is no fault.
    for (const char* name : {"J (incomplete).kjr", "J (recovered) (2).kjr"}) {
        r = Check(FusionTracePlan({}), DefaultProcedure(), QString::fromLatin1(name));
        EXPECT_EQ(r.verdict, ReportVerdict::Incomplete) << name;
        r = Check(FusionTracePlan({.heldFor = 100}), DefaultProcedure(), QString::fromLatin1(name));
        EXPECT_EQ(r.verdict, ReportVerdict::Incomplete) << name;
        EXPECT_EQ(Find(r, "coolingTime").verdict, Verdict::Unknown);
    }
    ReportPlan cutHot = FusionTracePlan({});
    cutHot.Set(RF_HTR_TEMP, QStringLiteral("470"));
    EXPECT_EQ(Check(cutHot, DefaultProcedure(), QStringLiteral("J (incomplete).kjr")).verdict,
              ReportVerdict::Fail);

    // A log that ends after the soak: the fusion is missing.
    ReportPlan cut = FusionTracePlan({});
    cut.samples.resize(150);
    r = Check(cut);
    EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
    EXPECT_EQ(Find(r, "fusePressure").reason,
              QStringLiteral("no rise to fusion pressure found after the heat soak"));
    EXPECT_EQ(Find(r, "beadPressure").verdict, Verdict::Pass);
    // No readings at all, and a pressure that never rises.
    for (int psi : {4001, 2}) {
        ReportPlan flat = FusionTracePlan({});
        for (auto& sample : flat.samples)
            sample.second = psi;
        r = Check(flat);
        EXPECT_EQ(r.verdict, ReportVerdict::Incomplete);
        EXPECT_EQ(Find(r, "coolingTime").verdict, Verdict::Unknown);
    }
}

// The interfacial pressure the gauge applied: (gauge - drag) x piston area /
// pipe wall area, with the gauge's uncertainty carried through.
TEST(ProcedureCheck, AppliedInterfacialPressureFromTheReportsInputsAndTheMachineList) {
    // Recommended pressures that do not follow from the report's own inputs
    // (450 psi where 75 psi on this pipe and machine gives 338): followed,
    // they apply 102.4 psi.
    ReportPlan wrong = FusionTracePlan({.bead = 450, .fuse = 450});
    for (ReportField f : {RF_REC_HEAT, RF_REC_FUSE, RF_REC_COOL})
        wrong.Set(f, QStringLiteral("450"));
    for (auto& [time, psi] : wrong.samples)
        psi = psi == 338 ? 450 : psi;
    CheckResult r = Check(wrong);
    const Criterion& applied = Find(r, "appliedInterfacialPressure");
    EXPECT_EQ(applied.verdict, Verdict::Fail) << Lines(r);
    EXPECT_NEAR(*applied.measured, (450 - 30) * 4.71 / 19.314511, 0.01);
    EXPECT_TRUE(applied.reason.contains(
        QStringLiteral("Rec Heat 450 psi does not follow from the report's own inputs, which give "
                       "337.6 psi")))
        << Lines(r);
    EXPECT_EQ(Find(r, "fusePressure").verdict, Verdict::Pass); // the gauge followed them

    // The office's machine list: the report's machine is a 29.44 in² one.
    MachineRegistry machines;
    QString error;
    ASSERT_TRUE(ReadMachineRegistry(QStringLiteral("# id; model; area; calibrated\n"
                                                   "fm-0042 ; #Q130 HF; 29.44 in²; 2023-01-10\n"
                                                   "FM-7; #Q5 HF; 30.387 cm²\n"),
                                    machines, error))
        << qPrintable(error);
    ASSERT_EQ(machines.machines.size(), 2u);
    EXPECT_NEAR(machines.machines[1].pistonAreaSqIn, 4.71, 0.001);
    const ReportPlan good = FusionTracePlan({});
    r = Check(good, DefaultProcedure(), QStringLiteral("m.kjr"), &machines);
    EXPECT_EQ(Find(r, "appliedInterfacialPressure").verdict, Verdict::Fail);
    EXPECT_TRUE(Find(r, "appliedInterfacialPressure")
                    .reason.contains(QStringLiteral("the office's list has machine FM-0042 as "
                                                    "#Q130 HF with 29.440 in² of piston")))
        << Lines(r);
    // Listed as it is: pass, and a calibration older than the procedure
    // allows is listed.
    machines.machines[0].model = QStringLiteral("Rhino 412");
    machines.machines[0].pistonAreaSqIn = 4.71;
    Procedure yearly = DefaultProcedure();
    yearly.calibrationMaxDays = 365;
    r = Check(good, yearly, QStringLiteral("m.kjr"), &machines);
    EXPECT_EQ(Find(r, "appliedInterfacialPressure").verdict, Verdict::Pass) << Lines(r);
    EXPECT_TRUE(Find(r, "appliedInterfacialPressure")
                    .reason.contains(QStringLiteral("last calibrated on 2023-01-10, 422 days "
                                                    "before the joint")))
        << Lines(r);
    for (const char* bad : {"FM-1; Q; 0\n", "FM-1; Q; 4.71; 10/01/2023\n", "FM-1; Q\n",
                            "FM-1; Q; 4.71\nfm-1; Q; 4.71\n"})
        EXPECT_FALSE(ReadMachineRegistry(QString::fromUtf8(bad), machines, error)) << bad;
    EXPECT_EQ(error, QStringLiteral("line 2: Machine ID fm-1 is listed twice"));
}

TEST(Procedure, EveryShapeIsReadAndJudged) {
    // The template: tables in millimetres, linear and in steps, factors per
    // millimetre, pressures in MPa, a second cooling stage, a soak time, a
    // build-up time and the calibration's age.
    Procedure p;
    QString error;
    ASSERT_TRUE(LoadProcedure(ProcedureTemplatePath(), p, error)) << qPrintable(error);
    EXPECT_DOUBLE_EQ(p.interfacial.minPsi, 0.14 * 145.0);
    EXPECT_DOUBLE_EQ(p.interfacial.maxPsi, 0.16 * 145.0);
    EXPECT_DOUBLE_EQ(p.heaterMinF, 410);
    EXPECT_TRUE(p.secondStage);
    EXPECT_DOUBLE_EQ(p.secondStageInterfacial.maxPsi, 0.03 * 145.0);
    EXPECT_EQ(p.firstStageSeconds, 8);
    EXPECT_EQ(p.calibrationMaxDays, 365);
    // Heater removal by wall in mm, in steps: up to 4.5 mm 5 s, up to 7 mm 6 s.
    EXPECT_EQ(p.heaterRemovalSeconds.At(7 / 25.4), 6);
    EXPECT_EQ(p.heaterRemovalSeconds.At(7.01 / 25.4), 8);
    EXPECT_FALSE(p.heaterRemovalSeconds.At(71 / 25.4));
    // Build-up linear between 4.5 mm (5 s) and 7 mm (6 s): 5.75 mm gives 5.5 s.
    EXPECT_NEAR(*p.buildUpSeconds.At(5.75 / 25.4), 5.5, 1e-9);
    // Soak 10 s per mm of wall; cooling a table in minutes, linear.
    EXPECT_NEAR(*p.soakSeconds.At(1), 254, 1e-9);
    EXPECT_NEAR(*p.coolingSeconds.At(20 / 25.4), (24 + 8.0 / 7) * 60, 1e-9);

    // 0.15 MPa is 1.5 bar is 21.75 psi: a joint entered as 1.5 bar lies in
    // 0.14 to 0.16 MPa, one entered as "0.15" bar (2.175 psi) does not.
    ReportPlan bar = FusionTracePlan({});
    bar.Set(RF_PRESS_UNIT, 1);
    bar.Set(RF_PRESSURE_1, QStringLiteral("1.5"));
    bar.Set(RF_PRESSURE_3, QStringLiteral("1.5"));
    bar.Set(RF_PRESSURE_4, QStringLiteral("0.25")); // the second stage: 0.025 MPa
    EXPECT_EQ(Find(Check(bar, p), "interfacialPressure").verdict, Verdict::Pass);
    bar.Set(RF_PRESSURE_1, QStringLiteral("0.15"));
    const Criterion trap = Find(Check(bar, p), "interfacialPressure");
    EXPECT_EQ(trap.verdict, Verdict::Fail);
    EXPECT_DOUBLE_EQ(*trap.measured, 0.15 * 14.5);

    // The shipped procedure and its older form (an array of steps in inches,
    // minutes per inch) say the same.
    const Procedure& generic = DefaultProcedure();
    QByteArray old = ReadResource(DefaultProcedurePath());
    old.replace("[HeaterRemovalTime]", "[Unused]");
    old.replace("[CoolingTime]", "[UnusedToo]");
    old += "[HeaterRemovalTime]\nsize=2\n1\\UpToWallInches=0.36\n1\\MaximumSeconds=8\n"
           "2\\UpToWallInches=1.18\n2\\MaximumSeconds=15\n[CoolingTime]\n"
           "MinimumMinutesPerInch=11\n";
    Procedure legacy;
    ASSERT_TRUE(LoadProcedure(WriteFile(QStringLiteral("old.ini"), old), legacy, error))
        << qPrintable(error);
    EXPECT_EQ(legacy.heaterRemovalSeconds.At(0.36), generic.heaterRemovalSeconds.At(0.36));
    EXPECT_EQ(legacy.heaterRemovalSeconds.At(1), generic.heaterRemovalSeconds.At(1));
    EXPECT_NEAR(*legacy.coolingSeconds.At(0.784), *generic.coolingSeconds.At(0.784), 1e-9);
    EXPECT_NE(legacy.sha256, generic.sha256);
    EXPECT_EQ(generic.noiseFloorPsi, 4);

    // A dual-pressure joint judged by the template: 250 mm SDR 11 (22.7 mm of
    // wall, 25.15 in²) in MPa on a 1.67 in² machine, drag 0.138 MPa: 0.15 MPa
    // gives 2.397 MPa (347.6 psi) of gauge, the second stage's 0.025 MPa
    // 0.515 MPa (74.6 psi). 10 s of fusion, then 30 minutes (28.3 needed).
    const FieldJoint dualJoint{.seed = 30,
                               .bead = 348,
                               .soak = 20,
                               .fuse = 348,
                               .cool = 348,
                               .beadSeconds = 60,
                               .soakSeconds = 240,
                               .removalSeconds = 6,
                               .buildUpSeconds = 4,
                               .fuseSeconds = 10,
                               .thermalBump = false,
                               .second = 75,
                               .secondSeconds = 1800,
                               .drag = 20};
    ReportPlan dual = FieldJointPlan(dualJoint);
    dual.Set(RF_PRESS_UNIT, 3);
    dual.Set(RF_PIPE_SIZE, QStringLiteral("250"));
    dual.Set(RF_PIPE_SIZE_UNIT, 3);
    dual.Set(RF_WALL_THICKNESS, QStringLiteral("11"));
    dual.Set(RF_WALL_UNIT, 0);
    dual.Set(RF_MODEL_TEXT, QStringLiteral("#Q5 LF"));
    dual.Set(RF_PISTON_AREA, QStringLiteral("1.670"));
    const char* ifp[] = {"0.15", "0", "0.15", "0.025"};
    const char* rec[] = {"2.397", "0.138", "2.397", "0.515"};
    for (int i = 0; i < 4; ++i) {
        dual.Set(ReportField(RF_PRESSURE_1 + i), QString::fromLatin1(ifp[i]));
        dual.Set(ReportField(RF_REC_HEAT + i), QString::fromLatin1(rec[i]));
    }
    dual.Set(RF_DRAG_PRESSURE, QStringLiteral("0.138"));
    dual.Set(RF_TEMP_UNIT, 1);
    dual.Set(RF_HTR_TEMP, QStringLiteral("220"));
    CheckResult r = Check(dual, p);
    EXPECT_EQ(r.verdict, ReportVerdict::Pass) << Lines(r);
    EXPECT_EQ(r.criteria.size(), 12u);
    // 10 s at fusion pressure, then 2 s down to the second stage, through
    // halfway between 348 psi and the drag.
    EXPECT_NEAR(*Find(r, "firstStageTime").measured, 11.2, 0.6);
    // Released after the first stage: no second stage, fail.
    FieldJoint changed = dualJoint;
    changed.second = -1;
    ReportPlan single = dual;
    single.samples = FieldJointPlan(changed).samples;
    r = Check(single, p);
    EXPECT_EQ(Find(r, "coolingTime").verdict, Verdict::Fail) << Lines(r);
    // A soak cut short fails its time; a slow build-up its own.
    changed = dualJoint;
    changed.soakSeconds = 120;
    changed.buildUpSeconds = 25;
    ReportPlan hurried = dual;
    hurried.samples = FieldJointPlan(changed).samples;
    r = Check(hurried, p);
    EXPECT_EQ(Find(r, "heatSoakTime").verdict, Verdict::Fail) << Lines(r);
    EXPECT_EQ(Find(r, "pressureBuildUpTime").verdict, Verdict::Fail) << Lines(r);

    // Broken files are refused by name; a refused file changes nothing.
    const QByteArray text = ReadResource(ProcedureTemplatePath());
    const std::pair<const char*, const char*> broken[] = {
        {"MinimumMPa=0.14", "MinimumMPa=0.14\nMinimumPsi=20"},
        {"Between=step", "Between=stairs"},
        {"Rows=4.5:5", "Rows=4.5:5 4.5:6"},
        {"Rows=4.5:5", "Rows=4.5;5"},
        {"FactorUnit=s/mm", "FactorUnit=s/furlong"},
        {"MaximumAgeDays=365", "MaximumAgeDays=0"},
    };
    const char* messages[] = {
        "InterfacialPressure gives its pressures both in psi and in MPa",
        "value HeaterRemovalTime/Between must be one of step, linear",
        "value HeaterRemovalTime/Rows: row 2 must have a thicker wall than the row before it",
        "value HeaterRemovalTime/Rows: row 1 (\"4.5\") is not wall:value with a wall above 0 "
        "and a value of 0 or more",
        "value HeatSoakTime/FactorUnit must be one of s/in, min/in, s/mm, min/mm",
        "value Calibration/MaximumAgeDays must lie between 1 and 36500",
    };
    for (size_t i = 0; i < std::size(broken); ++i) {
        QByteArray bad = text;
        ASSERT_TRUE(bad.contains(broken[i].first)) << broken[i].first;
        bad.replace(broken[i].first, broken[i].second);
        Procedure read = p;
        EXPECT_FALSE(LoadProcedure(WriteFile(QStringLiteral("bad.ini"), bad), read, error))
            << messages[i];
        EXPECT_EQ(error, QString::fromLatin1(messages[i]));
        EXPECT_EQ(read.sha256, p.sha256);
    }
    EXPECT_FALSE(LoadProcedure(TestRootFolder() + QStringLiteral("/none.ini"), p, error));
}

// The office's rules choose a procedure per job: the first rule whose text
// the job contains, in any case; the shipped procedure for every other job.
TEST(Procedure, TheFirstRuleThatMatchesTheJobChoosesTheProcedure) {
    std::vector<ProcedureRule> rules;
    QString error;
    ASSERT_TRUE(ReadProcedureRules(QStringLiteral("# gas mains by the DVS figures\n"
                                                  "  GAS- => /p/dvs.ini\n\n"
                                                  "gas-north => /p/north.ini\n"
                                                  "Creek X => /p/a=b.ini\n"),
                                   rules, error))
        << qPrintable(error);
    ASSERT_EQ(rules.size(), 3u);
    const QString shipped = DefaultProcedurePath();
    EXPECT_EQ(ProcedureForJob(rules, QStringLiteral("Gas-North 12"), shipped),
              QStringLiteral("/p/dvs.ini"));
    EXPECT_EQ(ProcedureForJob(rules, QStringLiteral("creek x-ing"), shipped),
              QStringLiteral("/p/a=b.ini"));
    EXPECT_EQ(ProcedureForJob(rules, QStringLiteral("J-2024-88"), shipped), shipped);
    EXPECT_EQ(ProcedureForJob({}, QStringLiteral("GAS-1"), shipped), shipped);
    for (const char* bad : {"GAS-\n", "=> /p/x.ini\n", "GAS- =>\n"}) {
        EXPECT_FALSE(ReadProcedureRules(QString::fromLatin1(bad), rules, error)) << bad;
        EXPECT_EQ(error, QStringLiteral("line 1: not \"TEXT => FILE\""));
    }
    EXPECT_EQ(rules.size(), 3u); // a refused text changes nothing
}
