#include "scheduling/next_bell.h"

#include <optional>

#include "scheduling/active_timetable.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

struct Bell {
    TimeOfDay at;
    std::string what;
};

// Keeps the earliest bell after the reading; on a tie the first one listed, as the timetable reads.
class EarliestBell {
public:
    explicit EarliestBell(int afterSecond) : _after(afterSecond) {}
    void consider(const TimeOfDay& at, const PlayDesc& desc, const std::string& what) {
        if (desc.id == NULL_ID || at.toSecondsOfDay() <= _after) return;
        if (!_best || at.toSecondsOfDay() < _best->at.toSecondsOfDay()) _best = Bell{at, what};
    }
    const std::optional<Bell>& best() const { return _best; }

private:
    int _after;
    std::optional<Bell> _best;
};

}  // namespace

std::string nextBellStatus(const StateLock& lock, const struct_time& reading) {
    const TimetableInfo info = activeTimetableInfoAt(lock, reading);
    if (info.source == TimetableSource::DISABLED) return "Scheduler off";
    const TimeTable* table = db.view(lock).timetables.find(info.id);
    if (!table) return "No bells today";

    // The same events the scheduler rings: channel A and the extra plays.
    EarliestBell next(TimeOfDay::fromTimeStruct(reading).toSecondsOfDay());
    const SignalTable& ch = table->chAt(0);
    for (size_t i = 0; i < ch.lessons.size(); ++i) {
        const std::string lesson = "Lesson " + std::to_string(i + 1);
        const Lesson& times = ch.lessons[i];
        next.consider(times.start.minusMinutes(ch.preStartWaitMin), ch.preStart, lesson + " pre-start");
        next.consider(times.start, ch.startOfClass, lesson + " start");
        next.consider(times.end.minusMinutes(ch.preEndWaitMin), ch.preEnd, lesson + " pre-end");
        next.consider(times.end, ch.endOfClass, lesson + " end");
    }
    for (const UserPlay& extra : table->customPlays)
        for (const TimeOfDay& slot : extra.slots) next.consider(slot, extra.desc, "Extra play");

    if (!next.best()) return "No more bells today";
    return "Next bell " + next.best()->at.asString() + ", " + next.best()->what;
}

}  // namespace quorvane
