#include "scheduling/metrics_reading.h"

#include "audio/player.h"
#include "model/journal_entry.h"
#include "model/time_reading.h"
#include "scheduling/day_plan.h"
#include "scheduling/next_bell.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

std::optional<int64_t> daysFromTo(const std::string& earlier, const std::string& later) {
    const auto a = parseDateText(earlier.substr(0, 10)), b = parseDateText(later.substr(0, 10));
    if (!a || !b) return std::nullopt;
    return (wallSeconds(*b) - wallSeconds(*a)) / SECONDS_IN_A_DAY;
}

}  // namespace

MetricsReading readMetrics(const HealthSources& sources) {
    MetricsReading reading;
    reading.counts = EventCounts::read();
    if (const auto last = sources.lastPass()) reading.secondsSinceLastPass = std::chrono::duration<double>(sources.steadyNow() - *last).count();
    const struct_time now = sources.today();
    const std::string today = dateStringOf(now);
    {
        StateLock lock;
        if (const auto next = nextBellToday(lock, now))
            reading.secondsToNextBell = next->time.toSecondsOfDay() - TimeOfDay::fromTimeStruct(now).toSecondsOfDay();
        const std::string& lastSync = cache.view(lock).calendarLastUpdated;
        if (!lastSync.empty()) reading.daysSinceCalendarSync = daysFromTo(lastSync, today);
        if (const auto end = calendarDataEnd(lock)) reading.calendarDaysLeft = daysFromTo(today, *end);
        reading.playerName = db.view(lock).settings.playerName;
    }
    for (const HealthCheck& check : runHealthChecks(sources)) reading.checks.emplace_back(check.name, check.status);
    reading.activePlays = Player::activePlays();
    return reading;
}

}  // namespace quorvane
