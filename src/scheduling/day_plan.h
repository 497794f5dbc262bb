#pragma once
// Any day's bells in advance, answered by the functions that ring them: the active timetable for a
// reading of that day and the bells of that timetable.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/state_lock.h"
#include "model/db.h"
#include "model/record.h"
#include "model/time_reading.h"
#include "scheduling/active_timetable.h"
#include "scheduling/day_bells.h"

namespace quorvane {

// Why a day is of its type.
enum class DayReason { WEEKDAY_MODE, HOLIDAY, SCHOOL_BREAK, EXTRA_WORKDAY, OUTSIDE_CALENDAR_DATA };
template <>
struct EnumTexts<DayReason> {
    static constexpr std::pair<DayReason, const char*> values[] = {{DayReason::WEEKDAY_MODE, "WEEKDAY_MODE"},
                                                                   {DayReason::HOLIDAY, "HOLIDAY"},
                                                                   {DayReason::SCHOOL_BREAK, "SCHOOL_BREAK"},
                                                                   {DayReason::EXTRA_WORKDAY, "EXTRA_WORKDAY"},
                                                                   {DayReason::OUTSIDE_CALENDAR_DATA, "OUTSIDE_CALENDAR_DATA"}};
};

struct DayPlan {
    TimetableInfo info;
    DayReason dayReason = DayReason::WEEKDAY_MODE;
    std::optional<std::string> calendarDataUntil;  // the last date the region's data covers
    std::optional<std::string> timetableName;      // absent when no stored timetable is in force
    std::optional<DayAdjustment> adjustment;       // the day's late start or early end
    std::vector<ScheduledBell> bells;              // what the scheduler rings that day, in order
};

// The plan of the day of the reading. The shared clock's day counts the choice for today only, as the
// scheduler does; any other day is seen as the scheduler will see it when it comes.
DayPlan dayPlanAt(const StateLock& lock, const struct_time& reading);
// The same for a day number; today's plan uses the shared clock reading itself.
DayPlan dayPlanOf(const StateLock& lock, int64_t dayNumber);

// The last date of the synchronised region's data: its "validUntil" when that is a date, otherwise
// the latest date it lists. Absent without data.
std::optional<std::string> calendarDataEnd(const StateLock& lock);

// The first day after the given one, at most a year on, whose timetable rings a signal; with its first
// bell that plays something.
struct NextBellDay {
    std::string date;
    int64_t dayOfWeek = 0;
    TimeOfDay time;
};
std::optional<NextBellDay> nextDayWithBells(const StateLock& lock, int64_t afterDayNumber);

// The day change, before the first bell of the new day: the choice for today only is cleared, and
// planned days and adjustments before the new date are dropped.
void startNewDay(DB& database, const struct_time& reading);

}  // namespace quorvane
