#include "core/clock_sync.h"

#if defined(__linux__)
#include <sys/timex.h>
#endif

namespace quorvane {

ClockSync readClockSync() {
    ClockSync sync;
#if defined(__linux__)
    timex status{};  // modes 0: only read, which needs no privilege
    const int state = adjtimex(&status);
    if (state < 0) return sync;
    sync.known = true;
    sync.synchronised = state != TIME_ERROR && (status.status & STA_UNSYNC) == 0;
    sync.estimatedErrorMs = static_cast<double>(status.esterror) / 1000.0;
    sync.maximumErrorMs = static_cast<double>(status.maxerror) / 1000.0;
#endif
    return sync;
}

}  // namespace quorvane
