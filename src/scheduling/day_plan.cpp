#include "scheduling/day_plan.h"

#include <algorithm>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "scheduling/adjusted_day.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

constexpr int64_t DAYS_LOOKED_AHEAD = 366;

DayReason reasonOf(const StateLock& lock, TypeOfDay type, const std::string& date) {
    switch (type) {
        case TypeOfDay::HOLIDAY: return DayReason::HOLIDAY;
        case TypeOfDay::SCHOOL_BREAK: return DayReason::SCHOOL_BREAK;
        case TypeOfDay::EXTRA_WORKDAY: return DayReason::EXTRA_WORKDAY;
        case TypeOfDay::WORKDAY:
        case TypeOfDay::NON_WORKDAY: break;
    }
    // Only the weekday decided; say so when the calendar could not have said otherwise.
    const auto end = calendarDataEnd(lock);
    return !end || date > *end ? DayReason::OUTSIDE_CALENDAR_DATA : DayReason::WEEKDAY_MODE;
}

}  // namespace

std::optional<std::string> calendarDataEnd(const StateLock& lock) {
    const CalendarRegion* region = cache.view(lock).calendarRegions.find(db.view(lock).settings.calendar.syncRegionId);
    if (!region) return std::nullopt;
    if (parseDate(region->validUntil)) return region->validUntil;
    std::optional<std::string> last;
    for (const auto* dates : {&region->holidays, &region->schoolBreaks, &region->extraWorkdays})
        for (const std::string& date : *dates)
            if (parseDate(date) && (!last || date > *last)) last = date;
    return last;
}

DayPlan dayPlanAt(const StateLock& lock, const struct_time& reading) {
    const bool today = dateStringOf(reading) == dateStringOf(getClock());
    DayPlan plan;
    plan.info = activeTimetableInfoAt(lock, reading, today ? TodayOnlyChoice::APPLIES : TodayOnlyChoice::IGNORED);
    plan.dayReason = reasonOf(lock, plan.info.typeOfDay, plan.info.date);
    plan.calendarDataUntil = calendarDataEnd(lock);
    if (const DayAdjustment* adjustment = dayAdjustmentOf(db.view(lock).settings, plan.info.date)) plan.adjustment = *adjustment;
    if (const TimeTable* table = db.view(lock).timetables.find(plan.info.id)) {
        plan.timetableName = table->name;
        plan.bells = bellsOfDay(db.view(lock).settings, plan.info.date, *table);
    }
    return plan;
}

DayPlan dayPlanOf(const StateLock& lock, int64_t dayNumber) {
    const struct_time now = getClock();
    return dayPlanAt(lock, dayNumber == dayNumberOf(now) ? now : midnightOf(dayNumber));
}

std::optional<NextBellDay> nextDayWithBells(const StateLock& lock, int64_t afterDayNumber) {
    for (int64_t day = afterDayNumber + 1; day <= afterDayNumber + DAYS_LOOKED_AHEAD; ++day) {
        const DayPlan plan = dayPlanOf(lock, day);
        const auto rings = std::find_if(plan.bells.begin(), plan.bells.end(), [](const ScheduledBell& bell) { return bell.desc.id != NULL_ID; });
        if (rings != plan.bells.end()) return NextBellDay{plan.info.date, plan.info.dayOfWeek, rings->time};
    }
    return std::nullopt;
}

void startNewDay(DB& database, const struct_time& reading) {
    database.settings.dailyPreferences.resetOnNewDay(reading.tm_yday);
    const std::string today = dateStringOf(reading);
    std::erase_if(database.settings.plannedDays, [&](const PlannedDay& day) { return day.date < today; });
    dropAdjustmentsBefore(database.settings, today);
}

}  // namespace quorvane
