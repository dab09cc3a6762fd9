#include "report/JointRecords.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/Units.h"

#include <gtest/gtest.h>

namespace {
void Log(const QString& name, const QString& value) {
    WriteSettingText(kKeyLogData, name, value);
}

struct Records : ::testing::Test {
    CJointRecords records;
    ScriptedPrompter prompter;
    void SetUp() override {
        ASSERT_TRUE(records.Allocate());
        SetFixedLocalTime(QDateTime(QDate(2010, 9, 24), QTime(16, 5, 9)));
        LoadJointSetupLists();
        LoadUnitSettings();
    }
};
} // namespace

TEST_F(Records, EmptyJointInformationHasEveryField) {
    records.BuildJointInfoRecord();
    const QByteArray text = records.Text();
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kJointInfoReady);
    // 6 date fields, 8 integers and 19 empty texts, each four digits.
    EXPECT_EQ(text.size(), 142);
    EXPECT_TRUE(text.startsWith("Wp02:07da0009001800100005000900000000"));
    EXPECT_TRUE(text.endsWith("eom\r\n"));
    // An absent joint number goes out as 1.
    EXPECT_EQ(text.mid(5 + 13 * 4, 4), QByteArray("0001"));
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_F(Records, FieldEncodings) {
    records.RecordBuildState = CJointRecords::kBuilding;
    records.AppendTextField(QStringLiteral("  AB "));
    records.AppendIntField(70000);
    records.AppendIntField(-12);
    records.AppendTextField(QStringLiteral("°"));
    records.AppendTextField(QString(150, QLatin1Char('x')));
    const QByteArray text = records.Text();
    EXPECT_EQ(text.left(12), QByteArray("000241004200"));
    EXPECT_EQ(text.mid(12, 8), QByteArray("ffff000c"));
    EXPECT_EQ(text.mid(20, 8), QByteArray("0001b000"));
    EXPECT_EQ(text.mid(28, 4), QByteArray("0064"));
    EXPECT_EQ(text.size(), 32 + 400);
    // Nothing is appended once a build has failed.
    records.RecordBuildState = CJointRecords::kNoRecord;
    records.AppendIntField(1);
    EXPECT_EQ(records.Text().size(), 432);
}

TEST_F(Records, JointInformationForEachKindOfJoint) {
    Log(LogData::kHeatIfp, QStringLiteral("75"));
    Log(LogData::kRecBeadForceOrIfp, QStringLiteral("60"));
    Log(LogData::kFittingHeatPressure, QStringLiteral("800"));
    Log(LogData::kPipeSize, QStringLiteral("8"));
    WriteSettingInt(kKeyLogData, LogData::kFittingType, 1);
    Log(LogData::kFittingMainSize, QStringLiteral("4"));
    Log(LogData::kFittingOutletSize, QStringLiteral("2"));
    WriteSettingInt(kKeyLogData, LogData::kFittingOutletUnit, 3);
    auto fieldText = [&](const QByteArray& text, const QString& value) {
        QByteArray digits = QByteArray::number(value.size(), 16).rightJustified(4, '0');
        for (QChar c : value)
            digits += QByteArray::number(c.unicode() & 0xff, 16).rightJustified(2, '0') +
                      QByteArray::number(c.unicode() >> 8, 16).rightJustified(2, '0');
        return text.contains(digits);
    };

    records.BuildJointInfoRecord(); // a pipe joint
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("75")));
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("8")));
    EXPECT_FALSE(fieldText(records.Text(), QStringLiteral("Tap Tee")));

    WriteSettingInt(kKeyLogData, LogData::kDoSidewallFusion, 1); // sidewall
    records.BuildJointInfoRecord();
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("60")));
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("Tap Tee")));
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("4\" IPS x 2mm")));

    g_strMachineModel = QStringLiteral("Tarvex Mech.");
    records.BuildJointInfoRecord();
    EXPECT_TRUE(fieldText(records.Text(), QStringLiteral("800")));
    EXPECT_FALSE(fieldText(records.Text(), QStringLiteral("60")));
}

TEST_F(Records, NotesAndReserveData) {
    Log(LogData::kNotes, QStringLiteral("ok"));
    records.BuildNotesRecord();
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kNotesReady);
    // No prefix (no offset, a butt fusion joint): the notes alone.
    EXPECT_EQ(records.Text(), QByteArray("Wp03:03e7000003e700026f006b00eom\r\n"));

    QByteArray id("KVTQ21420240115");
    records.BuildReserveRecord(id);
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kReserveReady);
    EXPECT_EQ(id, QByteArray("------"));
    EXPECT_TRUE(records.Text().startsWith("Wp04:0000001a5600540051005000"));
    records.BuildReserveRecord(id);
    // Built again before a status reply: the placeholder identity.
    const QByteArray second = records.Text();
    QByteArray placeholder;
    for (char c : QByteArray("VTQPv0.2.5 ------"))
        placeholder +=
            QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0') + "00";
    EXPECT_TRUE(second.contains(placeholder));
    // The pipe area text for an empty area: " in²~", trimmed as every text is.
    EXPECT_TRUE(second.endsWith("000469006e00b2007e00eom\r\n")) << second.toStdString();
}

TEST_F(Records, TooLongARecordIsRefusedOnce) {
    // Notes texts of 100 characters fill the record past its limit.
    records.RecordBuildState = CJointRecords::kBuilding;
    for (int i = 0; i < 3; ++i)
        records.AppendTextField(QString(100, QLatin1Char('n')));
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kNoRecord);
    // The field that did not fit keeps only its count digits.
    EXPECT_EQ(records.Text().size(), 404 + 404 + 4);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(
        prompter.Shown()[0].text,
        QStringLiteral("Joint Infomaiton data exceed memory limit.  Joint will not be logged!"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Error"));

    // A joint information record that overflows is ended, reported and not sent.
    prompter.Clear();
    for (const QString* name :
         {&LogData::kMachineId, &LogData::kMachineModelText, &LogData::kEmployeeId,
          &LogData::kJobNumber, &LogData::kPipeMaterialText, &LogData::kPipeSize})
        Log(*name, QString(100, QLatin1Char('z')));
    records.BuildJointInfoRecord();
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kNoRecord);
    EXPECT_TRUE(records.Text().endsWith("eom\r\n"));
    EXPECT_LE(records.Text().size(), CJointRecords::kBufferSize - 1);
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].text, QStringLiteral("Could not build joint information!"));
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Log Error"));
    EXPECT_EQ(prompter.Shown()[1].type, MB_OK | MB_ICONSTOP);
}

TEST_F(Records, NoBufferNoRecord) {
    records.Free();
    records.RecordBuildState = CJointRecords::kNotesReady;
    records.BuildJointInfoRecord();
    EXPECT_EQ(records.RecordBuildState, CJointRecords::kNotesReady);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("No memory allocate for joint information.  Cannot log joints!"));
}
