#pragma once
// Changes to planned days and weekday timetables, checked whole before any is applied.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/db.h"

namespace quorvane {

// Names the date or member that is wrong; nothing has been changed.
class PlanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Planning reaches at most this many days past today, and a range covers at most as many.
inline constexpr int64_t MAX_PLAN_DAYS = 366;

// Plans the timetable (NULL_ID: no bells; absent: clears the plan) for every date from `from` to `to`,
// both included, none before today. With `included`, only the days it accepts (by day number) change.
void planDays(Settings& settings, const MapDb<TimeTable>& timetables, const std::string& from, const std::string& to,
              const std::optional<std::string>& timetableId, int64_t todayNumber, const std::function<bool(int64_t)>& included = {});

// A change to one date's adjustment. The shift (from a time on, or all day) and the end are set
// independently: a change that names one keeps the other; clear drops both.
struct DayAdjustmentChange {
    std::string date;
    std::optional<int64_t> shiftMinutes;  // -240 to 240, not 0
    std::string from;                     // HH:MM, or "" for the whole day; only with a shift
    std::optional<std::string> endAfter;  // HH:MM
    bool clear = false;
};
void adjustDay(Settings& settings, const DayAdjustmentChange& change, int64_t todayNumber);

// Replaces the timetables of the weekdays, Monday first: "" for the default timetable.
void setWeekdayTimetables(Settings& settings, const MapDb<TimeTable>& timetables, const std::vector<std::string>& perWeekday);

// Where a timetable is planned: the dates and the weekdays (Monday = 0).
struct TimetableUses {
    std::vector<std::string> dates;
    std::vector<int64_t> weekdays;
    bool empty() const { return dates.empty() && weekdays.empty(); }
};
TimetableUses usesOf(const Settings& settings, const std::string& timetableId);
// Drops those uses: the dates lose their plan, the weekdays fall back to the default.
void clearUses(Settings& settings, const std::string& timetableId);

}  // namespace quorvane
