#pragma once
// The player's metrics for a district's monitoring (Prometheus' text format), and the token that lets a
// monitoring tool read them without logging in.
#include <string>

#include "scheduling/metrics_reading.h"
#include "web/request_context.h"

namespace quorvane::web {

// The reading in Prometheus' text exposition format, every series labelled with the player's name.
std::string metricsText(const MetricsReading& reading, size_t throttledAddresses);

// GET /metrics: a logged-in session, or "Authorization: Bearer <token>"; 401 otherwise.
Reply metrics_endpoint(RequestContext& context);
// GET /api/metrics/token: {"token": the token or null}. POST: a new token, the old one stops working.
Reply metrics_token(RequestContext& context);
Reply metrics_token_renew(RequestContext& context);

}  // namespace quorvane::web
