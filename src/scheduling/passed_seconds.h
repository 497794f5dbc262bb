#pragma once
// The seconds of a day the scheduler has already processed, so that a clock set back, or the hour that
// repeats when summer time ends, rings none of their bells again. A second is its date and time of day
// on the wall clock, summer time or not: the bell at 02:30 of the autumn change is one bell.
#include <array>
#include <cstdint>
#include <vector>

#include "model/time_reading.h"

namespace quorvane {

class PassedSeconds {
public:
    // True the first time a second of a day comes; it counts as passed from then on.
    bool firstPass(const struct_time& reading);
    bool hasPassed(const struct_time& reading) const;

private:
    struct Day {
        int64_t midnight = -1;  // wall seconds of the day's start; -1 for none yet
        std::vector<bool> passed;
    };
    Day& dayOf(int64_t midnight);
    const Day* knownDay(int64_t midnight) const;

    // Today and the day before: a step back over midnight finds yesterday's seconds still passed, while
    // any other day starts afresh.
    std::array<Day, 2> _days;
};

}  // namespace quorvane
