#include "setup/NumberText.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>

TEST(NumberText, ReadsTheLeadingNumberAsTheHandheldDoes) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"30 psi", 30}, {"2.1 bar", 2.1}, {" \t-7.5", -7.5}, {"+.5", 0.5},
        {"5.", 5},      {"1e3", 1000},    {"2E-2x", 0.02},   {"1e", 1},
        {"1e+", 1},     {"1.2.3", 1.2},   {"1,5", 1},        {"19.314511", 19.314511},
        {"", 0},        {"--", 0},        {"-----", 0},      {".", 0},
        {"-", 0},       {"abc5", 0},      {"0x10", 0},       {"inf", 0},
        {"nan", 0},     {"- 5", 0},       {"0.000", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToDouble(QString::fromUtf8(c.text)), c.value) << c.text;
    // Full-width digits are not digits to the conversion.
    EXPECT_EQ(TextToDouble(QStringLiteral("８")), 0.0);
    EXPECT_EQ(TextToDouble(QStringLiteral("1e999")), HUGE_VAL);
    EXPECT_EQ(TextToDouble(QStringLiteral("-1e999")), -HUGE_VAL);
    EXPECT_EQ(TextToDouble(QStringLiteral("1e-999")), 0.0);
    EXPECT_EQ(TextToDouble(QStringLiteral("0.00001e5")), 1.0);
}

TEST(NumberText, WholeNumbersStopAtThePoint) {
    EXPECT_EQ(TextToLong(QStringLiteral("13.1")), 13);
    EXPECT_EQ(TextToLong(QStringLiteral("-----")), 0);
    EXPECT_EQ(TextToLong(QStringLiteral("  -42 psi")), -42);
    EXPECT_EQ(TextToLong(QStringLiteral("1e3")), 1);
    EXPECT_EQ(TextToLong(QStringLiteral("99999999999")), INT_MAX);
    EXPECT_EQ(TextToLong(QStringLiteral("-99999999999")), INT_MIN);
}
