#pragma once
// The slowest a request body may arrive: every window must bring its share of bytes (or the rest of
// the body), else the body is cut off. Time spent waiting on our own disk does not count.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quorvane::web::http {

class BodyRate {
public:
    using Clock = std::chrono::steady_clock;

    BodyRate(size_t minBytesPerSecond, std::chrono::milliseconds window, uint64_t bodyBytes, Clock::time_point now)
        : _perWindow(std::max<uint64_t>(1, static_cast<uint64_t>(minBytesPerSecond) * static_cast<uint64_t>(window.count()) / 1000)),
          _window(window), _remaining(bodyBytes), _windowStart(now) {}

    void received(uint64_t bytes, Clock::time_point now) {
        _remaining -= std::min(bytes, _remaining);
        _windowBytes += bytes;
        if (_windowBytes >= std::min(_perWindow, _remaining + _windowBytes)) {
            _windowStart = now;
            _windowBytes = 0;
        }
    }
    void pause(Clock::time_point now) { _pausedAt = now; }
    void resume(Clock::time_point now) { _windowStart += now - _pausedAt; }
    // When the current window ends short of its share.
    Clock::time_point deadline() const { return _windowStart + _window; }

private:
    uint64_t _perWindow;
    std::chrono::milliseconds _window;
    uint64_t _remaining;
    uint64_t _windowBytes = 0;
    Clock::time_point _windowStart, _pausedAt;
};

}  // namespace quorvane::web::http
