#include "scheduling/day_bells.h"

#include <algorithm>

namespace quorvane {

std::vector<ScheduledBell> bellsOf(const TimeTable& timetable) {
    std::vector<ScheduledBell> bells;
    const SignalTable& channel = timetable.chA;
    for (size_t i = 0; i < channel.lessons.size(); ++i) {
        const Lesson& lesson = channel.lessons[i];
        const auto index = static_cast<int64_t>(i);
        bells.push_back({lesson.start, BellKind::LESSON_START, index, -1, -1, channel.startOfClass});
        bells.push_back({lesson.end, BellKind::LESSON_END, index, -1, -1, channel.endOfClass});
        bells.push_back({lesson.start.minusMinutes(channel.preStartWaitMin), BellKind::PRE_START, index, -1, -1, channel.preStart});
        bells.push_back({lesson.end.minusMinutes(channel.preEndWaitMin), BellKind::PRE_END, index, -1, -1, channel.preEnd});
    }
    for (size_t e = 0; e < timetable.customPlays.size(); ++e) {
        const UserPlay& extra = timetable.customPlays[e];
        for (size_t s = 0; s < extra.slots.size(); ++s)
            bells.push_back({extra.slots[s], BellKind::EXTRA_PLAY, -1, static_cast<int64_t>(e), static_cast<int64_t>(s), extra.desc});
    }
    std::stable_sort(bells.begin(), bells.end(),
                     [](const ScheduledBell& a, const ScheduledBell& b) { return a.time.toSecondsOfDay() < b.time.toSecondsOfDay(); });
    return bells;
}

}  // namespace quorvane
