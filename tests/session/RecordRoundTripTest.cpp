// The records the program sends for a joint, echoed back as the Vantrek
// echoes them, downloaded and read into the report: the report's lines carry
// each value where it was set up. Nothing here shares the reader's table of
// fields, so a swapped pair of fields or a flipped kind shows.

#include "SessionFixture.h"

#include "framework/Globals.h"
#include "platform/Clock.h"
#include "report/JointRecords.h"
#include "report/ReportDrawing.h"
#include "report/VtkDoc.h"
#include "setup/JointRecord.h"
#include "setup/Units.h"

namespace {
// What the Vantrek gives back for a record the program sent: the same
// digits under the reply's head, except that an empty text gets a zero word
// after its count. `kinds` names each field in order, 'i' an integer and 't'
// a text, written out by hand from the records' layout.
QByteArray Echo(const QByteArray& sent, const char* kinds) {
    EXPECT_TRUE(sent.startsWith("Wp0") && sent.endsWith("eom\r\n")) << sent.constData();
    QByteArray echo = "Pw" + sent.mid(2, 3);
    qsizetype at = 5;
    for (const char* k = kinds; *k; ++k) {
        const QByteArray word = sent.mid(at, 4);
        echo += word;
        at += 4;
        if (*k == 't') {
            const int count = word.toInt(nullptr, 16);
            echo += count ? sent.mid(at, 4 * count) : QByteArray("0000");
            at += 4 * count;
        }
    }
    EXPECT_EQ(sent.mid(at), QByteArray("eom\r\n")) << kinds;
    return echo + "eom";
}
// Joint information: date and time, then machine, pipe, pressures, probes.
const char kJointInfoKinds[] = "iiiiii"
                               "titti"
                               "ttiittiti"
                               "tttti"
                               "ttttt"
                               "itt";
const char kNotesKinds[] = "itit";
const char kReserveKinds[] = "itt";

using RecordRoundTrip = SessionTest;
} // namespace

TEST_F(RecordRoundTrip, EveryValueSetUpComesBackOnItsOwnLine) {
    SetFixedLocalTime(QDateTime(QDate(2024, 3, 7), QTime(14, 30, 5)));
    auto log = [](const QString& key, const char* value) {
        WriteSettingText(kKeyLogData, key, QString::fromLatin1(value));
    };
    // Values that differ from each other in every pair a mix-up could swap.
    log(LogData::kJobNumber, "J-88");
    log(LogData::kHeatIfp, "71");
    log(LogData::kSoakIfp, "12");
    log(LogData::kFuseIfp, "73");
    log(LogData::kCoolIfp, "74");
    log(LogData::kRecHeat, "171");
    log(LogData::kRecSoak, "112");
    log(LogData::kRecFuse, "173");
    log(LogData::kRecCool, "174");
    log(LogData::kDragPressure, "23");
    log(LogData::kHtrTemp, "431");
    log(LogData::kExtHtrTemp, "427");
    log(LogData::kNotes, "Crew 3");
    WriteSettingInt(kKeyLogData, LogData::kJointNumber, 9);
    LoadJointSetupLists();
    LoadUnitSettings();

    CJointRecords records;
    ASSERT_TRUE(records.Allocate());
    records.BuildJointInfoRecord();
    const QByteArray info = Echo(records.Text(), kJointInfoKinds);
    records.BuildNotesRecord();
    const QByteArray notes = Echo(records.Text(), kNotesKinds);
    QByteArray id("KVTQ21420240115");
    records.BuildReserveRecord(id);
    const QByteArray reserve = Echo(records.Text(), kReserveKinds);

    prompter.Answer(IDOK);
    dlg->ClickDlgItem(IDC_CONNECT);
    ASSERT_EQ(dlg->LinkState(), 1);
    Tick();
    Command();
    Status s;
    s.state = '2';
    ASSERT_EQ(Exchange(s.Line()), QByteArray("Wp2R\r\n"));
    ASSERT_EQ(Exchange(info), QByteArray("Wp3R\r\n"));
    ASSERT_EQ(Exchange(notes), QByteArray("Wp4R\r\n"));
    ASSERT_EQ(Exchange(reserve), QByteArray("Wp11\r\n"));
    ASSERT_EQ(Exchange(Block("Pw11:", "SI0005TS00010NR00002")), QByteArray("Wp12-0000\r\n"));
    Reply(Block("Pw12:", "0000000a0005000b"));
    Tick();
    ASSERT_TRUE(dlg->IsEnded());

    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport()) << g_strReportPath.toStdString();
    PrepareReport(doc);
    // Each entry of the text, a label and its value apart, joined by '|'.
    const QString all = doc.ReportText().join(QLatin1Char('|')) + QLatin1Char('|');
    for (const char* entry :
         {" 1. Date && Time|: 2024/03/07  14:30:05|", " 2. Joint Number|: 9|",
          " 3. Job Number|: J-88|",
          // Each phase twice: interfacial pressure, recommended gauge pressure.
          "12. Bead|: 71|", "13. Soak|: 12|", "14. Fuse|: 73|", "15. Cool|: 74|", "18. Bead|: 171|",
          "19. Soak|: 112|", "20. Fuse|: 173|", "21. Cool|: 174|", "23. Drag Pressure: 23|",
          // The heater: the Vantrek's own probe, then the external one.
          "24. Vantrek Probe: 431|", "25. External Probe: 427|", "26. KVTQ214", "Crew 3|"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(entry))) << entry << "\n" << all.toStdString();
}
