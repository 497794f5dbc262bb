#include "scheduling/day_type.h"

#include <algorithm>

#include "model/calendar_date.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

bool listed(const std::vector<std::string>& dates, const std::string& date) { return std::find(dates.begin(), dates.end(), date) != dates.end(); }

}  // namespace

TypeOfDay calculateTypeOfDayWithCalendar(const StateLock& lock, int dayOfWeek, const std::string& dateStr) {
    const CalendarSettings& calendar = db.view(lock).settings.calendar;
    // A holiday outranks an extra workday, which outranks a school break; all outrank the weekday.
    if (const CalendarRegion* region = cache.view(lock).calendarRegions.find(calendar.syncRegionId)) {
        if (listed(region->holidays, dateStr)) return TypeOfDay::HOLIDAY;
        if (listed(region->extraWorkdays, dateStr)) return TypeOfDay::EXTRA_WORKDAY;
        if (region->provideHolidays && calendar.syncSchoolHolidays && listed(region->schoolBreaks, dateStr)) return TypeOfDay::SCHOOL_BREAK;
    }
    const std::vector<int> workdays = calendar.getWorkdays();
    return std::find(workdays.begin(), workdays.end(), dayOfWeek) != workdays.end() ? TypeOfDay::WORKDAY : TypeOfDay::NON_WORKDAY;
}

TypeOfDay typeOfDayNumber(const StateLock& lock, int64_t dayNumber) {
    return calculateTypeOfDayWithCalendar(lock, midnightOf(dayNumber).tm_wday, dateText(dayNumber));
}

}  // namespace quorvane
