#include "core/clock.h"

#include <ctime>
#include <mutex>
#include <thread>

namespace quorvane {
namespace {

// Leaf lock of the clock module (see core/state_lock.h): guards the reading and the time source.
std::mutex& clockMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<TimeSource>& installedSource() {
    static std::shared_ptr<TimeSource> source = std::make_shared<SystemTimeSource>();
    return source;
}

struct_time& sharedReading() {
    static struct_time reading = localStructTime(std::chrono::system_clock::now());
    return reading;
}

}  // namespace

struct_time SystemTimeSource::localNow() { return localStructTime(std::chrono::system_clock::now()); }

void SystemTimeSource::waitForNextPass() {
    using namespace std::chrono;
    // Wake a little after the next tenth of a second of the wall clock, so that the pass that sees a new
    // second runs within a few milliseconds of its start. The sleep itself runs on the steady clock and
    // never lasts longer than a tick: a wall clock set back (or forward) during it must not hold it.
    constexpr auto tick = milliseconds(100);
    constexpr auto margin = microseconds(1500);
    const auto sinceEpoch = system_clock::now().time_since_epoch();
    const auto intoTick = (sinceEpoch - margin) % tick;
    auto wait = duration_cast<steady_clock::duration>(tick - (intoTick < intoTick.zero() ? intoTick + tick : intoTick));
    if (wait <= steady_clock::duration::zero() || wait > tick) wait = tick;
    std::this_thread::sleep_until(steady_clock::now() + wait);
}

std::shared_ptr<TimeSource> setTimeSource(std::shared_ptr<TimeSource> source) {
    std::lock_guard lock(clockMutex());
    std::swap(installedSource(), source);
    return source;
}

std::shared_ptr<TimeSource> currentTimeSource() {
    std::lock_guard lock(clockMutex());
    return installedSource();
}

struct_time updateClock() {
    const struct_time reading = currentTimeSource()->localNow();
    std::lock_guard lock(clockMutex());
    sharedReading() = reading;
    return reading;
}

struct_time getClock() {
    std::lock_guard lock(clockMutex());
    return sharedReading();
}

std::string getTimeString(const std::string& format) {
    const std::tm tm = toTm(getClock());
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &tm);
    return std::string(buffer, length);
}

std::string getDateString() { return dateStringOf(getClock()); }

}  // namespace quorvane
