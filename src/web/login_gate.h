#pragma once
// The login gate: which requests' sessions count, and the refusal of a request that needs a login.
#include <optional>
#include <string_view>

#include "web/request_context.h"

namespace quorvane::web {

// The session of a request's Cookie header as the gate sees it: a session that has expired, was issued
// before the last password change or was logged out counts as none. Takes the state lock itself.
Session acceptedSession(std::string_view cookieHeader, std::string_view signingKey, int64_t now);

// "No auth" (400) when a password is set and the session is not logged in; absent when the request may
// go on to its handler.
std::optional<Reply> require_login(const RequestContext& context);

// True when a password is set and the session is not logged in.
bool isLoginRequired(const Session& session);

}  // namespace quorvane::web
