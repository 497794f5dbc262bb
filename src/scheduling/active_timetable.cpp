#include "scheduling/active_timetable.h"

#include <exception>

#include "audio/signals.h"
#include "core/clock.h"
#include "scheduling/day_bells.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// One playback request of the scheduler. A failing request (a signal deleted from the table) is logged
// and must not keep the other signals of the second from ringing.
void ring(const StateLock& lock, const PlayRequest& play, const PlayDesc& desc) {
    try {
        if (play) play(lock, desc);
        else playSignalByDescriptor(lock, desc);
    } catch (const std::exception& error) {
        logSchedulerError(error.what());
    }
}

}  // namespace

TimetableInfo activeTimetableInfoAt(const StateLock& lock, const struct_time& reading) {
    TimetableInfo info;
    info.date = dateStringOf(reading);
    info.dayOfWeek = reading.tm_wday;
    info.typeOfDay = calculateTypeOfDayWithCalendar(lock, reading.tm_wday, info.date);
    const bool isWorkday = info.typeOfDay == TypeOfDay::WORKDAY || info.typeOfDay == TypeOfDay::EXTRA_WORKDAY;

    const Settings& settings = db.view(lock).settings;
    if (!settings.schedulerEnable) {
        info.id = NULL_ID;
        info.source = TimetableSource::DISABLED;
        return info;
    }
    info.id = isWorkday ? settings.defaultTimetableId : std::string(NULL_ID);
    info.source = TimetableSource::NORMAL;
    if (const auto& daily = settings.dailyPreferences.selectedTimetableId) {
        if (*daily != info.id) info.source = TimetableSource::DAILY_OVERRIDE;
        info.id = *daily;
    }
    return info;
}

TimetableInfo getActiveTimetableInfo(const StateLock& lock) { return activeTimetableInfoAt(lock, getClock()); }

void triggerScheduledSoundsAt(const StateLock& lock, const struct_time& now, const PlayRequest& play) {
    const TimeTable* table = db.view(lock).timetables.find(activeTimetableInfoAt(lock, now).id);
    if (!table) return;

    const TimeOfDay second = TimeOfDay::fromTimeStruct(now);
    for (const ScheduledBell& bell : bellsOf(*table))
        if (bell.time == second) ring(lock, play, bell.desc);
}

void triggerScheduledSounds(const StateLock& lock) { triggerScheduledSoundsAt(lock, getClock()); }

}  // namespace quorvane
