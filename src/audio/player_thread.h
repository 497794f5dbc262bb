#pragma once
// A playback thread: plays one file a number of times (or until aborted) through a file player, on a
// daemon thread of its own, so sounds never queue behind each other.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/file_player.h"
#include "core/daemon_thread.h"

namespace quorvane {

// Given as the play count: repeat until aborted (any negative count does).
inline constexpr int64_t INFINITE_REPEAT = -1;

class PlayerThread : public DaemonThread {
public:
    static constexpr int TICKS_PER_SECOND = 20;
    static constexpr std::chrono::duration<double> TICK{1.0 / TICKS_PER_SECOND};

    // How a playback thread waits, for a tick of the wait loop as for the pause between plays.
    using SleepFunction = std::function<void(std::chrono::duration<double>)>;
    // Replaces the waiting of threads constructed from now on (tests count ticks and pauses instead of
    // sleeping through them); empty restores the real sleep. Returns the previous one.
    static SleepFunction setSleepFunction(SleepFunction sleep);

    PlayerThread(std::string path, int64_t count = 1, double delay = 0.0,
                 std::unique_ptr<FilePlayer> player = makeFilePlayer());
    void abortPlay() { _doAbort.store(true); }
    // Between the start of the body and its end.
    bool alive() const { return _alive.load(); }
    // The body has returned (after deregistering).
    bool ended() const { return _ended.load(); }
    const std::string& path() const { return _path; }

protected:
    void run() override;

private:
    bool playOnce();
    void waitForEndOfPlay();

    std::string _path;
    int64_t _count;
    double _delay;
    std::atomic<bool> _doAbort{false};
    std::atomic<bool> _alive{false};
    std::atomic<bool> _ended{false};
    std::unique_ptr<FilePlayer> _player;
    SleepFunction _sleep;
};

}  // namespace quorvane
