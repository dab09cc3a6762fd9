#include "framework/Format.h"
#include "framework/Strings.h"

#include <gtest/gtest.h>

TEST(StringTable, HoldsTheOperatorTextsExactly) {
    // Leading and trailing blanks matter: these are glued to other texts.
    EXPECT_EQ(LoadString(IDS_BATTERY_FMT), QStringLiteral(" [bat: %d%%]"));
    EXPECT_EQ(Format(LoadString(IDS_BATTERY_FMT), {57}), QStringLiteral(" [bat: 57%]"));
    EXPECT_EQ(LoadString(IDS_BATTERY_UNKNOWN), QStringLiteral(" [bat: - ]"));
    EXPECT_EQ(LoadString(IDS_DATA_POINTS_ELAPSED), QStringLiteral(" data points\n\nElapsed "));
    EXPECT_EQ(LoadString(IDS_LBL_DRAG_PRESSURE), QStringLiteral("%2d. Drag Pressure: "));
    EXPECT_EQ(Format(LoadString(IDS_LBL_PIPE_SIZE), {9}), QStringLiteral(" 9. Pipe Size"));

    // Line feeds and the registered sign, decoded as one character each.
    EXPECT_EQ(LoadString(IDS_TURN_ON_VANTREK),
              QStringLiteral("Turn on Vantrek®\nand connect to\ncheck status."));
    const QString noLink = LoadString(IDS_COULD_NOT_CONNECT);
    EXPECT_EQ(noLink,
              QStringLiteral(
                  "Could not connect to Vantrek®.  Please make sure Bluetooth® is turned on."));
    EXPECT_EQ(noLink.count(QChar(0x00AE)), 2);
    EXPECT_EQ(LoadString(IDS_NO_STORAGE_CARD),
              QStringLiteral("Storage card not found!\n\nCould not create backup folder!\n\n"
                             "Reports will be saved\nin main memory only\nand no backup!"));
    EXPECT_EQ(Format(LoadString(IDS_CANNOT_CREATE_FOLDER), {QStringLiteral("\\Calibration")}),
              QStringLiteral("Could not create folder\n\\Calibration\nto save data!"));
    EXPECT_EQ(Format(LoadString(IDS_TEMP_OFFSET_FMT), {-5, QStringLiteral("°F")}),
              QStringLiteral("Temp Offset: -5°F"));

    // Kept as the handheld shows them, odd spelling and double blanks included.
    EXPECT_EQ(
        LoadString(IDS_JOINT_INFO_TOO_LONG),
        QStringLiteral("Joint Infomaiton data exceed memory limit.  Joint will not be logged!"));
    EXPECT_EQ(LoadString(IDS_LBL_DATE_TIME), QStringLiteral("%2d. Date && Time"));
    EXPECT_EQ(LoadString(IDS_PRINT_DATE_TIME), QStringLiteral(" 1. Date & Time"));
    EXPECT_EQ(LoadString(IDS_REPORT_FOLDER), QStringLiteral("\\Joint Reports"));
    EXPECT_EQ(LoadString(IDS_CALIBRATION_FILTER),
              QStringLiteral("VTQ Calibration Data (*.kdc)|*.kdc||"));
    EXPECT_EQ(LoadString(IDS_FORBIDDEN_CHARS), QStringLiteral("\\/:*?\"<>|"));
    EXPECT_TRUE(LoadString(IDS_FORBIDDEN_CHARS_MSG)
                    .endsWith(QStringLiteral("characters:\n\\ / : * ? \" < > |")));
}

TEST(StringTable, FittingTypesFollowTheStoredIndex) {
    // "Fitting Type" 0..3 indexes these four strings in number order.
    EXPECT_EQ(LoadString(IDS_FITTING_SERVICE_SADDLE), QStringLiteral("Service Saddle"));
    EXPECT_EQ(LoadString(IDS_FITTING_SERVICE_SADDLE + 1), QStringLiteral("Tap Tee"));
    EXPECT_EQ(LoadString(IDS_FITTING_SERVICE_SADDLE + 2), QStringLiteral("Branch Saddle"));
    EXPECT_EQ(LoadString(IDS_FITTING_SERVICE_SADDLE + 3), QStringLiteral("H2O Tap Tee"));
}

TEST(StringTable, EveryNamedIdHasTextAndNoOtherDoes) {
    int previous = 0;
    for (const StringId id : kAllStringIds) {
        EXPECT_GT(id, previous) << "ids listed twice or out of order";
        EXPECT_FALSE(LoadString(id).isEmpty()) << "no text for string " << id;
        previous = id;
    }
    for (const int unknown : {-1, 0, 103, 65000, 65012, 65023, 65111, 65159, 65163, 65535}) {
        EXPECT_TRUE(LoadString(unknown).isNull()) << unknown;
    }
}
