#include "scheduling/calendar_sync.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {

SchedulerSteps defaultSchedulerSteps() {
    SchedulerSteps steps;
    steps.phoneHome = startHeartbeat;
    steps.processSecond = [](const struct_time& reading) {
        StateLock lock;
        db->settings.dailyPreferences.resetOnNewDay(reading.tm_yday);
    };
    steps.saveStoredRecords = saveStoredRecords;
    return steps;
}

}  // namespace quorvane
