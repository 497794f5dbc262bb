#pragma once
// Bells that were due and did not ring: while the player was not running, while the scheduler was
// switched off, and in a jump of the clock too long to catch up. Which bells were due comes from the
// trigger's own bell list and timetable choice.
#include <functional>
#include <vector>

#include "core/state_lock.h"
#include "model/journal_entry.h"
#include "model/time_reading.h"

namespace quorvane {

// No bell further back than the journal keeps days is looked for.
inline constexpr int64_t MISSED_BELLS_LOOK_BACK_DAYS = 100;

// The bells due strictly between two readings, as missed entries for the reason (for the scheduler's
// switch when it was off), in time order; none due at a second `hasPassed` names (it was processed).
std::vector<JournalEntry> missedBellsBetween(const StateLock& lock, const struct_time& from, const struct_time& to, OutcomeReason reason,
                                             const std::function<bool(const struct_time&)>& hasPassed = {});
// The same, handed to the journal.
void journalMissedBetween(const StateLock& lock, const struct_time& from, const struct_time& to, OutcomeReason reason,
                          const std::function<bool(const struct_time&)>& hasPassed = {});
// While the scheduler is switched off: the bells its timetable would have rung at this second.
void journalSwitchedOffSecond(const StateLock& lock, const struct_time& reading);

}  // namespace quorvane
