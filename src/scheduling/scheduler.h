#pragma once
// The scheduler thread: about ten passes a second; each pass takes a new clock reading and, when the
// second changed, runs the heartbeat (when due), the daily reset and the signals of that second; every
// pass ends with the auto-saves of the stored records.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "core/clock.h"
#include "core/daemon_thread.h"
#include "scheduling/passed_seconds.h"
#include "scheduling/scheduler_steps.h"

namespace quorvane {

class Scheduler : public DaemonThread {
public:
    static constexpr int64_t SEC_30_HOURS = 108000;
    // A new reading at most this many seconds after the previous one also processes the seconds in
    // between (a stalled pass must not lose a bell); a larger jump is the clock being set and skips.
    // A reading back in time processes only the seconds of the day that have not passed yet: no bell
    // rings twice, whether the clock was set back or summer time ended.
    static constexpr int64_t MAX_CATCH_UP_SECONDS = 5;

    explicit Scheduler(SchedulerSteps steps = defaultSchedulerSteps());

    // One pass of the loop; the thread runs it ten times a second, tests call it directly.
    void runPass();
    // The previous run of the player was last alive at this reading: the first pass reports the bells in
    // between as missed, and rings none of them late.
    void resumeAfter(const struct_time& lastAlive) { _lastAlive = lastAlive; }
    int64_t secCounter() const { return _secCounter; }

    // Asks the thread to end after its current pass; its last act is one more save of the changed
    // records. True once it has ended, false when it is still in a pass at the deadline (a hung pass
    // never ends; nothing can be saved safely then).
    bool stop(std::chrono::steady_clock::time_point deadline);

protected:
    void run() override;

private:
    void processCountedSecond(const struct_time& reading);
    void reportMissed(const struct_time& from, const struct_time& to, OutcomeReason why);
    void reportSetBack(const struct_time& from, const struct_time& to);

    SchedulerSteps _steps;
    int64_t _secCounter = 0;
    std::optional<struct_time> _nowPrev;
    std::optional<struct_time> _lastAlive;
    PassedSeconds _passed;

    // Leaf lock of the thread's end.
    std::mutex _stopMutex;
    std::condition_variable _stopChanged;
    bool _stopRequested = false;
    bool _ended = false;
};

// The end of the latest pass of any scheduler, on the steady clock; absent before the first.
std::optional<std::chrono::steady_clock::time_point> lastSchedulerPass();

// Logs "Scheduler thread error: " + the text, the one form every scheduler failure is reported in.
void logSchedulerError(const std::string& text);

}  // namespace quorvane
