#pragma once
// A clock reading: broken-down local time with the conventions used throughout the system (they differ
// from the C library's): full year, month from 1, Monday = 0 ... Sunday = 6, day of the year from 1.
// Pure values and conversions; the shared reading of the process lives in core/clock.h.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace quorvane {

struct struct_time {
    int tm_year = 1970;
    int tm_mon = 1;
    int tm_mday = 1;
    int tm_hour = 0;
    int tm_min = 0;
    int tm_sec = 0;
    int tm_wday = 3;
    int tm_yday = 1;
    int tm_isdst = 0;

    bool operator==(const struct_time& other) const = default;
};

// Local time of a moment, from the system's time zone settings.
struct_time localStructTime(std::chrono::system_clock::time_point moment);

// Conversions between the C library's broken-down time and a reading.
struct_time fromTm(const std::tm& tm);
std::tm toTm(const struct_time& reading);
// A reading's fields counted as seconds as if they were UTC, and back: differences are wall-clock
// differences, so a summer-time change shows as the hour it jumps.
int64_t wallSeconds(const struct_time& reading);
struct_time wallReading(int64_t seconds);
// The moment of a reading in seconds since the epoch: differences are real time, so a summer-time change
// shows as no jump at all.
int64_t epochSeconds(const struct_time& reading);

// The date of a reading as 2024-09-02 (the form the calendar data uses).
std::string dateStringOf(const struct_time& reading);

}  // namespace quorvane
