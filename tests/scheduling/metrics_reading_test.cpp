#include "scheduling/metrics_reading.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/timetable_fixture.h"

namespace quorvane {
namespace {

using Steady = std::chrono::steady_clock;

// The reading's state comes from the records and the health sources; each case sets the moment.
class MetricsReadingTest : public testing::TimetableFixture {
protected:
    void SetUp() override {
        TimetableFixture::SetUp();
        sources = HealthSources::ofThisProcess();
        sources.dataFolder = dir.path();
        sources.journalFolder = dir / "journal";
        sources.steadyNow = [this] { return steadyNow; };
        sources.lastPass = [this] { return lastPass; };
        sources.saveError = [] { return std::optional<std::string>(); };
        sources.today = [this] { return now; };
    }
    MetricsReading read() { return readMetrics(sources); }

    testing::TempDir dir;
    HealthSources sources;
    Steady::time_point steadyNow = Steady::now();
    std::optional<Steady::time_point> lastPass = steadyNow - std::chrono::milliseconds(250);
    struct_time now = monday(7, 50);
};

TEST_F(MetricsReadingTest, TheNextBellIsCountedInSecondsFromNowAndAbsentWhenNoneIsLeft) {
    EXPECT_EQ(read().secondsToNextBell, 5 * 60) << "the pre-start at 07:55";
    now = monday(9, 29, 30);
    EXPECT_EQ(read().secondsToNextBell, 30);
    now = monday(9, 30);
    EXPECT_FALSE(read().secondsToNextBell) << "channel B never rings";
    edit([](DB& database) { database.settings.schedulerEnable = false; });
    now = monday(7, 50);
    EXPECT_FALSE(read().secondsToNextBell) << "the bells are off";
}

TEST_F(MetricsReadingTest, TheSchedulersPassTheCalendarAndThePlayersName) {
    EXPECT_DOUBLE_EQ(*read().secondsSinceLastPass, 0.25);
    lastPass.reset();
    EXPECT_FALSE(read().secondsSinceLastPass) << "no pass yet is not a pass just now";

    EXPECT_FALSE(read().daysSinceCalendarSync);
    EXPECT_FALSE(read().calendarDaysLeft);
    {
        StateLock lock;
        cache.edit(lock).calendarLastUpdated = "2024-08-30T10:00:00";
        CalendarRegion region;
        region.validUntil = "2024-10-02";
        cache.edit(lock).calendarRegions.add(region, "hu");
        db.edit(lock).settings.calendar.syncRegionId = "hu";
        db.edit(lock).settings.playerName = "North building";
    }
    const MetricsReading reading = read();
    EXPECT_EQ(reading.daysSinceCalendarSync, 3);
    EXPECT_EQ(reading.calendarDaysLeft, 30);
    EXPECT_EQ(reading.playerName, "North building");
    EXPECT_FALSE(reading.checks.empty());
    EXPECT_EQ(reading.checks.front().first, "scheduler");
}

}  // namespace
}  // namespace quorvane
