// The report text of downloaded reports: every entry, the numbering and its
// gaps, the machine families, the identification line and the notes.
#include "ReportMaker.h"

#include "framework/Globals.h"
#include "report/ReportDrawing.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"

#include <gtest/gtest.h>

namespace {
QStringList TextOf(const ReportPlan& plan) {
    g_strReportPath = WriteReport(plan, QStringLiteral("t.kjr"));
    CVtkDoc doc;
    EXPECT_TRUE(doc.LoadReport());
    PrepareReport(doc);
    return doc.ReportText();
}
} // namespace

TEST(ReportText, PipeJointHasEveryEntryAndItsNumberingGaps) {
    EXPECT_EQ(TextOf(ButtFusionReport()), (QStringList{" 1. Date && Time",
                                                       ": 2024/03/07  14:30:05",
                                                       " 2. Joint Number",
                                                       ": 7",
                                                       " 3. Job Number",
                                                       ": J-2024-88",
                                                       " 4. Employee ID",
                                                       ": E-117",
                                                       " 5. Machine ID",
                                                       ": FM-0042",
                                                       " 6. Mach. Model",
                                                       ": Rhino 412",
                                                       " 7. Piston Area",
                                                       ": 4.710 in²",
                                                       " 8. Pipe Material",
                                                       ": PE4710",
                                                       " 9. Pipe Size",
                                                       ": 8\" IPS  DR 11",
                                                       "",
                                                       "",
                                                       "Interfacial Pressures (psi):",
                                                       "",
                                                       "12. Bead",
                                                       ": 75",
                                                       "13. Soak",
                                                       ": 0",
                                                       "14. Fuse",
                                                       ": 75",
                                                       "15. Cool",
                                                       ": 75",
                                                       "",
                                                       "",
                                                       "Recommended Gauge Pressures (psi):",
                                                       "",
                                                       "18. Bead",
                                                       ": 338",
                                                       "19. Soak",
                                                       ": 40",
                                                       "20. Fuse",
                                                       ": 338",
                                                       "21. Cool",
                                                       ": 338",
                                                       "",
                                                       "",
                                                       "Recorded Data:",
                                                       "23. Drag Pressure: 40",
                                                       "24. Vantrek Probe: 430",
                                                       "25. External Probe: ---",
                                                       "26. VTQ1 v2.1.4 c2024/01/15  en0.2.5",
                                                       "27. Notes:",
                                                       "          Crew 3. Cold wind, tent ",
                                                       "          up."}));
}

TEST(ReportText, MachineFamiliesChangeLinesAndNumbers) {
    // Sidewall, on a machine whose pipe area is typed: fitting lines, the
    // pipe area, the forces heading, no Cool lines, bar.
    QStringList text = TextOf(SidewallReport());
    EXPECT_EQ(text.mid(16, 10), (QStringList{" 9. Fitting Type", ": Branch Saddle", "10. Pipe Size",
                                             ": 8\" IPS x 2\" IPS", "11. Pipe Area", ": 12.5 in²",
                                             "", "", "Rec. Forces from Fitting Label:", ""}));
    EXPECT_EQ(text.mid(26, 6),
              (QStringList{"14. Bead", ": 75", "15. Soak", ": 0", "16. Fuse", ": 75"}));
    EXPECT_EQ(text[34], QStringLiteral("Recommended Gauge Pressures (bar):"));
    EXPECT_EQ(text[40], QStringLiteral("21. Fuse"));
    EXPECT_EQ(text.mid(44, 5),
              (QStringList{"Recorded Data:", "23. Drag Pressure: 40", "24. Vantrek Probe: 430",
                           "25. External Probe: ---", "26. KVTQ000123456789     en0.2.5"}));

    // "Tarvex" exactly: no Piston Area, fitting lines, "Pressures (", Bead
    // and Fuse from the first two pressures, no drag line.
    ReportPlan tarvex = ButtFusionReport();
    tarvex.Set(RF_MODEL_TEXT, QStringLiteral("Tarvex"));
    tarvex.Set(RF_PRESSURE_2, QStringLiteral("60"));
    tarvex.Set(RF_NOTES, QString());
    text = TextOf(tarvex);
    EXPECT_EQ(text.mid(12, 16),
              (QStringList{" 7. Pipe Material", ": PE4710", " 8. Fitting Type", ": 8",
                           " 9. Pipe Size", ": 11", "", "", "Pressures (psi):", "", "12. Bead",
                           ": 75", "13. Fuse", ": 60", "", ""}));
    EXPECT_EQ(text.mid(28),
              (QStringList{"Recorded Data:", "15. Vantrek Probe: 430", "16. External Probe: ---",
                           "17. VTQ1 v2.1.4 c2024/01/15  en0.2.5", "18. Notes:", "          ---"}));
    // "Tarvex" inside another name is not the family; "Tarvex Mech." is.
    tarvex.Set(RF_MODEL_TEXT, QStringLiteral("Tarvex 2"));
    EXPECT_EQ(TextOf(tarvex)[12], QStringLiteral(" 7. Piston Area"));
    EXPECT_TRUE(IsReportTarvex(QStringLiteral("Tarvex Mech. 28")));
    EXPECT_FALSE(IsReportSidewall(QStringLiteral("A SW B SW")));
}

TEST(ReportText, NotesWrapAndVersionTexts) {
    EXPECT_EQ(WrapNotes(QStringLiteral("alpha\r\nbeta")), (QStringList{"alpha", "beta"}));
    const QString a30(30, QLatin1Char('a'));
    EXPECT_EQ(WrapNotes(a30 + QStringLiteral("\nmore")),
              (QStringList{QString(26, 'a'), QString(4, 'a'), "more"}));
    EXPECT_EQ(WrapNotes(a30), (QStringList{QString(25, 'a'), QString(5, 'a')}));
    EXPECT_EQ(WrapNotes(QStringLiteral("one two three four five six seven eight")),
              (QStringList{"one two three four five ", "six seven eight"}));
    // A blank past position 26 does not count: cut after 26 characters.
    EXPECT_EQ(WrapNotes(QString(27, 'b') + QStringLiteral(" c")),
              (QStringList{QString(26, 'b'), QStringLiteral("b c")}));
    EXPECT_EQ(WrapNotes(QStringLiteral("\r")), QStringList());

    VersionTexts v = SplitVersionId(QStringLiteral("VTQPv0.2.5 ------"));
    EXPECT_EQ(v.version, QStringLiteral("en0.2.5"));
    EXPECT_EQ(v.ident, QStringLiteral("---- v-.-. c// "));
    v = SplitVersionId(QStringLiteral("VQjpv1.0.0 VTQ93"));
    EXPECT_EQ(v.version, QStringLiteral("jp1.0.0"));
    EXPECT_EQ(v.ident, QStringLiteral("VTQ9 v3.. c// "));
    v = SplitVersionId(QStringLiteral("---"));
    EXPECT_TRUE(v.version.isEmpty() && v.ident.isEmpty());

    // Rows: pairs until "Recorded Data:", one entry a row after it.
    const std::vector<ReportRow> rows = ReportRows({"a", "b", "Recorded Data:", "c", "d", "e"});
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_TRUE(rows[0].pair);
    EXPECT_EQ(rows[1].first, QStringLiteral("Recorded Data:"));
    EXPECT_FALSE(rows[1].pair);
    EXPECT_EQ(rows[4].first, QStringLiteral("e"));
    EXPECT_EQ(WithoutMnemonics(QStringLiteral(" 1. Date && Time &x")),
              QStringLiteral(" 1. Date & Time x"));
}
