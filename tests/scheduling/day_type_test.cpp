#include "scheduling/day_type.h"

#include <gtest/gtest.h>

#include "support/stored_records_reset.h"

namespace quorvane {
namespace {

constexpr int MONDAY = 0, SATURDAY = 5, SUNDAY = 6;

class DayTypeTest : public ::testing::Test {
protected:
    void SetUp() override { testing::resetStoredRecords(); }

    void region(const CalendarRegion& data, const std::string& id = "hu") {
        StateLock lock;
        cache.edit(lock).calendarRegions.set(id, data);
    }
    TypeOfDay classify(int dayOfWeek, const std::string& date) {
        StateLock lock;
        return calculateTypeOfDayWithCalendar(lock, dayOfWeek, date);
    }
    CalendarSettings& calendar(const StateLock& lock) { return db.edit(lock).settings.calendar; }
};

TEST_F(DayTypeTest, WithoutCalendarDataTheWeekdayDecides) {
    EXPECT_EQ(classify(MONDAY, "2024-09-02"), TypeOfDay::WORKDAY);
    EXPECT_EQ(classify(SUNDAY, "2024-09-08"), TypeOfDay::NON_WORKDAY);
    EXPECT_EQ(classify(SATURDAY, "2024-09-07"), TypeOfDay::NON_WORKDAY);
}

TEST_F(DayTypeTest, HolidayOutranksExtraWorkdayWhichOutranksSchoolBreak) {
    CalendarRegion hu;
    hu.holidays = {"2024-12-24"};
    hu.extraWorkdays = {"2024-12-24", "2024-12-07", "2024-12-28"};
    hu.schoolBreaks = {"2024-12-28", "2024-12-30"};
    region(hu);
    EXPECT_EQ(classify(1, "2024-12-24"), TypeOfDay::HOLIDAY);
    EXPECT_EQ(classify(SATURDAY, "2024-12-07"), TypeOfDay::EXTRA_WORKDAY);
    EXPECT_EQ(classify(SATURDAY, "2024-12-28"), TypeOfDay::EXTRA_WORKDAY);
    EXPECT_EQ(classify(MONDAY, "2024-12-30"), TypeOfDay::SCHOOL_BREAK);
    EXPECT_EQ(classify(MONDAY, "2024-12-2"), TypeOfDay::WORKDAY) << "another date form never matches";
}

TEST_F(DayTypeTest, SchoolBreaksApplyOnlyWhenBothSidesWantThem) {
    CalendarRegion hu;
    hu.schoolBreaks = {"2024-11-04"};
    region(hu);
    {
        StateLock lock;
        calendar(lock).syncSchoolHolidays = false;
    }
    EXPECT_EQ(classify(MONDAY, "2024-11-04"), TypeOfDay::WORKDAY);
    {
        StateLock lock;
        calendar(lock).syncSchoolHolidays = true;
    }
    hu.provideHolidays = false;
    region(hu);
    EXPECT_EQ(classify(MONDAY, "2024-11-04"), TypeOfDay::WORKDAY);
    hu.provideHolidays = true;
    region(hu);
    EXPECT_EQ(classify(MONDAY, "2024-11-04"), TypeOfDay::SCHOOL_BREAK);
}

TEST_F(DayTypeTest, OnlyTheChosenRegionCounts) {
    CalendarRegion at;
    at.holidays = {"2024-10-26"};
    region(at, "at");
    EXPECT_EQ(classify(SATURDAY, "2024-10-26"), TypeOfDay::NON_WORKDAY);
    {
        StateLock lock;
        calendar(lock).syncRegionId = "at";
    }
    EXPECT_EQ(classify(SATURDAY, "2024-10-26"), TypeOfDay::HOLIDAY);
}

TEST_F(DayTypeTest, WorkingWeekFollowsTheMode) {
    {
        StateLock lock;
        calendar(lock).workdayMode = WorkdayMode::SUN_TO_THU;
    }
    EXPECT_EQ(classify(SUNDAY, "2024-09-08"), TypeOfDay::WORKDAY);
    EXPECT_EQ(classify(4, "2024-09-06"), TypeOfDay::NON_WORKDAY);
}

TEST(DayTypeText, ExtraWorkdayIsWrittenAsReplacedWorkday) {
    EXPECT_STREQ(enumText(TypeOfDay::EXTRA_WORKDAY), "REPLACED_WORKDAY");
    EXPECT_EQ(toJsonText(Codec<TypeOfDay>::encode(TypeOfDay::SCHOOL_BREAK)), "\"SCHOOL_BREAK\"");
}

}  // namespace
}  // namespace quorvane
