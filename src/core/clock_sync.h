#pragma once
// Whether the system clock is kept synchronised, as the kernel tells (adjtimex on Linux). A bell system
// with an unsynchronised clock rings at the wrong time.
namespace quorvane {

struct ClockSync {
    bool known = false;  // the platform told
    bool synchronised = false;
    double estimatedErrorMs = 0;
    double maximumErrorMs = 0;
};

ClockSync readClockSync();

}  // namespace quorvane
