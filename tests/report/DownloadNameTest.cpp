#include "report/DownloadName.h"

#include <gtest/gtest.h>

TEST(DownloadName, OnlyTheSuffixMarksACutDownload) {
    EXPECT_EQ(NumberedReportName(QStringLiteral("J 1"), 1), QStringLiteral("J 1.kjr"));
    EXPECT_EQ(NumberedReportName(QStringLiteral("J 1 (incomplete)"), 3),
              QStringLiteral("J 1 (incomplete) (3).kjr"));

    for (const char* cut :
         {"/r/Job 7 (incomplete).kjr", "Job 7 (recovered).kjr", "Job 7 (incomplete) (2).kjr",
          "JOB 7 (Incomplete).KJR", "/a (incomplete)/b (recovered) (12).kjr"})
        EXPECT_TRUE(IsCutDownloadName(QString::fromUtf8(cut))) << cut;
    // A job or an operator may be called anything; only the end of the name
    // counts, and a folder's name never does.
    for (const char* whole : {"/r/Job 7.kjr", "Job 7 (2).kjr", "Job (incomplete) 7.kjr",
                              "/x (incomplete).kjr/Job 7.kjr", "Job 7 (incomplete).kjr.part",
                              "Job 7 (incomplete) (x).kjr", "Job 7(incomplete).kjr"})
        EXPECT_FALSE(IsCutDownloadName(QString::fromUtf8(whole))) << whole;
}
