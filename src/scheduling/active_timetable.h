#pragma once
// Which timetable is in force now, and the firing of the signals due at a second.
#include <functional>
#include <string>

#include "core/state_lock.h"
#include "model/db.h"
#include "model/record.h"
#include "model/time_reading.h"
#include "scheduling/day_type.h"
#include "scheduling/timetable_precedence.h"

namespace quorvane {

struct TimetableInfo {
    std::string id = "NULL";
    TimetableSource source = TimetableSource::NORMAL;
    std::string date;
    int64_t dayOfWeek = 0;
    TypeOfDay typeOfDay = TypeOfDay::WORKDAY;

    static constexpr auto fields() {
        return std::tuple{field("id", &TimetableInfo::id), field("source", &TimetableInfo::source), field("date", &TimetableInfo::date),
                          field("dayOfWeek", &TimetableInfo::dayOfWeek), field("typeOfDay", &TimetableInfo::typeOfDay)};
    }
};

// The active timetable for the shared clock reading (or for a given reading). The scheduler and the
// dashboard count the choice for today only; a day asked about in advance does not.
TimetableInfo getActiveTimetableInfo(const StateLock& lock);
TimetableInfo activeTimetableInfoAt(const StateLock& lock, const struct_time& reading, TodayOnlyChoice todayOnly = TodayOnlyChoice::APPLIES);
// The timetable whose bells were due at a reading the scheduler did not ring: the one it would have
// rung, also while it is switched off (the source then stays DISABLED), with the daily choice only on
// the day it was made for.
TimetableInfo timetableDueAt(const StateLock& lock, const struct_time& reading);

// Starts the playback of every signal of the active timetable due at the second of the reading (the
// shared one by default), channel A and the extra plays. Returns without waiting for any sound. A
// playback request that fails is logged and the remaining tests of that second still run.
void triggerScheduledSounds(const StateLock& lock);
// The playback request behind every due signal; tests stand in a recorder for playSignalByDescriptor.
using PlayRequest = std::function<void(const StateLock&, const PlayDesc&)>;
void triggerScheduledSoundsAt(const StateLock& lock, const struct_time& reading, const PlayRequest& play = {});

}  // namespace quorvane
