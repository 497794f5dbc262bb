#include "web/revisions.h"

#include <cstdio>
#include <string_view>

#include "model/text.h"

namespace quorvane::web {
namespace {

// One member of an If-Match list against the current revision: strong comparison of quoted tags.
bool matches(std::string_view member, const std::string& current) {
    if (member == "*") return true;
    return member.size() == current.size() + 2 && member.front() == '"' && member.back() == '"' && member.substr(1, current.size()) == current;
}

}  // namespace

std::string revisionText(Fingerprint content) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(content));
    return text;
}

std::optional<Reply> staleRevisionRefusal(const http::Headers& headers, const std::string& current) {
    if (!headers.has("If-Match")) return std::nullopt;
    for (const std::string& field : headers.all("If-Match"))
        for (const std::string_view member : splitAt(field, ','))
            if (matches(http::trimmedSpace(member), current)) return std::nullopt;
    return changedElsewhere();
}

Reply withRevision(Reply reply, const std::string& revision) {
    reply.headers.emplace_back("ETag", "\"" + revision + "\"");
    return reply;
}

}  // namespace quorvane::web
