#include "web/emergency_endpoints.h"

#include <algorithm>

#include <spdlog/spdlog.h>

#include "model/emergency_routines.h"
#include "model/text.h"

namespace quorvane::web {

Json emergencyJson(const std::optional<RunningEmergency>& running) {
    if (!running) return nullptr;
    return {{"routine", running->routine}, {"drill", running->drill}, {"since", running->since}};
}

Reply emergency_start(RequestContext& context) {
    const std::string& name = context.param("routine");
    if (std::find(EMERGENCY_ROUTINE_NAMES.begin(), EMERGENCY_ROUTINE_NAMES.end(), name) == EMERGENCY_ROUTINE_NAMES.end())
        return notFound("Unknown emergency routine: " + shortened(name, 64));
    const Json& body = context.json;
    if (!body.is_object()) return BadRequest("Invalid drill: expected true or false");
    for (const auto& [member, value] : body.items())
        if (member != "drill") return BadRequest("Unknown member of the request: " + shortened(member, 64));
    // Asked for every time: whether the school practises or not must be a deliberate choice.
    const auto drill = body.find("drill");
    if (drill == body.end() || !drill->is_boolean()) return BadRequest("Invalid drill: expected true or false");
    StateLock lock;
    const RunningEmergency started = Emergency::start(lock, name, drill->get<bool>());
    spdlog::warn("Emergency routine {} started{}", name, started.drill ? " as a drill" : "");
    return json_response(emergencyJson(started));
}

Reply emergency_stop(RequestContext&) {
    const bool stopped = Emergency::stop(OutcomeReason::EMERGENCY_STOP);
    if (stopped) spdlog::warn("Emergency routine stopped");
    return json_response({{"stopped", stopped}});
}

}  // namespace quorvane::web
