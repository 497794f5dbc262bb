#pragma once
// The bells a timetable rings in a day: the one list that both the scheduler's trigger and every
// question about a day (what rings when, what was missed) are answered from.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/db.h"
#include "model/record.h"
#include "model/time_values.h"

namespace quorvane {

enum class BellKind { LESSON_START, LESSON_END, PRE_START, PRE_END, EXTRA_PLAY };
template <>
struct EnumTexts<BellKind> {
    static constexpr std::pair<BellKind, const char*> values[] = {{BellKind::LESSON_START, "lessonStart"},
                                                                  {BellKind::LESSON_END, "lessonEnd"},
                                                                  {BellKind::PRE_START, "preStart"},
                                                                  {BellKind::PRE_END, "preEnd"},
                                                                  {BellKind::EXTRA_PLAY, "extraPlay"}};
};

struct ScheduledBell {
    TimeOfDay time;
    BellKind kind = BellKind::LESSON_START;
    int64_t lesson = -1;  // index of the lesson in channel A, for the four lesson kinds
    int64_t extra = -1;   // index of the extra play and of its time slot, for extra plays
    int64_t slot = -1;
    PlayDesc desc;
    std::optional<std::string> planned;  // the timetable's time of a bell the day's adjustment moved

    static constexpr auto fields() {
        return std::tuple{field("time", &ScheduledBell::time),      field("kind", &ScheduledBell::kind), field("lesson", &ScheduledBell::lesson),
                          field("extra", &ScheduledBell::extra),    field("slot", &ScheduledBell::slot), field("desc", &ScheduledBell::desc),
                          field("planned", &ScheduledBell::planned)};
    }
};

// Channel A's bells (channel B never rings on schedule) and the extra plays, in time order. Bells of
// the same second keep the order in which they ring: per lesson start, end, pre-start, pre-end, in
// lesson order, then the extra plays. A pre-signal before midnight wraps to the end of the same day.
std::vector<ScheduledBell> bellsOf(const TimeTable& timetable);

}  // namespace quorvane
