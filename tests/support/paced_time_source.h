#pragma once
// A clock for tests that run the scheduler on its own thread: every reading is one second after the one
// before, and passes follow each other after a few milliseconds. hold() keeps the scheduler waiting
// before its next pass until release(), as a hung pass would.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/clock.h"

namespace quorvane::testing {

class PacedTimeSource : public TimeSource {
public:
    struct_time localNow() override {
        std::lock_guard lock(_mutex);
        _last = wallReading(wallSeconds(_last) + 1);
        return _last;
    }
    void waitForNextPass() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::unique_lock lock(_mutex);
        _parked = _held;
        _changed.notify_all();
        _changed.wait(lock, [this] { return !_held; });
        _parked = false;
    }
    void hold() {
        std::lock_guard lock(_mutex);
        _held = true;
    }
    // True once the scheduler waits at the hold; false when it does not get there within the limit.
    bool waitUntilParked(std::chrono::milliseconds limit) {
        std::unique_lock lock(_mutex);
        return _changed.wait_for(lock, limit, [this] { return _parked; });
    }
    void release() {
        {
            std::lock_guard lock(_mutex);
            _held = false;
        }
        _changed.notify_all();
    }

private:
    std::mutex _mutex;
    std::condition_variable _changed;
    struct_time _last = wallReading(1725264000);  // 2024-09-02 08:00:00
    bool _held = false;
    bool _parked = false;
};

}  // namespace quorvane::testing
