#pragma once
// The one-line status an administrator sees in `systemctl status`: what the scheduler will ring next.
#include <optional>
#include <string>

#include "core/state_lock.h"
#include "model/time_reading.h"
#include "scheduling/day_bells.h"

namespace quorvane {

// "Next bell 08:00, Lesson 1 start" for the active timetable at the reading; "Scheduler off",
// "No bells today" or "No more bells today" when nothing is left to ring today. Signals set to "NULL"
// play nothing and are passed over.
std::string nextBellStatus(const StateLock& lock, const struct_time& reading);

// The next bell after the reading that plays something, today; none when the bells are off or none is left.
std::optional<ScheduledBell> nextBellToday(const StateLock& lock, const struct_time& reading);

}  // namespace quorvane
