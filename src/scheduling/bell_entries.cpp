#include "scheduling/bell_entries.h"

#include "model/errors.h"
#include "storage/stored_records.h"

namespace quorvane {

PlayKind playKindOf(BellKind kind) {
    switch (kind) {
        case BellKind::LESSON_START: return PlayKind::LESSON_START;
        case BellKind::LESSON_END: return PlayKind::LESSON_END;
        case BellKind::PRE_START: return PlayKind::PRE_START;
        case BellKind::PRE_END: return PlayKind::PRE_END;
        case BellKind::EXTRA_PLAY: return PlayKind::EXTRA_PLAY;
    }
    return PlayKind::EXTRA_PLAY;
}

JournalEntry bellEntry(const StateLock& lock, const ScheduledBell& bell, const struct_time& due, const std::string& timetableId,
                       const TimeTable& timetable) {
    JournalEntry entry;
    entry.due = journalMoment(due);
    if (bell.planned) {
        const TimeOfDay planned = TimeOfDay::decode(*bell.planned);
        struct_time plannedReading = due;
        plannedReading.tm_hour = planned.h;
        plannedReading.tm_min = planned.m;
        plannedReading.tm_sec = planned.s;
        entry.planned = journalMoment(plannedReading);
    }
    entry.kind = playKindOf(bell.kind);
    entry.timetableId = timetableId;
    entry.timetableName = timetable.name;
    entry.lesson = bell.lesson;
    entry.extra = bell.extra;
    entry.slot = bell.slot;
    entry.signalId = bell.desc.id;
    if (const AudioAsset* signal = db.view(lock).signals.find(bell.desc.id)) entry.signalName = signal->name;
    return entry;
}

JournalEntry failedBell(JournalEntry entry, const std::exception& error) {
    entry.outcome = PlayOutcome::FAILED;
    const auto* missing = dynamic_cast<const KeyError*>(&error);
    entry.reason = missing ? OutcomeReason::SIGNAL_MISSING : OutcomeReason::PLAYER_NOT_STARTED;
    entry.detail = missing ? "The signal '" + entry.signalId + "' is not in the signal table" : error.what();
    return entry;
}

}  // namespace quorvane
