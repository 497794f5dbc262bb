#include "scheduling/scheduler.h"

#include <spdlog/spdlog.h>

#include <ctime>
#include <exception>

namespace quorvane {
namespace {

// Seconds of a reading counted as if it were UTC: differences between two readings are then wall-clock
// differences, so a summer-time change shows as the hour jump it is.
int64_t wallSeconds(const struct_time& reading) {
    std::tm tm{};
    tm.tm_year = reading.tm_year - 1900;
    tm.tm_mon = reading.tm_mon - 1;
    tm.tm_mday = reading.tm_mday;
    tm.tm_hour = reading.tm_hour;
    tm.tm_min = reading.tm_min;
    tm.tm_sec = reading.tm_sec;
    return static_cast<int64_t>(timegm(&tm));
}

struct_time readingAfter(const struct_time& reading, int64_t seconds) {
    const std::time_t moment = static_cast<std::time_t>(wallSeconds(reading) + seconds);
    std::tm tm{};
    gmtime_r(&moment, &tm);
    struct_time later = reading;
    later.tm_year = tm.tm_year + 1900;
    later.tm_mon = tm.tm_mon + 1;
    later.tm_mday = tm.tm_mday;
    later.tm_hour = tm.tm_hour;
    later.tm_min = tm.tm_min;
    later.tm_sec = tm.tm_sec;
    later.tm_wday = (tm.tm_wday + 6) % 7;
    later.tm_yday = tm.tm_yday + 1;
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
    for (;;) {
        guarded([this] { runPass(); });
        currentTimeSource()->waitForNextPass();
    }
}

void Scheduler::runPass() {
    const struct_time now = updateClock();
    if (!_nowPrev || now != *_nowPrev) {
        if (_nowPrev) {
            const int64_t gap = wallSeconds(now) - wallSeconds(*_nowPrev);
            for (int64_t skipped = 1; gap <= MAX_CATCH_UP_SECONDS && skipped < gap; ++skipped)
                processCountedSecond(readingAfter(*_nowPrev, skipped));
        }
        processCountedSecond(now);
        _nowPrev = now;
    }
    if (_steps.saveStoredRecords) guarded(_steps.saveStoredRecords);
}

void Scheduler::processCountedSecond(const struct_time& reading) {
    ++_secCounter;
    if (_secCounter % SEC_30_HOURS == 5 && _steps.phoneHome) guarded(_steps.phoneHome);
    if (_steps.processSecond) guarded([&] { _steps.processSecond(reading); });
}

}  // namespace quorvane
