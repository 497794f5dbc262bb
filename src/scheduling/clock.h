#pragma once
// The shared clock reading. The scheduler thread takes a new reading about ten times a second; everybody
// else reads the time only through getClock, getTimeString and getDateString, so the whole process works
// with the reading of the scheduler's latest pass.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace quorvane {

// Broken-down local time with the conventions used throughout the system (they differ from the C
// library's): full year, month from 1, Monday = 0 ... Sunday = 6, day of the year from 1.
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

// Where readings come from. The scheduler and updateClock use the installed source; tests replace it
// with a scripted one so that a day can pass in milliseconds.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual struct_time localNow() = 0;
    // Blocks until the scheduler's next pass is due.
    virtual void waitForNextPass() = 0;
};

// Wall clock; wakes just after each tenth of a second so that a new second is seen within milliseconds.
class SystemTimeSource : public TimeSource {
public:
    struct_time localNow() override;
    void waitForNextPass() override;
};

// Replaces the process's time source; returns the previous one. The default is a SystemTimeSource.
std::shared_ptr<TimeSource> setTimeSource(std::shared_ptr<TimeSource> source);
std::shared_ptr<TimeSource> currentTimeSource();

// Takes a new reading from the time source, stores it as the shared reading and returns it.
struct_time updateClock();
// The shared reading; no new reading is taken.
struct_time getClock();
// The shared reading formatted with a strftime format.
std::string getTimeString(const std::string& format = "%H:%M:%S");
// The date of the shared reading as 2024-09-02.
std::string getDateString();

// The date of a reading as 2024-09-02 (the form the calendar data uses).
std::string dateStringOf(const struct_time& reading);

}  // namespace quorvane
