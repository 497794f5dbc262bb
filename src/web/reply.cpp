#include "web/reply.h"

namespace quorvane::web {

Reply plainText(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.contentType = TEXT_CONTENT_TYPE;
    reply.body = std::move(body);
    return reply;
}

Reply json_response(const Json& value) { return jsonTextResponse(toJsonText(value)); }

Reply jsonTextResponse(std::string text) {
    Reply reply;
    reply.contentType = JSON_CONTENT_TYPE;
    reply.body = std::move(text);
    return reply;
}

Reply BadRequest(const std::string& message) { return plainText(400, message); }

Reply okText() { return plainText(200, "ok"); }

Reply redirect(const std::string& location) {
    Reply reply = plainText(302, "Redirecting to " + location);
    reply.headers.emplace_back("Location", location);
    return reply;
}

Reply fileReply(const std::filesystem::path& file, const std::string& contentType) {
    Reply reply;
    reply.contentType = contentType;
    reply.file = file;
    return reply;
}

Reply tooManyRequests(const std::string& message, int64_t retryAfterSeconds) {
    Reply reply = plainText(429, message);
    reply.headers.emplace_back("Retry-After", std::to_string(retryAfterSeconds));
    return reply;
}

Reply notFound(const std::string& message) { return plainText(404, message); }

Reply methodNotAllowed(const std::string& allowedMethods) {
    Reply reply = plainText(405, "Method Not Allowed");
    reply.headers.emplace_back("Allow", allowedMethods);
    return reply;
}

Reply payloadTooLarge() { return plainText(413, "Payload Too Large"); }

Reply internalError() { return plainText(500, "Internal Server Error"); }

Reply saveFailed() { return plainText(500, "The change could not be saved"); }

Reply changedElsewhere() { return plainText(409, CHANGED_ELSEWHERE_TEXT); }

}  // namespace quorvane::web
