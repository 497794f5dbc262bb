#include "scheduling/clock.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

namespace quorvane {
namespace {

// Leaf lock of the clock module (see app/state_lock.h): guards the reading and the time source.
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

struct_time fromTm(const std::tm& tm) {
    struct_time reading;
    reading.tm_year = tm.tm_year + 1900;
    reading.tm_mon = tm.tm_mon + 1;
    reading.tm_mday = tm.tm_mday;
    reading.tm_hour = tm.tm_hour;
    reading.tm_min = tm.tm_min;
    reading.tm_sec = tm.tm_sec;
    reading.tm_wday = (tm.tm_wday + 6) % 7;
    reading.tm_yday = tm.tm_yday + 1;
    reading.tm_isdst = tm.tm_isdst > 0 ? 1 : 0;
    return reading;
}

std::tm toTm(const struct_time& reading) {
    std::tm tm{};
    tm.tm_year = reading.tm_year - 1900;
    tm.tm_mon = reading.tm_mon - 1;
    tm.tm_mday = reading.tm_mday;
    tm.tm_hour = reading.tm_hour;
    tm.tm_min = reading.tm_min;
    tm.tm_sec = reading.tm_sec;
    tm.tm_wday = (reading.tm_wday + 1) % 7;
    tm.tm_yday = reading.tm_yday - 1;
    tm.tm_isdst = reading.tm_isdst;
    return tm;
}

int64_t wallSeconds(const struct_time& reading) {
    std::tm tm = toTm(reading);
    return static_cast<int64_t>(timegm(&tm));
}

struct_time wallReading(int64_t seconds) {
    const auto moment = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&moment, &tm);
    return fromTm(tm);
}

struct_time localStructTime(std::chrono::system_clock::time_point moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_r(&seconds, &local);
    return fromTm(local);
}

struct_time SystemTimeSource::localNow() { return localStructTime(std::chrono::system_clock::now()); }

void SystemTimeSource::waitForNextPass() {
    using namespace std::chrono;
    // Wake a little after the next tenth of a second of the wall clock, so that the pass that sees a new
    // second runs within a few milliseconds of its start.
    constexpr auto tick = milliseconds(100);
    constexpr auto margin = microseconds(1500);
    const auto now = system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const auto nextTick = system_clock::time_point(duration_cast<system_clock::duration>((sinceEpoch - margin) / tick * tick + tick + margin));
    std::this_thread::sleep_until(nextTick > now ? nextTick : now + tick);
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

std::string dateStringOf(const struct_time& reading) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d-%02d-%02d", reading.tm_year, reading.tm_mon, reading.tm_mday);
    return buffer;
}

std::string getDateString() { return dateStringOf(getClock()); }

}  // namespace quorvane
