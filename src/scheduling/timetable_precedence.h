#pragma once
// Which timetable a day gets, and why: the one place that orders the choices.
#include <string>
#include <utility>

#include "model/db.h"
#include "model/record.h"

namespace quorvane {

enum class TimetableSource { DISABLED, NORMAL, DAILY_OVERRIDE, PLANNED, WEEKDAY };
template <>
struct EnumTexts<TimetableSource> {
    static constexpr std::pair<TimetableSource, const char*> values[] = {{TimetableSource::DISABLED, "DISABLED"},
                                                                         {TimetableSource::NORMAL, "NORMAL"},
                                                                         {TimetableSource::DAILY_OVERRIDE, "DAILY_OVERRIDE"},
                                                                         {TimetableSource::PLANNED, "PLANNED"},
                                                                         {TimetableSource::WEEKDAY, "WEEKDAY"}};
};

// Whether the timetable chosen "for today only" counts: for the day the scheduler is in, not for a
// day asked about in advance (the day change clears the choice before that day starts).
enum class TodayOnlyChoice { APPLIES, IGNORED };

struct TimetableChoice {
    std::string id = NULL_ID;
    TimetableSource source = TimetableSource::NORMAL;
};

// The order of precedence, highest first: the choice for today only, a planned day, the weekday's
// timetable, the default timetable. The first two apply on any type of day (a planned "NULL" is a day
// without bells); the last two only on workdays. A switched-off scheduler has no timetable. A choice
// equal to the one it overrides keeps the lower source. asIfSwitchedOn: with the scheduler off, the
// timetable it would ring, the source staying DISABLED (for the bells it missed).
TimetableChoice chooseTimetable(const Settings& settings, const std::string& date, int dayOfWeek, bool isWorkday, TodayOnlyChoice todayOnly,
                                bool asIfSwitchedOn = false);

// The planned entry of a date, if any.
const PlannedDay* plannedDayOf(const Settings& settings, const std::string& date);

}  // namespace quorvane
