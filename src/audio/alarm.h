#pragma once
// The endless alarm: one switch, process-wide.
#include "core/state_lock.h"

namespace quorvane {

class Alarm {
public:
    // Switches the endless alarm on or off; it reads the alarm settings under the caller's state lock.
    static void toggle(const StateLock& lock);
    // Switches the alarm off when it is on.
    static void switchOff();
    static bool isActive();
};

}  // namespace quorvane
