// The report reader on files written by the download code: every field, the
// notes' place, the header, the samples, and files whose counts lie.
#include "ReportMaker.h"

#include "framework/Globals.h"
#include "platform/MessageBox.h"
#include "report/ReportDrawing.h"
#include "report/VtkDoc.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray Word(int w) {
    return QByteArray(1, char(w & 0xff)) + char((w >> 8) & 0xff);
}
} // namespace

TEST(ReportReader, ReadsEveryFieldOfADownloadedReport) {
    ReportPlan plan = SidewallReport();
    plan.Set(RF_DEMO_MODE, 1);
    plan.Set(RF_GPS, QString()); // empty texts read as "---"
    plan.timeSpan = 950;
    g_strReportPath = WriteReport(plan, QStringLiteral("a.kjr"));
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport());
    for (int f = 0; f < RF_COUNT; ++f) {
        const ReportValue& got = doc.Field(ReportField(f));
        if (kReportFields[f].text)
            EXPECT_EQ(got.text, plan.fields[f].text.isEmpty() ? "---" : plan.fields[f].text)
                << kReportFields[f].name;
        else
            EXPECT_EQ(got.number, plan.fields[f].number) << kReportFields[f].name;
    }
    EXPECT_EQ(doc.HeaderText(), QString::fromLatin1(plan.HeaderText()));
    EXPECT_EQ(doc.HeaderNumber(), 5);
    EXPECT_EQ(doc.TimeSpan(), 950); // "00950"
    EXPECT_EQ(doc.SampleCount(), 120);
    EXPECT_EQ(doc.TimeAt(119), plan.samples[119].first);
    EXPECT_EQ(doc.PressUnit(), QStringLiteral("bar"));
    EXPECT_EQ(doc.PsiPerUnit(), 14.5);
    EXPECT_EQ(doc.DemoFlag(), 1);
    EXPECT_EQ(doc.PipeAreaText(), QStringLiteral("12.5 in²"));
    EXPECT_TRUE(doc.ForcesHeading());
    // The notes field lies where Append Notes rewrites it.
    const QString notes = plan.fields[RF_NOTES].text;
    EXPECT_EQ(doc.NotesText(), notes);
    EXPECT_EQ(doc.NotesEnd() - doc.NotesPos(), 2 + 2 * notes.size());
    EXPECT_EQ(doc.FileImage().mid(doc.NotesPos(), 4), Word(notes.size()) + '\0' + 'C');

    // Empty notes: a zero count and a zero word; no "~" leaves no pipe area
    // and the whole field is searched for the forces mark.
    plan.Set(RF_NOTES, QString());
    plan.Set(RF_PIPE_AREA, QStringLiteral("+F^"));
    g_strReportPath = WriteReport(plan, QStringLiteral("b.kjr"));
    ASSERT_TRUE(doc.LoadReport());
    EXPECT_EQ(doc.NotesText(), QStringLiteral("---"));
    EXPECT_EQ(doc.NotesEnd() - doc.NotesPos(), 4);
    EXPECT_EQ(doc.PipeAreaText(), QString());
    EXPECT_TRUE(doc.ForcesHeading());
}

// The document only reads: the samples are the recorded ones, and there is
// no report text, until the view prepares the report.
TEST(ReportReader, ReadsTheRecordedSamplesAndLeavesTheTextAndPlotsToTheView) {
    ReportPlan plan = ButtFusionReport(0);
    plan.samples = {{0, 100}, {5, 103}, {10, 99}, {15, 101}, {20, 200}};
    g_strReportPath = WriteReport(plan, QStringLiteral("raw.kjr"));
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport());
    EXPECT_EQ(doc.PressureAt(1), 103);
    EXPECT_TRUE(doc.ReportText().isEmpty());
    EXPECT_EQ(doc.m_nMaxPressure, 0);
    PrepareReport(doc);
    EXPECT_EQ(doc.PressureAt(1), 100);
    EXPECT_EQ(doc.m_nMaxPressure, 200);
    EXPECT_FALSE(doc.ReportText().isEmpty());
}

