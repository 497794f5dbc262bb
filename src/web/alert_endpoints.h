#pragma once
// The settings page's "Send a test alert".
#include "web/reply.h"
#include "web/request_context.h"

namespace quorvane::web {

// Sends at once on every way that is set and answers each one's outcome:
// {"webhook": {"sent": true, "error": ""}, "mail": {"sent": false, "error": "..."}}; 400 when none is set.
Reply alerts_test(RequestContext& context);

}  // namespace quorvane::web
