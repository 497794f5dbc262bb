#pragma once
// A scripted clock: readings are queued by the test; each localNow() takes the next one (the last one
// repeats when the queue runs dry). waitForNextPass() returns at once.
#include <deque>
#include <mutex>

#include "core/clock.h"

namespace quorvane::testing {

class FakeTimeSource : public TimeSource {
public:
    void push(const struct_time& reading) {
        std::lock_guard lock(_mutex);
        _queue.push_back(reading);
    }
    struct_time localNow() override {
        std::lock_guard lock(_mutex);
        if (!_queue.empty()) {
            _last = _queue.front();
            _queue.pop_front();
        }
        return _last;
    }
    void waitForNextPass() override {}

private:
    std::mutex _mutex;
    std::deque<struct_time> _queue;
    struct_time _last;
};

// A reading with consistent weekday and day of the year, computed as if the fields were UTC.
struct_time reading(int year, int month, int day, int hour, int minute, int second);

}  // namespace quorvane::testing
