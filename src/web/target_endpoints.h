#pragma once
// "/api/get/<target>" (state for the browser) and "/api/trigger/<target>/<id>" (actions).
#include <string>

#include "model/json_text.h"
#include "web/request_context.h"

namespace quorvane::web {

Reply get_endpoint(RequestContext& context);
Reply trigger_endpoint(RequestContext& context);

// The value of a read target; ValueError "Unknown target: ..." for a name that is not one. Takes the
// state lock itself.
Json get_target(const std::string& target);
// Performs an action; its errors carry the text the browser is shown. Takes the state lock itself.
// deleteTimetable is not one: trigger_endpoint answers it, checked against the request's If-Match.
void trigger_target(const std::string& target, const std::string& id);

}  // namespace quorvane::web
