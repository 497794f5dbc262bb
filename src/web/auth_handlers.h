#pragma once
// The login gate and the login, logout and password-change endpoints.
#include <optional>

#include "web/request_context.h"

namespace quorvane::web {

// "No auth" (400) when a password is set and the session is not logged in; absent when the request may
// go on to its handler.
std::optional<Reply> require_login(const RequestContext& context);

// True when a password is set and the session is not logged in.
bool isLoginRequired(const Session& session);

Reply auth_login(RequestContext& context);
Reply auth_logout(RequestContext& context);
Reply auth_chpasswd(RequestContext& context);

}  // namespace quorvane::web
