#include "model/time_reading.h"

#include <cstdio>

#include "model/tm_conversions.h"

namespace quorvane {

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

int64_t wallSeconds(const struct_time& reading) { return static_cast<int64_t>(utcSecondsOf(toTm(reading))); }

struct_time wallReading(int64_t seconds) {
    const auto moment = static_cast<std::time_t>(seconds);
    return fromTm(utcTmOf(moment));
}

int64_t epochSeconds(const struct_time& reading) { return static_cast<int64_t>(localSecondsOf(toTm(reading))); }

struct_time localStructTime(std::chrono::system_clock::time_point moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    return fromTm(localTmOf(seconds));
}

std::string dateStringOf(const struct_time& reading) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d-%02d-%02d", reading.tm_year, reading.tm_mon, reading.tm_mday);
    return buffer;
}

}  // namespace quorvane
