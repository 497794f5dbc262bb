#pragma once
// Journal entries of a timetable's bells.
#include <exception>
#include <string>

#include "core/state_lock.h"
#include "model/db.h"
#include "model/journal_entry.h"
#include "scheduling/day_bells.h"

namespace quorvane {

PlayKind playKindOf(BellKind kind);

// The entry of a bell due at the second of `due`: its kind, timetable, lesson or slot and signal.
JournalEntry bellEntry(const StateLock& lock, const ScheduledBell& bell, const struct_time& due, const std::string& timetableId,
                       const TimeTable& timetable);

// The bell's entry as failed by a playback request that threw (a signal deleted from the table).
JournalEntry failedBell(JournalEntry entry, const std::exception& error);

}  // namespace quorvane
