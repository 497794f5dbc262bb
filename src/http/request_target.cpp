#include "http/request_target.h"

#include "http/headers.h"

namespace quorvane::http {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::pair<std::string, std::string>> parseQuery(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty()) continue;
        const size_t equals = item.find('=');
        pairs.emplace_back(percentDecode(item.substr(0, equals), true),
                           equals == std::string_view::npos ? std::string() : percentDecode(item.substr(equals + 1), true));
    }
    return pairs;
}

}  // namespace

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(plusIsSpace && c == '+' ? ' ' : c);
        }
    }
    return decoded;
}

std::optional<RequestTarget> parseRequestTarget(std::string_view target) {
    if (target == "*") return RequestTarget{"*", {}};
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.size() >= scheme.size() && equalsIgnoringCase(target.substr(0, scheme.size()), scheme)) {
            const size_t pathStart = target.find_first_of("/?", scheme.size());
            if (pathStart == std::string_view::npos) return RequestTarget{"/", {}};
            const std::string rest = (target[pathStart] == '?' ? "/" : "") + std::string(target.substr(pathStart));
            return parseRequestTarget(rest);
        }
    }
    if (target.empty() || target[0] != '/') return std::nullopt;
    const size_t question = target.find('?');
    RequestTarget parsed;
    parsed.path = percentDecode(target.substr(0, question));
    if (question != std::string_view::npos) parsed.query = parseQuery(target.substr(question + 1));
    return parsed;
}

}  // namespace quorvane::http
