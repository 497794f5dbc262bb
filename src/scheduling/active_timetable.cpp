#include "scheduling/active_timetable.h"

#include <exception>

#include "audio/signals.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// One playback request of the scheduler. A failing request (a signal deleted from the table) is logged
// and must not keep the other signals of the second from ringing.
void ring(const PlayRequest& play, const PlayDesc& desc) {
    try {
        if (play) play(desc);
        else playSignalByDescriptor(desc);
    } catch (const std::exception& error) {
        logSchedulerError(error.what());
    }
}

}  // namespace

TimetableInfo activeTimetableInfoAt(const struct_time& reading) {
    TimetableInfo info;
    info.date = dateStringOf(reading);
    info.dayOfWeek = reading.tm_wday;
    info.typeOfDay = calculateTypeOfDayWithCalendar(reading.tm_wday, info.date);
    const bool isWorkday = info.typeOfDay == TypeOfDay::WORKDAY || info.typeOfDay == TypeOfDay::EXTRA_WORKDAY;

    const Settings& settings = db.view().settings;
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

TimetableInfo getActiveTimetableInfo() { return activeTimetableInfoAt(getClock()); }

void triggerScheduledSoundsAt(const struct_time& now, const PlayRequest& play) {
    const TimeTable* table = db.view().timetables.find(activeTimetableInfoAt(now).id);
    if (!table) return;

    // Channel A only: channel B is configured but never rings on schedule.
    for (int channel = 0; channel < 1; ++channel) {
        const SignalTable& ch = table->chAt(channel);
        for (const Lesson& lesson : ch.lessons) {
            if (lesson.start == now) ring(play, ch.startOfClass);
            if (lesson.end == now) ring(play, ch.endOfClass);
            if (lesson.start.minusMinutes(ch.preStartWaitMin) == now) ring(play, ch.preStart);
            if (lesson.end.minusMinutes(ch.preEndWaitMin) == now) ring(play, ch.preEnd);
        }
    }
    for (const UserPlay& extra : table->customPlays)
        for (const TimeOfDay& slot : extra.slots)
            if (slot == now) ring(play, extra.desc);
}

void triggerScheduledSounds() { triggerScheduledSoundsAt(getClock()); }

}  // namespace quorvane
