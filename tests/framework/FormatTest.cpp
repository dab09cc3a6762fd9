#include "framework/Format.h"

#include <gtest/gtest.h>

TEST(Format, MatchesPrintf) {
    EXPECT_EQ(Format(QStringLiteral("Temp Offset: %d%s"), {-5, QStringLiteral("°F")}),
              QStringLiteral("Temp Offset: -5°F"));
    EXPECT_EQ(Format(QStringLiteral(" [bat: %d%%]"), {57}), QStringLiteral(" [bat: 57%]"));
    EXPECT_EQ(Format(QStringLiteral("%04d-%02d-%02d"), {2010, 9, 4}), QStringLiteral("2010-09-04"));
    EXPECT_EQ(Format(QStringLiteral("%2d|%-3s|%5.1f"), {7, QStringLiteral("a"), 2.25}),
              QStringLiteral(" 7|a  |  2.2"));
    EXPECT_EQ(Format(QStringLiteral("%04X"), {0xbeef}), QStringLiteral("BEEF"));
    EXPECT_EQ(Format(QStringLiteral("%s and %d"), {QStringLiteral("missing")}),
              QStringLiteral("missing and 0"));
}

TEST(Format, RoundsExactlyAsC) {
    // Ties are decided by the exact binary value, as printf decides them.
    EXPECT_EQ(FormatDouble("%.0f", 0.5), QStringLiteral("0"));
    EXPECT_EQ(FormatDouble("%.0f", 1.5), QStringLiteral("2"));
    EXPECT_EQ(FormatDouble("%.0f", 2.5), QStringLiteral("2"));
    EXPECT_EQ(FormatDouble("%.1f", 0.05), QStringLiteral("0.1"));
    EXPECT_EQ(FormatDouble("%.1f", 0.25), QStringLiteral("0.2"));
    EXPECT_EQ(FormatDouble("%.1f", 13.05), QStringLiteral("13.1"));
    EXPECT_EQ(FormatDouble("%.3f", 1.0005), QStringLiteral("1.000"));
    EXPECT_EQ(FormatDouble("%.6f", 19.3145105), QStringLiteral("19.314511"));
    EXPECT_EQ(FormatDouble("%.1f", -0.04), QStringLiteral("-0.0"));
    char buf[64];
    for (double v : {0.15, 2.675, 1e-7, 123456.789, 7776.95}) {
        std::snprintf(buf, sizeof buf, "%.2f", v);
        EXPECT_EQ(FormatDouble("%.2f", v), QString::fromLatin1(buf)) << v;
    }
}
