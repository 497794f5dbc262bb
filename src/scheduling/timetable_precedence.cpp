#include "scheduling/timetable_precedence.h"

#include <algorithm>

namespace quorvane {

const PlannedDay* plannedDayOf(const Settings& settings, const std::string& date) {
    const auto& days = settings.plannedDays;
    const auto found = std::find_if(days.begin(), days.end(), [&](const PlannedDay& day) { return day.date == date; });
    return found == days.end() ? nullptr : &*found;
}

TimetableChoice chooseTimetable(const Settings& settings, const std::string& date, int dayOfWeek, bool isWorkday, TodayOnlyChoice todayOnly,
                                bool asIfSwitchedOn) {
    if (!settings.schedulerEnable && !asIfSwitchedOn) return {NULL_ID, TimetableSource::DISABLED};

    // From the lowest precedence up; each level replaces what the levels below chose.
    TimetableChoice choice{isWorkday ? settings.defaultTimetableId : std::string(NULL_ID), TimetableSource::NORMAL};
    const auto weekday = static_cast<size_t>(dayOfWeek);
    if (isWorkday && weekday < settings.weekdayTimetables.size() && !settings.weekdayTimetables[weekday].empty())
        choice = {settings.weekdayTimetables[weekday], TimetableSource::WEEKDAY};
    if (const PlannedDay* planned = plannedDayOf(settings, date)) choice = {planned->timetableId, TimetableSource::PLANNED};
    const auto& daily = settings.dailyPreferences.selectedTimetableId;
    if (todayOnly == TodayOnlyChoice::APPLIES && daily && *daily != choice.id) choice = {*daily, TimetableSource::DAILY_OVERRIDE};
    if (!settings.schedulerEnable) choice.source = TimetableSource::DISABLED;
    return choice;
}

}  // namespace quorvane
