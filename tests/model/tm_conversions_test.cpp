#include "model/tm_conversions.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

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

// The zone's text at a moment under a TZ value; TZ and the C library's zone are put back afterwards.
std::string zoneTextUnder(const char* zone, std::time_t at) {
    std::string text;
    {
        const testing::ScopedEnv scoped("TZ", zone);
        tzset();
        text = timeZoneText(at);
    }
    tzset();
    return text;
}

TEST(TmConversions, TheTimeZoneTextEndsWithItsOffsetAheadOrBehindUtc) {
    EXPECT_TRUE(zoneTextUnder("XYZ-1", 951782400).ends_with(", UTC+01:00")) << zoneTextUnder("XYZ-1", 951782400);
    EXPECT_TRUE(zoneTextUnder("QRS+3:30", 951782400).ends_with(", UTC-03:30")) << zoneTextUnder("QRS+3:30", 951782400);
    EXPECT_TRUE(zoneTextUnder("UTC0", 951782400).ends_with(", UTC+00:00"));
}

TEST(TmConversions, TheTimeZoneIsNamedInWinterAndSummer) {
    const char* zone = "XYZ-1ABC,M3.5.0,M10.5.0/3";               // an hour ahead of UTC, two in summer
    EXPECT_EQ(zoneTextUnder(zone, 951782400), "XYZ, UTC+01:00");  // 2000-02-29
    EXPECT_EQ(zoneTextUnder(zone, 963000000), "ABC, UTC+02:00");  // 2000-07-07
    EXPECT_EQ(zoneTextUnder("QRS+3:30", 951782400), "QRS, UTC-03:30");
}

}  // namespace
}  // namespace quorvane
