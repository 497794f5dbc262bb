#include "scheduling/adjusted_day.h"

#include <algorithm>
#include <optional>

#include "model/errors.h"

namespace quorvane {
namespace {

// A stored time of the adjustment; absent when empty (or unreadable, from a file edited by hand).
std::optional<int> secondsOf(const std::string& text) {
    if (text.empty()) return std::nullopt;
    try {
        return TimeOfDay::decode(text).toSecondsOfDay();
    } catch (const ValueError&) {
        return std::nullopt;
    }
}

// The bell a pre-signal announces (its lesson's start or end); the bell itself for the others.
const ScheduledBell& announcedBell(const std::vector<ScheduledBell>& bells, const ScheduledBell& bell) {
    const BellKind announced = bell.kind == BellKind::PRE_START ? BellKind::LESSON_START
                               : bell.kind == BellKind::PRE_END ? BellKind::LESSON_END
                                                                : bell.kind;
    if (announced == bell.kind) return bell;
    const auto found =
        std::find_if(bells.begin(), bells.end(), [&](const ScheduledBell& other) { return other.kind == announced && other.lesson == bell.lesson; });
    return found == bells.end() ? bell : *found;
}

}  // namespace

const DayAdjustment* dayAdjustmentOf(const Settings& settings, const std::string& date) {
    const auto& adjustments = settings.dayAdjustments;
    const auto found = std::find_if(adjustments.begin(), adjustments.end(), [&](const DayAdjustment& day) { return day.date == date; });
    return found == adjustments.end() ? nullptr : &*found;
}

std::vector<ScheduledBell> adjustedBells(std::vector<ScheduledBell> bells, const DayAdjustment& adjustment) {
    const int shift = static_cast<int>(adjustment.shiftMinutes) * 60;
    const int from = secondsOf(adjustment.from).value_or(0);
    const auto endAfter = secondsOf(adjustment.endAfter);
    const auto moves = [&](const ScheduledBell& bell) { return shift != 0 && bell.time.toSecondsOfDay() >= from; };
    const auto ringsAt = [&](const ScheduledBell& bell) { return bell.time.toSecondsOfDay() + (moves(bell) ? shift : 0); };

    std::vector<ScheduledBell> adjusted;
    for (const ScheduledBell& bell : bells) {
        const ScheduledBell& announced = announcedBell(bells, bell);
        const int seconds = ringsAt(announced) - announced.time.toSecondsOfDay() + bell.time.toSecondsOfDay();
        if (seconds < 0 || seconds >= SECONDS_IN_A_DAY) continue;
        if (endAfter && (seconds > *endAfter || ringsAt(announced) > *endAfter)) continue;
        ScheduledBell kept = bell;
        if (moves(announced)) {
            kept.planned = bell.time.asString();
            kept.time = TimeOfDay::fromSecondsOfDay(seconds);
        }
        adjusted.push_back(std::move(kept));
    }
    std::stable_sort(adjusted.begin(), adjusted.end(),
                     [](const ScheduledBell& a, const ScheduledBell& b) { return a.time.toSecondsOfDay() < b.time.toSecondsOfDay(); });
    return adjusted;
}

std::vector<ScheduledBell> bellsOfDay(const Settings& settings, const std::string& date, const TimeTable& timetable) {
    std::vector<ScheduledBell> bells = bellsOf(timetable);
    if (const DayAdjustment* adjustment = dayAdjustmentOf(settings, date)) return adjustedBells(std::move(bells), *adjustment);
    return bells;
}

void dropAdjustmentsBefore(Settings& settings, const std::string& date) {
    std::erase_if(settings.dayAdjustments, [&](const DayAdjustment& day) { return day.date < date; });
}

}  // namespace quorvane
