#include "web/https_redirect.h"

#include <algorithm>

namespace quorvane::web {
namespace {

bool isNameCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool isIpv6Character(char c) { return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.'; }

bool isPort(std::string_view text) {
    return !text.empty() && text.size() <= 5 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::string> hostNameOf(std::string_view host) {
    std::string_view name = host;
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        name = host.substr(0, close + 1);
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && !(rest.front() == ':' && isPort(rest.substr(1)))) return std::nullopt;
        const std::string_view inside = name.substr(1, name.size() - 2);
        if (inside.empty() || !std::all_of(inside.begin(), inside.end(), isIpv6Character)) return std::nullopt;
        return std::string(name);
    }
    if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
        if (!isPort(host.substr(colon + 1))) return std::nullopt;
        name = host.substr(0, colon);
    }
    if (name.empty() || name.size() > 253 || !std::all_of(name.begin(), name.end(), isNameCharacter)) return std::nullopt;
    return std::string(name);
}

std::optional<Reply> httpsRedirect(const http::Request& request, int tlsPort) {
    if (request.path == "/healthz") return std::nullopt;
    const auto name = hostNameOf(request.headers.value("Host"));
    if (!name) return BadRequest("The Host header does not name this player");
    // The target as sent keeps the query's own encoding; an absolute-form target gives its path.
    std::string target = request.target;
    if (target.empty() || target.front() != '/') {
        const size_t scheme = target.find("://");
        const size_t path = scheme == std::string::npos ? std::string::npos : target.find('/', scheme + 3);
        target = path == std::string::npos ? "/" : target.substr(path);
    }
    Reply reply = plainText(308, "Permanent Redirect");
    reply.headers.emplace_back("Location", "https://" + *name + ":" + std::to_string(tlsPort) + target);
    return reply;
}

}  // namespace quorvane::web
