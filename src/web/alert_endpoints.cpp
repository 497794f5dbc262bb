#include "web/alert_endpoints.h"

#include "scheduling/alert_worker.h"

namespace quorvane::web {

Reply alerts_test(RequestContext&) {
    // No lock is held here: each send waits for its receiver, up to its time limit.
    const auto results = sendTestAlert(AlertWorkerParts::ofThisProcess());
    if (results.empty()) return BadRequest("Set a webhook address or an e-mail address for alerts first");
    Json answer = Json::object();
    for (const auto& [channel, outcome] : results) answer[channelName(channel)] = {{"sent", outcome.sent}, {"error", outcome.error}};
    return json_response(answer);
}

}  // namespace quorvane::web
