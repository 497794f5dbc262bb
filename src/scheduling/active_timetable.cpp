#include "scheduling/active_timetable.h"

#include <exception>

#include "audio/emergency.h"
#include "audio/journal_sink.h"
#include "audio/signals.h"
#include "core/clock.h"
#include "scheduling/adjusted_day.h"
#include "scheduling/bell_entries.h"
#include "scheduling/day_bells.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// One playback request of the scheduler. A failing request (a signal deleted from the table) is logged,
// journaled, and must not keep the other signals of the second from ringing. During a lockdown or an
// evacuation a bell would send pupils into the corridors: it is journaled as missed instead.
void ring(const StateLock& lock, const PlayRequest& play, const ScheduledBell& bell, JournalEntry entry) {
    if (Emergency::silencesBells()) {
        entry.outcome = PlayOutcome::MISSED;
        entry.reason = OutcomeReason::EMERGENCY;
        return toJournal(std::move(entry));
    }
    try {
        if (play) play(lock, bell.desc);
        else playSignalByDescriptor(lock, bell.desc, entry);  // a copy: the failure below still needs it
    } catch (const std::exception& error) {
        logSchedulerError(error.what());
        if (!play) toJournal(failedBell(std::move(entry), error));
    }
}

// The timetable of a reading and why. asIfSwitchedOn: with the scheduler off, the one it would ring,
// the source staying DISABLED.
TimetableInfo timetableInfoAt(const StateLock& lock, const struct_time& reading, TodayOnlyChoice todayOnly, bool asIfSwitchedOn) {
    TimetableInfo info;
    info.date = dateStringOf(reading);
    info.dayOfWeek = reading.tm_wday;
    info.typeOfDay = calculateTypeOfDayWithCalendar(lock, reading.tm_wday, info.date);
    const bool isWorkday = isWorkingDayType(info.typeOfDay);
    const TimetableChoice choice = chooseTimetable(db.view(lock).settings, info.date, reading.tm_wday, isWorkday, todayOnly, asIfSwitchedOn);
    info.id = choice.id;
    info.source = choice.source;
    return info;
}

}  // namespace

TimetableInfo activeTimetableInfoAt(const StateLock& lock, const struct_time& reading, TodayOnlyChoice todayOnly) {
    return timetableInfoAt(lock, reading, todayOnly, false);
}

TimetableInfo timetableDueAt(const StateLock& lock, const struct_time& reading) {
    // The choice for today only counts on the day it was made for.
    const bool choiceDay = db.view(lock).settings.dailyPreferences._lastDay == reading.tm_yday;
    return timetableInfoAt(lock, reading, choiceDay ? TodayOnlyChoice::APPLIES : TodayOnlyChoice::IGNORED, true);
}

TimetableInfo getActiveTimetableInfo(const StateLock& lock) { return activeTimetableInfoAt(lock, getClock()); }

void triggerScheduledSoundsAt(const StateLock& lock, const struct_time& now, const PlayRequest& play) {
    const TimetableInfo info = activeTimetableInfoAt(lock, now);
    const TimeTable* table = db.view(lock).timetables.find(info.id);
    if (!table) return;

    const TimeOfDay second = TimeOfDay::fromTimeStruct(now);
    for (const ScheduledBell& bell : bellsOfDay(db.view(lock).settings, info.date, *table))
        if (bell.time == second) ring(lock, play, bell, bellEntry(lock, bell, now, info.id, *table));
}

void triggerScheduledSounds(const StateLock& lock) { triggerScheduledSoundsAt(lock, getClock()); }

}  // namespace quorvane
