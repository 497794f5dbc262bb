#pragma once
// Which timetable is in force now, and the firing of the signals due at a second.
#include <functional>
#include <string>

#include "model/db.h"
#include "model/record.h"
#include "core/state_lock.h"
#include "model/time_reading.h"
#include "scheduling/day_type.h"

namespace quorvane {

enum class TimetableSource { DISABLED, NORMAL, DAILY_OVERRIDE };
template <>
struct EnumTexts<TimetableSource> {
    static constexpr std::pair<TimetableSource, const char*> values[] = {{TimetableSource::DISABLED, "DISABLED"},
                                                                         {TimetableSource::NORMAL, "NORMAL"},
                                                                         {TimetableSource::DAILY_OVERRIDE, "DAILY_OVERRIDE"}};
};

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

// The active timetable for the shared clock reading (or for a given reading).
TimetableInfo getActiveTimetableInfo(const StateLock& lock);
TimetableInfo activeTimetableInfoAt(const StateLock& lock, const struct_time& reading);
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
