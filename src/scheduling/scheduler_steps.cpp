#include "scheduling/scheduler_steps.h"

#include "audio/journal_sink.h"
#include "scheduling/bell_journal.h"
#include "scheduling/day_plan.h"
#include "scheduling/heartbeat_worker.h"
#include "scheduling/missed_bells.h"
#include "scheduling/record_saving.h"
#include "storage/stored_records.h"

namespace quorvane {

SchedulerSteps defaultSchedulerSteps(PlayRequest play) {
    SchedulerSteps steps;
    steps.phoneHome = startHeartbeat;
    steps.processSecond = [play](const struct_time& reading) {
        noteSchedulerPass(reading);
        StateLock lock;
        // Only a new day changes the preferences and the plans; leaving them untouched otherwise spares
        // the auto-save the fingerprint walk on every second.
        if (db.view(lock).settings.dailyPreferences._lastDay != reading.tm_yday) startNewDay(db.edit(lock), reading);
        triggerScheduledSoundsAt(lock, reading, play);
        journalSwitchedOffSecond(lock, reading);
    };
    steps.saveStoredRecords = saveStoredRecords;
    steps.missedBetween = [](const struct_time& from, const struct_time& to, OutcomeReason why, const DuePassed& hasPassed) {
        StateLock lock;
        journalMissedBetween(lock, from, to, why, hasPassed);
    };
    steps.clockSetBack = [](const struct_time& to, int64_t seconds) { toJournal(clockSetBackNote(to, seconds)); };
    return steps;
}

}  // namespace quorvane
