#pragma once
// The emergency routine that runs, process-wide: lockdown, evacuation or shelter keep running (and the
// scheduled bells silent) until they are stopped or the all clear is given, also after their sound
// ended; the all clear plays and leaves nothing running. Each start and stop is journaled.
#include <optional>
#include <string>
#include <string_view>

#include "core/state_lock.h"
#include "model/journal_entry.h"

namespace quorvane {

struct RunningEmergency {
    std::string routine;
    bool drill = false;
    std::string since;  // a journal moment of the shared clock
};

class Emergency {
public:
    // Starts the routine of that name on every speaker, ending the one that runs. It reads the routines
    // under the caller's state lock. std::invalid_argument for a name that is no routine.
    static RunningEmergency start(const StateLock& lock, std::string_view routine, bool drill);
    // Ends the routine that runs and its sound (also the all clear's chime); whether a routine ran. The
    // reason is what the journal says ended it.
    static bool stop(OutcomeReason why);
    static std::optional<RunningEmergency> running();
    // While a routine other than the all clear runs, no scheduled bell rings.
    static bool silencesBells() { return running().has_value(); }
};

}  // namespace quorvane
