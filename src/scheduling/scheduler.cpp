#include "scheduling/scheduler.h"

#include <atomic>
#include <ctime>
#include <exception>

#include <spdlog/spdlog.h>

#include "scheduling/bell_journal.h"

namespace quorvane {
namespace {

// Steady-clock ticks of the end of the latest pass; 0 before the first.
std::atomic<std::chrono::steady_clock::rep> lastPassTicks{0};

// The reading a number of wall-clock seconds after another, keeping its summer-time flag.
struct_time readingAfter(const struct_time& reading, int64_t seconds) {
    struct_time later = wallReading(wallSeconds(reading) + seconds);
    later.tm_isdst = reading.tm_isdst;
    return later;
}

template <class Step>
void guarded(Step&& step) {
    try {
        step();
    } catch (const std::exception& error) {
        logSchedulerError(error.what());
    }
}

}  // namespace

void logSchedulerError(const std::string& text) { spdlog::error("Scheduler thread error: {}", text); }

Scheduler::Scheduler(SchedulerSteps steps) : _steps(std::move(steps)) {}

void Scheduler::run() {
    const auto stopRequested = [this] {
        std::lock_guard lock(_stopMutex);
        return _stopRequested;
    };
    while (!stopRequested()) {
        guarded([this] { runPass(); });
        if (stopRequested()) break;
        currentTimeSource()->waitForNextPass();
    }
    // A change made after the last pass's save (a request answered just before the stop) is written too.
    if (_steps.saveStoredRecords) guarded(_steps.saveStoredRecords);
    {
        std::lock_guard lock(_stopMutex);
        _ended = true;
    }
    _stopChanged.notify_all();
}

bool Scheduler::stop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(_stopMutex);
    _stopRequested = true;
    return _stopChanged.wait_until(lock, deadline, [this] { return _ended; });
}

void Scheduler::runPass() {
    const struct_time now = updateClock();
    if (!_nowPrev || now != *_nowPrev) {
        if (_nowPrev) {
            const int64_t gap = wallSeconds(now) - wallSeconds(*_nowPrev);
            if (gap < 0) reportSetBack(*_nowPrev, now);
            if (gap > MAX_CATCH_UP_SECONDS) reportMissed(*_nowPrev, now, OutcomeReason::SKIPPED);
            for (int64_t skipped = 1; gap <= MAX_CATCH_UP_SECONDS && skipped < gap; ++skipped) processCountedSecond(readingAfter(*_nowPrev, skipped));
        } else if (_lastAlive) {
            reportMissed(*_lastAlive, now, OutcomeReason::NOT_RUNNING);
        }
        processCountedSecond(now);
        _nowPrev = now;
    }
    if (_steps.saveStoredRecords) guarded(_steps.saveStoredRecords);
    lastPassTicks.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    if (_steps.afterPass) guarded(_steps.afterPass);
}

void Scheduler::reportMissed(const struct_time& from, const struct_time& to, OutcomeReason why) {
    const DuePassed hasPassed = [this](const struct_time& due) { return _passed.hasPassed(due); };
    if (_steps.missedBetween) guarded([&] { _steps.missedBetween(from, to, why, hasPassed); });
}

void Scheduler::reportSetBack(const struct_time& from, const struct_time& to) {
    // The wall clock also goes back an hour when summer time ends; only real time going back is a step.
    const int64_t back = epochSeconds(from) - epochSeconds(to);
    if (back <= 0) return;
    spdlog::warn("{}", clockSetBackText(back));
    if (_steps.clockSetBack) guarded([&] { _steps.clockSetBack(to, back); });
}

void Scheduler::processCountedSecond(const struct_time& reading) {
    ++_secCounter;
    if (_secCounter % SEC_30_HOURS == 5 && _steps.phoneHome) guarded(_steps.phoneHome);
    if (!_passed.firstPass(reading)) return;
    if (_steps.processSecond) guarded([&] { _steps.processSecond(reading); });
}

std::optional<std::chrono::steady_clock::time_point> lastSchedulerPass() {
    const auto ticks = lastPassTicks.load(std::memory_order_relaxed);
    if (ticks == 0) return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

}  // namespace quorvane
