#pragma once
// The slowest a request body may arrive. Every byte buys the client 1/minBytesPerSecond of time, but
// it can never be more than one window ahead: a body that falls a window behind the minimum rate is
// cut off, however fast it was before. Time spent waiting on our own disk does not count.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quorvane::http {

class BodyRate {
public:
    using Clock = std::chrono::steady_clock;

    BodyRate(size_t minBytesPerSecond, std::chrono::milliseconds window, Clock::time_point now)
        : _bytesPerSecond(static_cast<double>(std::max<size_t>(1, minBytesPerSecond))), _window(window), _due(now + window) {}

    void received(uint64_t bytes, Clock::time_point now) {
        const auto earned = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(static_cast<double>(bytes) / _bytesPerSecond));
        _due = std::min(_due + earned, now + _window);
    }
    void pause(Clock::time_point now) { _pausedAt = now; }
    void resume(Clock::time_point now) { _due += now - _pausedAt; }
    // When the body has fallen too far behind unless more comes.
    Clock::time_point deadline() const { return _due; }

private:
    double _bytesPerSecond;
    Clock::duration _window;
    Clock::time_point _due, _pausedAt;
};

}  // namespace quorvane::http
