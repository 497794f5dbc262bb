#include "scheduling/day_plan.h"

#include <map>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "scheduling/scheduler.h"
#include "support/fake_time_source.h"
#include "support/stored_records_reset.h"

namespace quorvane {
namespace {

using testing::reading;

PlayDesc plays(const std::string& id) {
    PlayDesc desc;
    desc.id = id;
    return desc;
}

TimeTable timetable(const std::string& name, std::vector<std::string> lessons, std::vector<std::string> extraSlots = {}) {
    TimeTable table;
    table.name = name;
    table.chA.lessons.clear();
    for (const auto& text : lessons) table.chA.lessons.push_back(Lesson::decode(text));
    table.chA.startOfClass = table.chA.endOfClass = plays("bell");
    table.chA.preStart = plays("ping");  // the pre-end stays silent ("NULL")
    table.chB.startOfClass = plays("channelB");
    if (!extraSlots.empty()) {
        UserPlay extra;
        extra.desc = plays("music");
        for (const auto& slot : extraSlots) extra.slots.push_back(TimeOfDay::decode(slot));
        table.customPlays.push_back(extra);
    }
    return table;
}

// 2026-12-01 is a Tuesday. Monday to Friday is the working week; the calendar lists a holiday, a
// school break, a Saturday made a workday and ends on 2026-12-31.
class DayPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        _previous = setTimeSource(_time);
        testing::resetStoredRecords();
        StateLock lock;
        DB& database = db.edit(lock);
        for (const char* id : {"bell", "ping", "music"}) {
            AudioAsset signal;
            signal.name = std::string("Signal ") + id;
            database.signals.add(signal, id);
        }
        database.timetables.add(timetable("Main", {"08:00 - 08:45", "09:00 - 09:45"}), "main");
        database.timetables.add(timetable("Short", {"08:00 - 08:30", "08:40 - 09:10"}, {"12:00:30"}), "short");
        // A pre-start before midnight rings at the end of the same day.
        database.timetables.add(timetable("Saturday", {"00:03 - 00:40"}, {"23:59"}), "saturday");
        database.timetables.add(timetable("Exam", {"10:00 - 11:30"}, {"00:00"}), "exam");
        database.settings.defaultTimetableId = "main";
        database.settings.weekdayTimetables[2] = "short";                      // Wednesdays
        database.settings.weekdayTimetables[5] = "saturday";                   // Saturdays, when they are workdays
        database.settings.plannedDays = {{"2026-12-07", NULL_ID},              // a Monday without bells
                                         {"2026-12-08", "exam"},               // on the holiday
                                         {"2026-12-13", "short"},              // a Sunday
                                         {"2026-12-23", "exam"},               // a Wednesday
                                         {"2027-02-15", "saturday"}};          // after the days of the test
        database.settings.dayAdjustments = {{"2026-12-02", 90, "", "10:00"},   // a late start, the extra play cut
                                            {"2026-12-03", -20, "09:00", ""},  // the second lesson earlier
                                            {"2026-12-25", 30, "", ""},        // a holiday: nothing to move
                                            {"2027-02-15", 0, "", "08:00"}};
        database.settings.dailyPreferences.selectedTimetableId = "exam";  // on the first day only
        database.settings.dailyPreferences._lastDay = midnightOf(firstDay).tm_yday;
        CalendarRegion region;
        region.holidays = {"2026-12-08", "2026-12-25"};
        region.schoolBreaks = {"2026-12-21", "2026-12-22", "2026-12-23", "2026-12-24"};
        region.extraWorkdays = {"2026-12-12"};
        region.validUntil = "2026-12-31";
        cache.edit(lock).calendarRegions.add(region, "hu");
        setClock(midnightOf(firstDay));
    }
    void TearDown() override { setTimeSource(_previous); }

    void setClock(const struct_time& at) {
        _time->push(at);
        updateClock();
    }
    DayPlan planOf(const std::string& date) {
        StateLock lock;
        return dayPlanOf(lock, parseDate(date).value());
    }

