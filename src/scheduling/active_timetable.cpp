#include "scheduling/active_timetable.h"

#include <exception>

#include "audio/journal_sink.h"
#include "audio/signals.h"
#include "core/clock.h"
#include "scheduling/bell_entries.h"
#include "scheduling/day_bells.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// One playback request of the scheduler. A failing request (a signal deleted from the table) is logged,
// journaled, and must not keep the other signals of the second from ringing.
void ring(const StateLock& lock, const PlayRequest& play, const ScheduledBell& bell, JournalEntry entry) {
    try {
        if (play) play(lock, bell.desc);
        else playSignalByDescriptor(lock, bell.desc, entry);  // a copy: the failure below still needs it
    } catch (const std::exception& error) {
        logSchedulerError(error.what());
        if (!play) toJournal(failedBell(std::move(entry), error));
    }
}

TimetableInfo chooseTimetable(const StateLock& lock, const struct_time& reading, bool asIfSwitchedOn, bool choiceOnlyOnItsDay) {
    TimetableInfo info;
    info.date = dateStringOf(reading);
    info.dayOfWeek = reading.tm_wday;
    info.typeOfDay = calculateTypeOfDayWithCalendar(lock, reading.tm_wday, info.date);
    const bool isWorkday = info.typeOfDay == TypeOfDay::WORKDAY || info.typeOfDay == TypeOfDay::EXTRA_WORKDAY;

    const Settings& settings = db.view(lock).settings;
    if (!settings.schedulerEnable && !asIfSwitchedOn) {
        info.id = NULL_ID;
        info.source = TimetableSource::DISABLED;
        return info;
    }
    info.id = isWorkday ? settings.defaultTimetableId : std::string(NULL_ID);
    info.source = TimetableSource::NORMAL;
    const DailyPreferences& daily = settings.dailyPreferences;
    if (daily.selectedTimetableId && (!choiceOnlyOnItsDay || daily._lastDay == reading.tm_yday)) {
        if (*daily.selectedTimetableId != info.id) info.source = TimetableSource::DAILY_OVERRIDE;
        info.id = *daily.selectedTimetableId;
    }
    if (!settings.schedulerEnable) info.source = TimetableSource::DISABLED;
    return info;
}

}  // namespace

TimetableInfo activeTimetableInfoAt(const StateLock& lock, const struct_time& reading) {
    return chooseTimetable(lock, reading, false, false);
}

TimetableInfo timetableDueAt(const StateLock& lock, const struct_time& reading) { return chooseTimetable(lock, reading, true, true); }

TimetableInfo getActiveTimetableInfo(const StateLock& lock) { return activeTimetableInfoAt(lock, getClock()); }

void triggerScheduledSoundsAt(const StateLock& lock, const struct_time& now, const PlayRequest& play) {
    const std::string id = activeTimetableInfoAt(lock, now).id;
    const TimeTable* table = db.view(lock).timetables.find(id);
    if (!table) return;

    const TimeOfDay second = TimeOfDay::fromTimeStruct(now);
    for (const ScheduledBell& bell : bellsOf(*table))
        if (bell.time == second) ring(lock, play, bell, bellEntry(lock, bell, now, id, *table));
}

void triggerScheduledSounds(const StateLock& lock) { triggerScheduledSoundsAt(lock, getClock()); }

}  // namespace quorvane
