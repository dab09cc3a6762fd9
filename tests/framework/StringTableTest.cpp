#include "framework/Strings.h"

#include <gtest/gtest.h>

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
        const QString text = LoadString(id);
        EXPECT_FALSE(text.isEmpty()) << "no text for string " << id;
        // ®, ² and ° read as one character each, never as two of Latin-1.
        EXPECT_FALSE(text.contains(QChar(0x00C2)) || text.contains(QChar::ReplacementCharacter))
            << id;
        previous = id;
    }
    for (const int unknown : {-1, 0, 103, 65000, 65012, 65023, 65111, 65159, 65163, 65535}) {
        EXPECT_TRUE(LoadString(unknown).isNull()) << unknown;
    }
}
