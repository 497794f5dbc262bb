#include "scheduling/scheduler.h"

namespace quorvane {

SchedulerSteps defaultSchedulerSteps() { return {}; }

}  // namespace quorvane