TEST(ReportReader, KeepsEverySampleButUsesTheFirst10000) {
    ReportPlan plan = ButtFusionReport(12000);
    plan.samples[5].second = 4001;
    plan.samples[6].second = 4000;
    plan.samples[7].second = -20;
    g_strReportPath = WriteReport(plan, QStringLiteral("big.kjr"));
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport());
    EXPECT_EQ(doc.SampleCount(), 10000);
    EXPECT_EQ(doc.SamplesInFile(), 12000);
    EXPECT_EQ(doc.SampleCopy().size(), 48000);
    EXPECT_EQ(doc.PressureAt(5), 0);
    EXPECT_EQ(doc.PressureAt(6), 4000);
    EXPECT_EQ(doc.PressureAt(7), -20);
    PrepareReport(doc);
    EXPECT_EQ(doc.m_nMaxPressure, 4000);
}

// Counts in a file are never trusted: a file that does not hold what its
// counts say is read as no report at all, without a message, and nothing is
// read past its end (the sanitizers watch that).
TEST(ReportReader, FilesWhoseCountsLieAreUnreadable) {
    ScriptedPrompter prompter;
    const ReportPlan plan = ButtFusionReport(40);
    const QString path = WriteReport(plan, QStringLiteral("good.kjr"));
    const QByteArray good = ReadAll(path);
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReportImage(good));
    const qsizetype header = good.indexOf("SI0005");
    ASSERT_GT(header, 0);

    std::vector<std::pair<const char*, QByteArray>> bad;
    // Every file cut short, down to nothing.
    for (qsizetype n = 0; n < good.size(); n += n < header ? 1 : 7)
        bad.emplace_back("cut", good.left(n));
    bad.emplace_back("one byte short", good.left(good.size() - 1));
    // The pipe area's count (the last text) raised to 300, past the end of
    // the file; Machine ID's count raised to 301 with its characters there.
    QByteArray past = good;
    past.replace(header - 4, 2, Word(300));
    bad.emplace_back("count past the end", past);
    const QByteArray over300 = good.left(22) + Word(301) + QByteArray(602, 'A') + good.mid(38);
    bad.emplace_back("count above 300", over300);
    // A header of 100 characters before its NUL.
    QByteArray longHeader = good;
    longHeader.insert(header + 20, QByteArray(80, 'x'));
    bad.emplace_back("header of 100", longHeader);
    // More samples announced than the file holds.
    QByteArray more = good;
    more.replace(header + 15, 5, "00041");
    bad.emplace_back("41 of 40 samples", more);
    QByteArray huge = good;
    huge.replace(header + 15, 5, "99999999999999999999");
    bad.emplace_back("count beyond int", huge);

    for (const auto& [what, image] : bad) {
        EXPECT_FALSE(doc.LoadReportImage(image)) << what << " " << image.size();
        EXPECT_FALSE(doc.IsLoaded()) << what;
        EXPECT_TRUE(doc.ReportText().isEmpty()) << what;
    }

    // Limits themselves are readable: 300 characters, a header of 99.
    QByteArray header99 = good;
    header99.insert(header + 20, QByteArray(79, 'x'));
    EXPECT_TRUE(doc.LoadReportImage(header99));
    EXPECT_EQ(doc.SampleCount(), 40);
    const QByteArray at300 = good.left(22) + Word(300) + QByteArray(600, 'A') + good.mid(38);
    EXPECT_TRUE(doc.LoadReportImage(at300));
    EXPECT_EQ(doc.Field(RF_MACHINE_ID).text.size(), 300);

    // Through the file: the path is cleared and no message is shown; an
    // empty path is said.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(more);
    file.close();
    g_strReportPath = path;
    g_bReportChanged = true;
    EXPECT_FALSE(doc.LoadReport());
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_FALSE(g_bReportChanged);
    EXPECT_TRUE(prompter.Shown().empty());
    EXPECT_FALSE(doc.LoadReport());
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("No file name given."));
}
