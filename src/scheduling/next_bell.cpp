#include "scheduling/next_bell.h"

#include "scheduling/active_timetable.h"
#include "scheduling/adjusted_day.h"
#include "scheduling/day_bells.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

std::string describe(const ScheduledBell& bell) {
    if (bell.kind == BellKind::EXTRA_PLAY) return "Extra play";
    const char* moment = bell.kind == BellKind::LESSON_START ? " start"
                         : bell.kind == BellKind::LESSON_END ? " end"
                         : bell.kind == BellKind::PRE_START  ? " pre-start"
                                                             : " pre-end";
    return "Lesson " + std::to_string(bell.lesson + 1) + moment;
}

}  // namespace

std::optional<ScheduledBell> nextBellToday(const StateLock& lock, const struct_time& reading) {
    const TimetableInfo info = activeTimetableInfoAt(lock, reading);
    if (info.source == TimetableSource::DISABLED) return std::nullopt;
    const TimeTable* table = db.view(lock).timetables.find(info.id);
    if (!table) return std::nullopt;
    // The bells the scheduler rings, in the order it rings them; silent ones do not count.
    const int now = TimeOfDay::fromTimeStruct(reading).toSecondsOfDay();
    for (ScheduledBell& bell : bellsOfDay(db.view(lock).settings, info.date, *table))
        if (bell.desc.id != NULL_ID && bell.time.toSecondsOfDay() > now) return std::move(bell);
    return std::nullopt;
}

std::string nextBellStatus(const StateLock& lock, const struct_time& reading) {
    const TimetableInfo info = activeTimetableInfoAt(lock, reading);
    if (info.source == TimetableSource::DISABLED) return "Scheduler off";
    if (!db.view(lock).timetables.find(info.id)) return "No bells today";
    if (const auto next = nextBellToday(lock, reading)) return "Next bell " + next->time.asString() + ", " + describe(*next);
    return "No more bells today";
}

}  // namespace quorvane
