#include "scheduling/timetable_precedence.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

constexpr int MONDAY = 0, SATURDAY = 5;
constexpr bool WORKDAY = true, DAY_OFF = false;
constexpr auto APPLIES = TodayOnlyChoice::APPLIES;
constexpr auto IGNORED = TodayOnlyChoice::IGNORED;

class Precedence : public ::testing::Test {
protected:
    Precedence() {
        settings.defaultTimetableId = "default";
        settings.weekdayTimetables[MONDAY] = "monday";
        settings.weekdayTimetables[SATURDAY] = "saturday";
        settings.plannedDays = {{"2026-12-14", "exam"}, {"2026-12-19", NULL_ID}};
    }
    TimetableChoice choose(const std::string& date, int weekday, bool isWorkday, TodayOnlyChoice todayOnly = APPLIES) const {
        return chooseTimetable(settings, date, weekday, isWorkday, todayOnly);
    }
    Settings settings;
};

void expectChoice(const TimetableChoice& choice, const std::string& id, TimetableSource source) {
    EXPECT_EQ(choice.id, id);
    EXPECT_EQ(choice.source, source);
}

TEST_F(Precedence, EachLevelOverridesTheOnesBelow) {
    expectChoice(choose("2026-12-08", 1, WORKDAY), "default", TimetableSource::NORMAL);  // a Tuesday without its own
    expectChoice(choose("2026-12-07", MONDAY, WORKDAY), "monday", TimetableSource::WEEKDAY);
    expectChoice(choose("2026-12-14", MONDAY, WORKDAY), "exam", TimetableSource::PLANNED);
    settings.dailyPreferences.selectedTimetableId = "today";
    expectChoice(choose("2026-12-14", MONDAY, WORKDAY), "today", TimetableSource::DAILY_OVERRIDE);
}

TEST_F(Precedence, PlansAndTheTodayChoiceApplyOnAnyDayTheOthersOnlyOnWorkdays) {
    expectChoice(choose("2026-12-12", SATURDAY, DAY_OFF), NULL_ID, TimetableSource::NORMAL);
    expectChoice(choose("2026-12-12", SATURDAY, WORKDAY), "saturday", TimetableSource::WEEKDAY);
    // A planned day rings even on a holiday; a day planned without bells stays silent on a workday.
    expectChoice(choose("2026-12-14", MONDAY, DAY_OFF), "exam", TimetableSource::PLANNED);
    expectChoice(choose("2026-12-19", SATURDAY, WORKDAY), NULL_ID, TimetableSource::PLANNED);
    settings.dailyPreferences.selectedTimetableId = "today";
    expectChoice(choose("2026-12-13", 6, DAY_OFF), "today", TimetableSource::DAILY_OVERRIDE);
}

TEST_F(Precedence, TheTodayChoiceCountsOnlyForToday) {
    settings.dailyPreferences.selectedTimetableId = "today";
    expectChoice(choose("2026-12-14", MONDAY, WORKDAY, IGNORED), "exam", TimetableSource::PLANNED);
    expectChoice(choose("2026-12-08", 1, WORKDAY, IGNORED), "default", TimetableSource::NORMAL);
}

TEST_F(Precedence, AChoiceEqualToTheOneBelowKeepsItsSource) {
    settings.dailyPreferences.selectedTimetableId = "exam";
    expectChoice(choose("2026-12-14", MONDAY, WORKDAY), "exam", TimetableSource::PLANNED);
    settings.dailyPreferences.selectedTimetableId = "default";
    expectChoice(choose("2026-12-08", 1, WORKDAY), "default", TimetableSource::NORMAL);
}

TEST_F(Precedence, SwitchedOffSchedulerHasNoTimetableWhateverIsPlanned) {
    settings.schedulerEnable = false;
    settings.dailyPreferences.selectedTimetableId = "today";
    expectChoice(choose("2026-12-14", MONDAY, WORKDAY), NULL_ID, TimetableSource::DISABLED);
}

TEST_F(Precedence, AShortOrEmptyWeekdayListFallsBackToTheDefault) {
    settings.weekdayTimetables = {"monday"};
    expectChoice(choose("2026-12-12", SATURDAY, WORKDAY), "default", TimetableSource::NORMAL);
    settings.weekdayTimetables.clear();
    expectChoice(choose("2026-12-07", MONDAY, WORKDAY), "default", TimetableSource::NORMAL);
}

}  // namespace
}  // namespace quorvane
