#include "setup/DimensionTables.h"
#include "framework/Format.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {
using Rows = std::vector<std::pair<const char*, double>>;

// Each table as the size lists of the trade print it.
const Rows kIpsRows = {{"2", 2.375}, {"2.5", 2.875}, {"3", 3.5},   {"3.5", 4.0},  {"4", 4.5},
                       {"5", 5.563}, {"6", 6.625},   {"8", 8.625}, {"10", 10.75}, {"12", 12.75},
                       {"14", 14},   {"16", 16},     {"18", 18},   {"20", 20},    {"22", 22},
                       {"24", 24},   {"26", 26},     {"28", 28},   {"30", 30},    {"32", 32},
                       {"34", 34},   {"36", 36},     {"42", 42},   {"46", 46},    {"48", 48},
                       {"52", 52},   {"54", 54},     {"63", 63},   {"65", 65}};
const Rows kDipsRows = {{"3", 3.96},  {"4", 4.8},    {"6", 6.9},   {"8", 9.05},  {"10", 11.1},
                        {"12", 13.2}, {"14", 15.3},  {"16", 17.4}, {"18", 19.5}, {"20", 21.6},
                        {"24", 25.8}, {"30", 32.0},  {"36", 38.3}, {"42", 44.5}, {"48", 50.8},
                        {"54", 57.1}, {"60", 61.61}, {"64", 65.64}};
const Rows kJisRows = {{"20", 1.06},   {"25", 1.34},   {"30", 1.65},  {"40", 1.89},
                       {"50", 2.36},   {"75", 3.5},    {"100", 4.49}, {"125", 5.51},
                       {"150", 6.49},  {"175", 7.48},  {"200", 8.5},  {"250", 10.51},
                       {"300", 12.52}, {"350", 14.57}, {"400", 16.54}};

double Od(const char* size, int unit) {
    return PipeOutsideDiameter(QString::fromUtf8(size), unit);
}

double Area(const char* size, int sizeUnit, const char* wall, int wallUnit) {
    return PipeWallArea(QString::fromUtf8(size), sizeUnit, QString::fromUtf8(wall), wallUnit);
}
} // namespace

TEST(DimensionTables, EveryTableRowGivesItsOutsideDiameter) {
    ScriptedPrompter prompter;
    const std::pair<const Rows*, int> tables[] = {{&kIpsRows, 0}, {&kDipsRows, 1}, {&kJisRows, 4}};
    for (const auto& [rows, unit] : tables) {
        for (const auto& [size, od] : *rows)
            EXPECT_EQ(Od(size, unit), od) << size << " in system " << unit;
    }
    EXPECT_EQ(IpsTable().size(), kIpsRows.size());
    EXPECT_EQ(DipsTable().size(), kDipsRows.size());
    EXPECT_EQ(JisTable().size(), kJisRows.size());
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST(DimensionTables, SizesMustMatchARowExactly) {
    ScriptedPrompter prompter;
    for (const char* size : {"8", "8.0", "08", " 8 in", "8.000"})
        EXPECT_EQ(Od(size, 0), 8.625) << size;
    EXPECT_EQ(Od("2.50", 0), 2.875);
    EXPECT_EQ(Od("63", 0), 63.0);
    EXPECT_EQ(Od("8", 9), 8.625); // an unknown size system is IPS
    EXPECT_TRUE(prompter.Shown().empty());

    for (const auto& [size, unit] : std::vector<std::pair<const char*, int>>{{"8.5", 0},
                                                                             {"13", 0},
                                                                             {"63", 1},
                                                                             {"110", 4},
                                                                             {"", 0},
                                                                             {"0", 2},
                                                                             {"abc", 2},
                                                                             {"-4", 3}}) {
        prompter.Clear();
        EXPECT_EQ(Od(size, unit), 0.0) << size;
        ASSERT_EQ(prompter.Shown().size(), 1u) << size;
        EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Invalid Pipe size!"));
        EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(prompter.Shown()[0].type, MB_OK);
    }
}

TEST(DimensionTables, DirectOutsideDiameters) {
    ScriptedPrompter prompter;
    EXPECT_EQ(Od("4.33", 2), 4.33);
    EXPECT_EQ(Od("110", 3), 4.330708661417323);
    EXPECT_EQ(Od("1e999", 2), 0.0); // not a size anyone can make
    EXPECT_EQ(prompter.Shown().size(), 1u);
}

TEST(DimensionTables, WallAreaAndItsRefusals) {
    ScriptedPrompter prompter;
    EXPECT_EQ(FormatDouble("%.6f", Area("8", 0, "11", 0)), QStringLiteral("19.314511"));
    EXPECT_EQ(FormatDouble("%.6f", Area("8", 0, "11", 7)), QStringLiteral("19.314511"));
    EXPECT_DOUBLE_EQ(Area("8", 0, "5", 1), 56.9415);       // ID below 0, still a solid bar
    EXPECT_NEAR(Area("110", 3, "10", 2), 4.8694897, 1e-7); // millimetres both
    EXPECT_TRUE(prompter.Shown().empty());

    for (const char* wall : {"0", "", "--", "-11"}) {
        prompter.Clear();
        EXPECT_EQ(Area("8", 0, wall, 0), 0.0) << wall;
        ASSERT_EQ(prompter.Shown().size(), 1u);
        EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Invalid wall thickness!"));
        EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(prompter.Shown()[0].type, MB_OK);
    }
    for (const char* dr : {"1", "0.5"}) {
        prompter.Clear();
        EXPECT_EQ(Area("8", 0, dr, 0), 0.0) << dr;
        ASSERT_EQ(prompter.Shown().size(), 1u);
        EXPECT_EQ(prompter.Shown()[0].text,
                  QStringLiteral("Please check Pipe Size and wall thickness."));
        EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Pipe Area Error"));
        EXPECT_EQ(prompter.Shown()[0].type, MB_OK | MB_ICONSTOP);
    }
    // A refused size stops before the wall is looked at: one message only.
    prompter.Clear();
    EXPECT_EQ(Area("13", 0, "0", 0), 0.0);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Invalid Pipe size!"));
}

TEST(DimensionTables, FittingBaseAndDirectArea) {
    EXPECT_EQ(FittingBaseArea(), 0.0); // nothing entered
    WriteLogText(LogData::kFittingOd, QStringLiteral("2"));
    WriteLogText(LogData::kFittingWallThickness, QStringLiteral("0.25"));
    EXPECT_DOUBLE_EQ(FittingBaseArea(), 1.37445);
    WriteLogInt(LogData::kFittingDimensionsUnit, 1);
    EXPECT_DOUBLE_EQ(FittingBaseArea(), 1.37445 * 0.0015500031000062);

    WriteLogInt(LogData::kFittingBaseType, 1);
    WriteLogInt(LogData::kFittingDimensionsUnit, 0);
    WriteLogText(LogData::kFittingBaseLength, QStringLiteral("4"));
    WriteLogText(LogData::kFittingBaseWidth, QStringLiteral("3"));
    WriteLogText(LogData::kFittingBaseHoleDiameter, QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(FittingBaseArea(), 12 - 3.1416);

    WriteLogText(LogData::kPipeAreaSw, QStringLiteral("100"));
    EXPECT_EQ(DirectPipeArea(), 100.0);
    WriteLogInt(LogData::kPipeAreaSwUnitInx, 1);
    EXPECT_EQ(FormatDouble("%.12f", DirectPipeArea()), QStringLiteral("15.500031000062"));
}