    const int64_t firstDay = parseDate("2026-12-01").value();
    std::shared_ptr<testing::FakeTimeSource> _time = std::make_shared<testing::FakeTimeSource>();
    std::shared_ptr<TimeSource> _previous;
};

std::string bellText(const std::string& date, const TimeOfDay& time, const std::string& id) { return date + " " + time.asString() + " " + id; }

TEST_F(DayPlanTest, WhatRingsOverSixtyDaysIsWhatThePreviewSaid) {
    std::vector<std::string> previewed;
    std::map<DayReason, int> reasons;
    std::map<TimetableSource, int> sources;
    for (int64_t day = firstDay; day < firstDay + 60; ++day) {
        const DayPlan plan = [&] {
            StateLock lock;
            return dayPlanOf(lock, day);
        }();
        ++reasons[plan.dayReason];
        ++sources[plan.info.source];
        for (const ScheduledBell& bell : plan.bells) previewed.push_back(bellText(plan.info.date, bell.time, bell.desc.id));
    }
    // The days cover every reason and every source but the switched-off scheduler.
    EXPECT_EQ(reasons.size(), 5u);
    EXPECT_EQ(sources.size(), 4u);

    std::vector<std::string> rang;
    SchedulerSteps steps = defaultSchedulerSteps(
        [&](const StateLock&, const PlayDesc& desc) { rang.push_back(bellText(getDateString(), TimeOfDay::fromTimeStruct(getClock()), desc.id)); });
    steps.phoneHome = [] {};
    steps.saveStoredRecords = [] {};
    steps.missedBetween = {};  // the half-minute steps are clock jumps to the journal; nothing is due between them
    Scheduler scheduler(steps);
    // Every half minute of the sixty days, the bells being on whole and half minutes.
    for (int64_t second = firstDay * SECONDS_IN_A_DAY; second < (firstDay + 60) * SECONDS_IN_A_DAY; second += 30) {
        _time->push(wallReading(second));
        scheduler.runPass();
    }
    EXPECT_EQ(rang.size(), previewed.size());
    EXPECT_EQ(rang, previewed);

    StateLock lock;
    const auto& planned = db.view(lock).settings.plannedDays;
    ASSERT_EQ(planned.size(), 1u) << "the days gone by are dropped at the day change";
    EXPECT_EQ(planned[0].date, "2027-02-15");
    ASSERT_EQ(db.view(lock).settings.dayAdjustments.size(), 1u);
    EXPECT_EQ(db.view(lock).settings.dayAdjustments[0].date, "2027-02-15");
    EXPECT_FALSE(db.view(lock).settings.dailyPreferences.selectedTimetableId.has_value());
}

