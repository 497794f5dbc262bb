#pragma once
#include <functional>

#include "model/journal_entry.h"
#include "model/time_reading.h"
#include "scheduling/active_timetable.h"

namespace quorvane {

using DuePassed = std::function<bool(const struct_time&)>;

// What a pass does besides keeping time; tests replace the steps with recording ones.
struct SchedulerSteps {
    std::function<void()> phoneHome;                        // must not block: hands over to a worker
    std::function<void(const struct_time&)> processSecond;  // daily reset, then the signals due at that second
    std::function<void()> saveStoredRecords;                // the three auto-saves
    // The seconds strictly between two readings that no pass processed and none will ring; those that
    // hasPassed names were processed earlier (before the clock was set back) and missed nothing.
    std::function<void(const struct_time& from, const struct_time& to, OutcomeReason why, const DuePassed& hasPassed)> missedBetween;
    // The wall clock was set back by a number of seconds, to the reading.
    std::function<void(const struct_time& to, int64_t seconds)> clockSetBack;
    std::function<void()> afterPass;  // the end of every pass: the service watchdog
};

// The steps of the running system. Tests may stand in a recorder for the playback requests.
SchedulerSteps defaultSchedulerSteps(PlayRequest play = {});

}  // namespace quorvane
