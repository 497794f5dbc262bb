#include "scheduling/missed_bells.h"

#include <algorithm>

#include "audio/journal_sink.h"
#include "scheduling/active_timetable.h"
#include "scheduling/adjusted_day.h"
#include "scheduling/bell_entries.h"
#include "scheduling/day_bells.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

JournalEntry missedEntry(const StateLock& lock, const ScheduledBell& bell, const struct_time& due, const TimetableInfo& info, const TimeTable& table,
                         OutcomeReason reason) {
    JournalEntry entry = bellEntry(lock, bell, due, info.id, table);
    entry.outcome = PlayOutcome::MISSED;
    entry.reason = info.source == TimetableSource::DISABLED ? OutcomeReason::SCHEDULER_OFF : reason;
    return entry;
}

// A play description without a signal rings nothing: no bell to miss.
bool rings(const ScheduledBell& bell) { return bell.desc.id != NULL_ID; }

}  // namespace

std::vector<JournalEntry> missedBellsBetween(const StateLock& lock, const struct_time& from, const struct_time& to, OutcomeReason reason,
                                             const std::function<bool(const struct_time&)>& hasPassed) {
    std::vector<JournalEntry> missed;
    const int64_t first = wallSeconds(from), last = wallSeconds(to);
    const int64_t lookBack = last - MISSED_BELLS_LOOK_BACK_DAYS * SECONDS_IN_A_DAY;
    int64_t midnight = std::max(first, lookBack);
    midnight -= ((midnight % SECONDS_IN_A_DAY) + SECONDS_IN_A_DAY) % SECONDS_IN_A_DAY;
    for (; midnight < last; midnight += SECONDS_IN_A_DAY) {
        const struct_time day = wallReading(midnight);
        const TimetableInfo info = timetableDueAt(lock, day);
        const TimeTable* table = db.view(lock).timetables.find(info.id);
        if (!table) continue;
        for (const ScheduledBell& bell : bellsOfDay(db.view(lock).settings, info.date, *table)) {
            const int64_t due = midnight + bell.time.toSecondsOfDay();
            if (due <= first || due >= last || due <= lookBack || !rings(bell)) continue;
            const struct_time dueReading = wallReading(due);
            if (!hasPassed || !hasPassed(dueReading)) missed.push_back(missedEntry(lock, bell, dueReading, info, *table, reason));
        }
    }
    return missed;
}

void journalMissedBetween(const StateLock& lock, const struct_time& from, const struct_time& to, OutcomeReason reason,
                          const std::function<bool(const struct_time&)>& hasPassed) {
    for (JournalEntry& entry : missedBellsBetween(lock, from, to, reason, hasPassed)) toJournal(std::move(entry));
}

void journalSwitchedOffSecond(const StateLock& lock, const struct_time& reading) {
    if (db.view(lock).settings.schedulerEnable) return;
    const TimetableInfo info = timetableDueAt(lock, reading);
    const TimeTable* table = db.view(lock).timetables.find(info.id);
    if (!table) return;
    const TimeOfDay second = TimeOfDay::fromTimeStruct(reading);
    for (const ScheduledBell& bell : bellsOfDay(db.view(lock).settings, info.date, *table))
        if (bell.time == second && rings(bell)) toJournal(missedEntry(lock, bell, reading, info, *table, OutcomeReason::SCHEDULER_OFF));
}

}  // namespace quorvane
