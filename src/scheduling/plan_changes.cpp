#include "scheduling/plan_changes.h"

#include <algorithm>

#include "model/calendar_date.h"

namespace quorvane {
namespace {

int64_t dayNumberNamed(const std::string& member, const std::string& text) {
    const auto day = parseDate(text);
    if (!day) throw PlanError("Invalid date in " + member + ": " + text);
    return *day;
}

void requireTimetable(const MapDb<TimeTable>& timetables, const std::string& id, const std::string& member) {
    if (!timetables.contains(id)) throw PlanError("Unknown timetable in " + member + ": " + id);
}

}  // namespace

void planDays(Settings& settings, const MapDb<TimeTable>& timetables, const std::string& from, const std::string& to,
              const std::optional<std::string>& timetableId, int64_t todayNumber) {
    const int64_t first = dayNumberNamed("from", from);
    const int64_t last = dayNumberNamed("to", to);
    if (last < first) throw PlanError("The range ends before it starts: " + from + " to " + to);
    if (last - first + 1 > MAX_PLAN_DAYS) throw PlanError("Range longer than a year: " + from + " to " + to);
    if (first < todayNumber) throw PlanError("Date in the past: " + from);
    if (last - todayNumber > MAX_PLAN_DAYS) throw PlanError("Date more than a year ahead: " + to);
    if (timetableId && *timetableId != NULL_ID) requireTimetable(timetables, *timetableId, "timetableId");

    auto& days = settings.plannedDays;
    std::erase_if(days, [&](const PlannedDay& day) {
        const auto number = parseDate(day.date);
        return number && *number >= first && *number <= last;
    });
    if (timetableId)
        for (int64_t day = first; day <= last; ++day) days.push_back({dateText(day), *timetableId});
    std::sort(days.begin(), days.end(), [](const PlannedDay& a, const PlannedDay& b) { return a.date < b.date; });
}

void setWeekdayTimetables(Settings& settings, const MapDb<TimeTable>& timetables, const std::vector<std::string>& perWeekday) {
    if (perWeekday.size() != DAYS_IN_A_WEEK) throw PlanError("weekdayTimetables must name 7 days, Monday first");
    for (size_t day = 0; day < perWeekday.size(); ++day)
        if (!perWeekday[day].empty()) requireTimetable(timetables, perWeekday[day], "weekdayTimetables[" + std::to_string(day) + "]");
    settings.weekdayTimetables = perWeekday;
}

TimetableUses usesOf(const Settings& settings, const std::string& timetableId) {
    TimetableUses uses;
    for (const PlannedDay& day : settings.plannedDays)
        if (day.timetableId == timetableId) uses.dates.push_back(day.date);
    for (size_t day = 0; day < settings.weekdayTimetables.size(); ++day)
        if (settings.weekdayTimetables[day] == timetableId) uses.weekdays.push_back(static_cast<int64_t>(day));
    return uses;
}

void clearUses(Settings& settings, const std::string& timetableId) {
    std::erase_if(settings.plannedDays, [&](const PlannedDay& day) { return day.timetableId == timetableId; });
    for (std::string& weekday : settings.weekdayTimetables)
        if (weekday == timetableId) weekday.clear();
}

}  // namespace quorvane
