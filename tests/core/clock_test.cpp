#include "core/clock.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "support/fake_time_source.h"

namespace quorvane {
namespace {

using testing::FakeTimeSource;
using testing::reading;

TEST(Clock, LocalTimeUsesTheSystemConventions) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 2024-01-01 was a Monday; 2024-12-31 is day 366 of a leap year, a Tuesday.
    const auto moment = [](int64_t seconds) { return std::chrono::system_clock::time_point(std::chrono::seconds(seconds)); };
    const struct_time newYear = localStructTime(moment(1704067200));
    EXPECT_EQ(newYear.tm_year, 2024);
    EXPECT_EQ(newYear.tm_mon, 1);
    EXPECT_EQ(newYear.tm_mday, 1);
    EXPECT_EQ(newYear.tm_wday, 0);
    EXPECT_EQ(newYear.tm_yday, 1);
    const struct_time lastDay = localStructTime(moment(1735689599));
    EXPECT_EQ(lastDay.tm_yday, 366);
    EXPECT_EQ(lastDay.tm_wday, 1);
    EXPECT_EQ(lastDay.tm_hour, 23);
    EXPECT_EQ(localStructTime(moment(1704067200 + 6 * 86400)).tm_wday, 6);  // Sunday
}

TEST(Clock, SummerTimeFlagFollowsTheZone) {
    setenv("TZ", "Europe/Budapest", 1);
    tzset();
    EXPECT_EQ(localStructTime(std::chrono::system_clock::time_point(std::chrono::seconds(1719835200))).tm_isdst, 1);  // July
    EXPECT_EQ(localStructTime(std::chrono::system_clock::time_point(std::chrono::seconds(1704067200))).tm_isdst, 0);  // January
    EXPECT_EQ(localStructTime(std::chrono::system_clock::time_point(std::chrono::seconds(1704067200))).tm_hour, 1);
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST(Clock, StringsComeFromTheSharedReading) {
    auto source = std::make_shared<FakeTimeSource>();
    const auto previous = setTimeSource(source);
    source->push(reading(2025, 1, 1, 7, 5, 9));
    const struct_time taken = updateClock();
    EXPECT_EQ(getClock(), taken);
    EXPECT_EQ(getTimeString(), "07:05:09");
    EXPECT_EQ(getDateString(), "2025-01-01");
    EXPECT_EQ(getTimeString("%H.%M"), "07.05");
    source->push(reading(987, 12, 31, 23, 0, 0));
    EXPECT_EQ(getDateString(), "2025-01-01") << "no new reading without updateClock";
    updateClock();
    EXPECT_EQ(getDateString(), "987-12-31");
    setTimeSource(previous);
}

}  // namespace
}  // namespace quorvane
