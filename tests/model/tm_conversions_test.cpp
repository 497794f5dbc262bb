#include "model/tm_conversions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/scoped_env.h"

namespace quorvane {
namespace {

TEST(TmConversions, UtcFieldsOfKnownMoments) {
    const std::tm epoch = utcTmOf(0);
    EXPECT_EQ(epoch.tm_year, 70);
    EXPECT_EQ(epoch.tm_mon, 0);
    EXPECT_EQ(epoch.tm_mday, 1);
    EXPECT_EQ(epoch.tm_wday, 4);  // a Thursday

    const std::tm leapDay = utcTmOf(951782400 + 3600 * 13 + 61);  // 2000-02-29 13:01:01
    EXPECT_EQ(leapDay.tm_year, 100);
    EXPECT_EQ(leapDay.tm_mon, 1);
    EXPECT_EQ(leapDay.tm_mday, 29);
    EXPECT_EQ(leapDay.tm_hour, 13);
    EXPECT_EQ(leapDay.tm_min, 1);
    EXPECT_EQ(leapDay.tm_sec, 1);
}

TEST(TmConversions, UtcSecondsInvertUtcFieldsAndCarryOver) {
    for (const std::time_t seconds : {std::time_t{0}, std::time_t{951782400}, std::time_t{1725262500}, std::time_t{4102444799}})
        EXPECT_EQ(utcSecondsOf(utcTmOf(seconds)), seconds);
    std::tm overflow = utcTmOf(951782400);  // 2000-02-29
    overflow.tm_mday += 1;
    EXPECT_EQ(utcSecondsOf(overflow), 951782400 + 86400);  // 2000-03-01
}

TEST(TmConversions, LocalFieldsFollowTheTimeZone) {
    std::tm local{};
    {
        const testing::ScopedEnv zone("TZ", "XYZ-2");  // two hours ahead of UTC, no summer time
        tzset();
        local = localTmOf(951782400 + 23 * 3600);  // 2000-02-29 23:00 UTC
    }
    tzset();
    EXPECT_EQ(local.tm_mon, 2);
    EXPECT_EQ(local.tm_mday, 1);
    EXPECT_EQ(local.tm_hour, 1);
}

}  // namespace
}  // namespace quorvane
