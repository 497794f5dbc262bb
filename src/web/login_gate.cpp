#include "web/login_gate.h"

#include "storage/stored_records.h"

namespace quorvane::web {

Session acceptedSession(std::string_view cookieHeader, std::string_view signingKey, int64_t now) {
    Session session = Session::fromCookieHeader(cookieHeader, signingKey);
    if (!session.loggedIn()) return session;
    StateLock lock;
    const Shadow& credentials = shadow.view(lock);
    if (session.isCurrent(credentials._sessionGeneration, now) && !credentials.isSessionRevoked(session.id())) return session;
    return {};
}

bool isLoginRequired(const Session& session) {
    if (session.loggedIn()) return false;
    StateLock lock;
    return shadow.view(lock).isPasswordSet();
}

std::optional<Reply> require_login(const RequestContext& context) {
    if (isLoginRequired(context.session)) return BadRequest("No auth");
    return std::nullopt;
}

}  // namespace quorvane::web
