// Calendar time <-> 100-ns ticks since 1601, and the locale texts.

#include "platform/error_text.h"
#include "platform/systemtime.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TEST(SystemTime, RoundTripsThroughTicksAndRejectsInvalidDates) {
    const SYSTEMTIME epoch{1601, 1, 0, 1, 0, 0, 0, 0};
    FILETIME ft{7, 7};
    ASSERT_TRUE(SystemTimeToFileTime(epoch, ft));
    EXPECT_EQ(FileTimeTicks(ft), 0u);

    // 1970-01-01 is 11644473600 s after 1601-01-01.
    ASSERT_TRUE(SystemTimeToFileTime(SYSTEMTIME{1970, 1, 0, 1, 0, 0, 0, 0}, ft));
    EXPECT_EQ(FileTimeTicks(ft), 116444736000000000ull);

    const SYSTEMTIME leap{2024, 2, 0, 29, 23, 59, 58, 999};
    ASSERT_TRUE(SystemTimeToFileTime(leap, ft));
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(ft, back));
    EXPECT_EQ(back.wYear, 2024);
    EXPECT_EQ(back.wMonth, 2);
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wHour, 23);
    EXPECT_EQ(back.wMinute, 59);
    EXPECT_EQ(back.wSecond, 58);
    EXPECT_EQ(back.wMilliseconds, 999);
    EXPECT_EQ(back.wDayOfWeek, 4); // a Thursday

    const FILETIME before = ft;
    for (const SYSTEMTIME& bad :
         {SYSTEMTIME{}, SYSTEMTIME{2023, 2, 0, 29, 0, 0, 0, 0},
          SYSTEMTIME{2023, 13, 0, 1, 0, 0, 0, 0}, SYSTEMTIME{2023, 1, 0, 1, 24, 0, 0, 0},
          SYSTEMTIME{1600, 12, 0, 31, 0, 0, 0, 0}}) {
        EXPECT_FALSE(SystemTimeToFileTime(bad, ft));
        EXPECT_EQ(FileTimeTicks(ft), FileTimeTicks(before)) << "a failed conversion writes nothing";
    }
}

TEST(SystemTime, LocaleTextsCarryTheDateAndSecondsWithoutTimeZone) {
    const SYSTEMTIME t{2012, 5, 0, 4, 14, 5, 9, 0};
    EXPECT_EQ(FormatLocalDate(t, "dd'-'MM'-'yyyy"), "04-05-2012");
    EXPECT_EQ(FormatLocalDate(t, "yyyy'-'MM'-'dd"), "2012-05-04");
    const std::string time = FormatLocalTime(t);
    EXPECT_NE(time.find("05"), std::string::npos) << time;
    EXPECT_NE(time.find("09"), std::string::npos) << time;
    EXPECT_EQ(time.find("UTC"), std::string::npos) << time;
    EXPECT_EQ(ErrorText(ENOENT), "No such file or directory");
}

} // namespace
