#include "scheduling/passed_seconds.h"

#include <utility>

#include "model/time_values.h"

namespace quorvane {
namespace {

// One more than a day's seconds: a leap second reads as 23:59:60.
constexpr int64_t SLOTS_IN_A_DAY = SECONDS_IN_A_DAY + 1;

int64_t secondOfDay(const struct_time& reading) { return reading.tm_hour * 3600 + reading.tm_min * 60 + reading.tm_sec; }
int64_t midnightOf(const struct_time& reading) { return wallSeconds(reading) - secondOfDay(reading); }

}  // namespace

const PassedSeconds::Day* PassedSeconds::knownDay(int64_t midnight) const {
    for (const Day& day : _days)
        if (day.midnight == midnight) return &day;
    return nullptr;
}

PassedSeconds::Day& PassedSeconds::dayOf(int64_t midnight) {
    for (Day& day : _days)
        if (day.midnight == midnight) return day;
    // The older day gives way; the newer one stays as the day before.
    Day& older = _days[0].midnight < _days[1].midnight ? _days[0] : _days[1];
    older.midnight = midnight;
    older.passed.assign(SLOTS_IN_A_DAY, false);
    return older;
}

bool PassedSeconds::firstPass(const struct_time& reading) {
    auto slot = dayOf(midnightOf(reading)).passed[static_cast<size_t>(secondOfDay(reading))];
    if (slot) return false;
    slot = true;
    return true;
}

bool PassedSeconds::hasPassed(const struct_time& reading) const {
    const Day* day = knownDay(midnightOf(reading));
    return day && day->passed[static_cast<size_t>(secondOfDay(reading))];
}

}  // namespace quorvane
