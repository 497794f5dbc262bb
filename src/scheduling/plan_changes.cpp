#include "scheduling/plan_changes.h"

#include <algorithm>
#include <iterator>

#include "model/calendar_date.h"

namespace quorvane {
namespace {

int64_t dayNumberNamed(const std::string& member, const std::string& text) {
    const auto day = parseDate(text);
    if (!day) throw PlanError("Invalid date in " + member + ": " + text);
    return *day;
}

// A day to plan: today or later, at most a year ahead.
void requirePlannable(int64_t day, const std::string& text, int64_t todayNumber) {
    if (day < todayNumber) throw PlanError("Date in the past: " + text);
    if (day - todayNumber > MAX_PLAN_DAYS) throw PlanError("Date more than a year ahead: " + text);
}

// A clock time written HH:MM, as the browser's time fields send it.
void requireClockTime(const std::string& member, const std::string& text) {
    const auto digit = [&](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    const bool shaped = text.size() == 5 && text[2] == ':' && digit(0) && digit(1) && digit(3) && digit(4);
    if (!shaped || std::stoi(text.substr(0, 2)) > 23 || std::stoi(text.substr(3, 2)) > 59)
        throw PlanError("Invalid " + member + ": expected a time written HH:MM, found " + text);
}

void requireTimetable(const MapDb<TimeTable>& timetables, const std::string& id, const std::string& member) {
    if (!timetables.contains(id)) throw PlanError("Unknown timetable in " + member + ": " + id);
}

}  // namespace

void planDays(Settings& settings, const MapDb<TimeTable>& timetables, const std::string& from, const std::string& to,
              const std::optional<std::string>& timetableId, int64_t todayNumber, const std::function<bool(int64_t)>& included) {
    const int64_t first = dayNumberNamed("from", from);
    const int64_t last = dayNumberNamed("to", to);
    if (last < first) throw PlanError("The range ends before it starts: " + from + " to " + to);
    if (last - first + 1 > MAX_PLAN_DAYS) throw PlanError("Range longer than a year: " + from + " to " + to);
    requirePlannable(first, from, todayNumber);
    requirePlannable(last, to, todayNumber);
    if (timetableId && *timetableId != NULL_ID) requireTimetable(timetables, *timetableId, "timetableId");

    const auto changes = [&](int64_t day) { return day >= first && day <= last && (!included || included(day)); };
    auto& days = settings.plannedDays;
    std::erase_if(days, [&](const PlannedDay& day) {
        const auto number = parseDate(day.date);
        return number && changes(*number);
    });
    if (timetableId)
        for (int64_t day = first; day <= last; ++day)
            if (changes(day)) days.push_back({dateText(day), *timetableId});
    std::sort(days.begin(), days.end(), [](const PlannedDay& a, const PlannedDay& b) { return a.date < b.date; });
}

void adjustDay(Settings& settings, const DayAdjustmentChange& change, int64_t todayNumber) {
    requirePlannable(dayNumberNamed("date", change.date), change.date, todayNumber);
    if (!change.from.empty() && !change.shiftMinutes) throw PlanError("Invalid from: it needs shiftMinutes");
    const bool changes = change.shiftMinutes || change.endAfter;
    if (change.clear == changes) throw PlanError("An adjustment gives shiftMinutes, endAfter or both, or clear alone");
    if (change.shiftMinutes) {
        const int64_t minutes = *change.shiftMinutes;
        if (minutes == 0 || minutes < -DayAdjustment::MAX_SHIFT_MINUTES || minutes > DayAdjustment::MAX_SHIFT_MINUTES)
            throw PlanError("Invalid shiftMinutes: expected minutes from -240 to 240, not 0, found " + std::to_string(minutes));
        if (!change.from.empty()) requireClockTime("from", change.from);
    }
    if (change.endAfter) requireClockTime("endAfter", *change.endAfter);

    auto& adjustments = settings.dayAdjustments;
    auto found = std::find_if(adjustments.begin(), adjustments.end(), [&](const DayAdjustment& day) { return day.date == change.date; });
    if (change.clear) {
        if (found != adjustments.end()) adjustments.erase(found);
        return;
    }
    if (found == adjustments.end()) {
        adjustments.push_back({change.date});
        found = std::prev(adjustments.end());
    }
    if (change.shiftMinutes) {
        found->shiftMinutes = *change.shiftMinutes;
        found->from = change.from;
    }
    if (change.endAfter) found->endAfter = *change.endAfter;
    std::sort(adjustments.begin(), adjustments.end(), [](const DayAdjustment& a, const DayAdjustment& b) { return a.date < b.date; });
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
