#include "setup/JointRecord.h"
#include "framework/Globals.h"

#include <gtest/gtest.h>

TEST(JointRecord, TrimOrDash) {
    EXPECT_EQ(TrimOrDash(QStringLiteral("  ab c \t")), QStringLiteral("ab c"));
    EXPECT_EQ(TrimOrDash(QStringLiteral("   ")), QStringLiteral("--"));
    EXPECT_EQ(TrimOrDash(QString()), QStringLiteral("--"));
}

TEST(JointRecord, ListIndicesOutOfRangeReadAsZero) {
    EXPECT_EQ(ReadMachineModelInx(), 0);
    const struct {
        const QString& name;
        int (*read)();
        int last;
    } indices[] = {{LogData::kMachineModelInx, ReadMachineModelInx, 67},
                   {LogData::kPipeMaterialInx, ReadPipeMaterialInx, 20},
                   {LogData::kPipeAreaSwUnitInx, ReadPipeAreaSwUnitInx, 1}};
    for (const auto& index : indices) {
        for (int stored : {-1, index.last + 1, 1000}) {
            WriteLogInt(index.name, stored);
            EXPECT_EQ(index.read(), 0) << stored;
        }
        WriteLogInt(index.name, index.last);
        EXPECT_EQ(index.read(), index.last);
    }
}

TEST(JointRecord, ListTexts) {
    LoadJointSetupLists();
    ASSERT_EQ(g_strPipeMaterials.size(), 21);
    EXPECT_EQ(g_strPipeMaterials[0], QStringLiteral("EXEL"));
    EXPECT_EQ(g_strPipeMaterials[19], QStringLiteral("PE 4710"));
    EXPECT_TRUE(g_strPipeMaterials[20].isEmpty());
    EXPECT_EQ(g_strFittingSizeUnits.join(u'|'), QStringLiteral("\" IPS|\" DIPS|\" CTS|mm"));
    EXPECT_EQ(PipeSizeUnitText(9), QStringLiteral("\" IPS"));
    EXPECT_EQ(WallThicknessUnitText(-1), QStringLiteral("DR"));
    EXPECT_EQ(AreaUnitText(1), QStringLiteral("cm²"));
    EXPECT_EQ(AreaUnitText(2), QStringLiteral("in²"));
}
