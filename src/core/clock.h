#pragma once
// The shared clock reading. The scheduler thread takes a new reading about ten times a second; everybody
// else reads the time only through getClock, getTimeString and getDateString, so the whole process works
// with the reading of the scheduler's latest pass.
#include <memory>
#include <string>

#include "model/time_reading.h"

namespace quorvane {

// Where readings come from. The scheduler and updateClock use the installed source; tests replace it
// with a scripted one so that a day can pass in milliseconds.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual struct_time localNow() = 0;
    // Blocks until the scheduler's next pass is due.
    virtual void waitForNextPass() = 0;
};

// Wall clock; wakes just after each tenth of a second so that a new second is seen within milliseconds,
// sleeping on the steady clock so that a step of the wall clock never delays a pass.
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

}  // namespace quorvane
