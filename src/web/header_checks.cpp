#include "web/header_checks.h"

#include "model/text.h"
#include "web/login_gate.h"

namespace quorvane::web {
namespace {

// "host:port" of a serialised origin ("http://school.lan:5000"); absent for "null" and anything that is
// not scheme://authority.
std::optional<std::string_view> originAuthority(std::string_view origin) {
    const size_t scheme = origin.find("://");
    if (scheme == std::string_view::npos || scheme == 0) return std::nullopt;
    const std::string_view authority = origin.substr(scheme + 3);
    if (authority.empty() || authority.find_first_of("/?#@") != std::string_view::npos) return std::nullopt;
    return authority;
}

}  // namespace

bool isCrossSite(const http::Headers& headers) {
    if (http::equalsIgnoringCase(http::trimmedSpace(headers.value("Sec-Fetch-Site")), "cross-site")) return true;
    if (!headers.has("Origin")) return false;
    const auto authority = originAuthority(http::trimmedSpace(headers.value("Origin")));
    return !authority || !http::equalsIgnoringCase(*authority, http::trimmedSpace(headers.value("Host")));
}

bool isJsonContentType(std::string_view contentType) {
    const std::string type = toLower(trimmed(contentType.substr(0, contentType.find(';'))));
    const std::string_view suffix = "+json";
    return type == "application/json" || (type.rfind("application/", 0) == 0 && type.size() > suffix.size() && type.ends_with(suffix));
}

std::optional<Reply> refusalFromHeaders(const RouteTable::Match& match, const http::Request& request, const Session& session) {
    if (!match.route) return methodNotAllowed(match.allowedMethods);
    const Route& route = *match.route;
    if (!route.readOnly() && isCrossSite(request.headers)) return plainText(403, "Cross-site request refused");
    if (route.loginRequired && isLoginRequired(session)) return BadRequest("No auth");
    if (request.contentLength > route.maxBodyBytes) return payloadTooLarge();
    if (route.body == RequestBody::JSON && !isJsonContentType(request.headers.value("Content-Type")))
        return BadRequest("The request body must be JSON (Content-Type: application/json)");
    return std::nullopt;
}

}  // namespace quorvane::web
