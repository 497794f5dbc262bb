#pragma once
// Starting and stopping the emergency routines: POST /api/emergency/<routine> and /api/emergency/stop.
#include <optional>

#include "audio/emergency.h"
#include "model/json_text.h"
#include "web/reply.h"
#include "web/request_context.h"

namespace quorvane::web {

// The routine that runs as the status reports it; null when none.
Json emergencyJson(const std::optional<RunningEmergency>& running);

Reply emergency_start(RequestContext& context);
Reply emergency_stop(RequestContext& context);

}  // namespace quorvane::web
