#pragma once
// The bell journal and the player's health: "/api/get/journal", "/api/get/health" and "/healthz", the
// one answer that monitoring tools get without a login.
#include <string>

#include "model/json_text.h"
#include "scheduling/health_checks.h"
#include "web/request_context.h"

namespace quorvane::web {

// ?date=2024-09-02 (today without one): the day's entries in order and their summary; 400 for a date
// that is not one.
Reply journal_endpoint(RequestContext& context);
Reply health_endpoint(RequestContext& context);
// 200 "ok", or 503 with one word for what is wrong; nothing more, since anybody may ask.
Reply healthz(RequestContext& context);

// The JSON text of the journal endpoint's answer for a day of a journal folder.
std::string journalDayText(const std::filesystem::path& folder, const std::string& date);

// Where the health answers look; tests stand in sources of their own (empty: the process's).
void setHealthSources(std::optional<HealthSources> sources);
HealthSources healthSources();

}  // namespace quorvane::web
