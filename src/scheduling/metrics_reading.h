#pragma once
// What a monitoring tool is told about this player, read at the moment it asks: the counts since start
// and the state now. The web layer writes it in the tool's format.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/event_counts.h"
#include "scheduling/health_checks.h"

namespace quorvane {

struct MetricsReading {
    EventCountsReading counts;
    std::optional<double> secondsSinceLastPass;  // none before the scheduler's first pass
    std::optional<int64_t> secondsToNextBell;    // none when no bell is left today
    std::optional<int64_t> daysSinceCalendarSync;
    std::optional<int64_t> calendarDaysLeft;  // days the chosen region's data still covers
    std::vector<std::pair<std::string, HealthStatus>> checks;
    size_t activePlays = 0;
    std::string playerName;
    std::string version;  // the running program's; left to the caller, who knows how it asks for it
};

// Takes the state lock itself, more than once; the checks run as the health view runs them.
MetricsReading readMetrics(const HealthSources& sources);

}  // namespace quorvane
