#pragma once
// The login, logout and password-change endpoints.
#include "web/request_context.h"

namespace quorvane::web {

Reply auth_login(RequestContext& context);
Reply auth_logout(RequestContext& context);
Reply auth_chpasswd(RequestContext& context);

}  // namespace quorvane::web
