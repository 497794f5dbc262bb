#pragma once
// A date's bells as they ring: the bells of the timetable the date uses, with the date's adjustment
// (a late start, an early end) applied. The scheduler, the missed-bell accounting and the previews all
// take a day's bells from here, so that what a preview shows is what rings.
#include <string>
#include <vector>

#include "model/db.h"
#include "scheduling/day_bells.h"

namespace quorvane {

// The adjustment kept for a date; null when the date has none.
const DayAdjustment* dayAdjustmentOf(const Settings& settings, const std::string& date);

// The bells moved and cut as the adjustment says, in time order. A pre-signal goes with the bell it
// announces: it moves when its lesson's bell moves and falls silent when that bell does. A bell moved
// out of the day (before midnight or past the day's end) does not ring that day. Moved bells keep
// their timetable time in `planned`.
std::vector<ScheduledBell> adjustedBells(std::vector<ScheduledBell> bells, const DayAdjustment& adjustment);

// The bells a timetable rings on a date, adjusted for that date.
std::vector<ScheduledBell> bellsOfDay(const Settings& settings, const std::string& date, const TimeTable& timetable);

// Drops the adjustments of dates before the given one.
void dropAdjustmentsBefore(Settings& settings, const std::string& date);

}  // namespace quorvane