TEST_F(DayPlanTest, EachDaySaysWhyItRingsWhatItRings) {
    const DayPlan today = planOf("2026-12-01");
    EXPECT_EQ(today.info.source, TimetableSource::DAILY_OVERRIDE);
    EXPECT_EQ(today.timetableName, "Exam");
    EXPECT_EQ(today.dayReason, DayReason::WEEKDAY_MODE);
    EXPECT_EQ(today.calendarDataUntil, "2026-12-31");

    const DayPlan holiday = planOf("2026-12-08");
    EXPECT_EQ(holiday.info.typeOfDay, TypeOfDay::HOLIDAY);
    EXPECT_EQ(holiday.dayReason, DayReason::HOLIDAY);
    EXPECT_EQ(holiday.info.source, TimetableSource::PLANNED);
    EXPECT_EQ(holiday.info.id, "exam");

    const DayPlan noBells = planOf("2026-12-07");
    EXPECT_EQ(noBells.info.source, TimetableSource::PLANNED);
    EXPECT_EQ(noBells.info.id, NULL_ID);
    EXPECT_FALSE(noBells.timetableName.has_value());
    EXPECT_TRUE(noBells.bells.empty());

    const DayPlan lateStart = planOf("2026-12-02");
    ASSERT_TRUE(lateStart.adjustment.has_value());
    EXPECT_EQ(lateStart.adjustment->shiftMinutes, 90);
    ASSERT_EQ(lateStart.bells.size(), 4u) << "the second lesson and the extra play come after the end";
    EXPECT_EQ(lateStart.bells.front().time, TimeOfDay(9, 25));
    EXPECT_EQ(lateStart.bells.front().planned, "07:55");
    EXPECT_FALSE(planOf("2026-12-04").adjustment.has_value());

    const DayPlan extraSaturday = planOf("2026-12-12");
    EXPECT_EQ(extraSaturday.dayReason, DayReason::EXTRA_WORKDAY);
    EXPECT_EQ(extraSaturday.info.source, TimetableSource::WEEKDAY);
    ASSERT_EQ(extraSaturday.bells.size(), 5u);
    EXPECT_EQ(extraSaturday.bells.back().time, TimeOfDay(23, 59)) << "in time order, the wrapped pre-start before it";
    EXPECT_EQ(extraSaturday.bells[3].time, TimeOfDay(23, 58));

    EXPECT_EQ(planOf("2026-12-22").dayReason, DayReason::SCHOOL_BREAK);
    EXPECT_EQ(planOf("2026-12-22").info.id, NULL_ID);
    const DayPlan afterData = planOf("2027-01-05");
    EXPECT_EQ(afterData.dayReason, DayReason::OUTSIDE_CALENDAR_DATA);
    EXPECT_EQ(afterData.info.id, "main");
}

TEST_F(DayPlanTest, TodaysPlanIsWhatTheSchedulerSeesNow) {
    setClock(reading(2026, 12, 1, 9, 30, 0));
    StateLock lock;
    const DayPlan plan = dayPlanOf(lock, firstDay);
    EXPECT_EQ(to_dict(plan.info), to_dict(getActiveTimetableInfo(lock)));
    EXPECT_EQ(dayPlanOf(lock, firstDay + 7).info.source, TimetableSource::PLANNED) << "the choice for today stays today's";
}

TEST_F(DayPlanTest, CalendarDataEndsAtTheLastListedDateWithoutValidUntil) {
    StateLock lock;
    cache.edit(lock).calendarRegions.find("hu")->validUntil = "summer";
    EXPECT_EQ(calendarDataEnd(lock), "2026-12-25");
    db.edit(lock).settings.calendar.syncRegionId = "at";
    EXPECT_FALSE(calendarDataEnd(lock).has_value());
    EXPECT_EQ(dayPlanOf(lock, firstDay + 1).dayReason, DayReason::OUTSIDE_CALENDAR_DATA);
}

TEST_F(DayPlanTest, NextDayWithBellsSkipsSilentDays) {
    StateLock lock;
    // Saturday 2026-12-05 and Sunday are off; Monday 2026-12-07 is planned without bells.
    const auto next = nextDayWithBells(lock, parseDate("2026-12-04").value());
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->date, "2026-12-08");
    EXPECT_EQ(next->time, TimeOfDay(0, 0)) << "the exam's extra play at midnight";
    // Nothing rings with the scheduler off, however far it looks.
    db.edit(lock).settings.schedulerEnable = false;
    EXPECT_FALSE(nextDayWithBells(lock, firstDay).has_value());
}

TEST_F(DayPlanTest, TheDayChangeDropsOnlyEarlierPlans) {
    StateLock lock;
    DB& database = db.edit(lock);
    startNewDay(database, reading(2026, 12, 13, 0, 0, 0));
    std::vector<std::string> dates;
    for (const PlannedDay& day : database.settings.plannedDays) dates.push_back(day.date);
    EXPECT_EQ(dates, (std::vector<std::string>{"2026-12-13", "2026-12-23", "2027-02-15"}));
    EXPECT_FALSE(database.settings.dailyPreferences.selectedTimetableId.has_value());
}

}  // namespace
}  // namespace quorvane
