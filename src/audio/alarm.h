#pragma once
// The endless alarm: one switch, process-wide.
#include "core/state_lock.h"
#include "model/journal_entry.h"

namespace quorvane {

class Alarm {
public:
    // Switches the endless alarm on or off; it reads the alarm settings under the caller's state lock.
    static void toggle(const StateLock& lock);
    // Switches the alarm off when it is on; the reason is what its journal entry says stopped it.
    static void switchOff(OutcomeReason why = OutcomeReason::ALARM_SWITCH);
    static bool isActive();
};

}  // namespace quorvane
