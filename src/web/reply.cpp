#include "web/reply.h"

namespace quorvane::web {
namespace {

Reply text(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.contentType = TEXT_CONTENT_TYPE;
    reply.body = std::move(body);
    return reply;
}

}  // namespace

Reply json_response(const Json& value) { return jsonTextResponse(toJsonText(value)); }

Reply jsonTextResponse(std::string text) {
    Reply reply;
    reply.contentType = JSON_CONTENT_TYPE;
    reply.body = std::move(text);
    return reply;
}

Reply plainText(int status, std::string body) { return text(status, std::move(body)); }

Reply BadRequest(const std::string& message) { return text(400, message); }

Reply okText() { return text(200, "ok"); }

Reply redirect(const std::string& location) {
    Reply reply = text(302, "Redirecting to " + location);
    reply.headers.emplace_back("Location", location);
    return reply;
}

Reply fileReply(std::string bytes, const std::string& contentType) {
    Reply reply;
    reply.contentType = contentType;
    reply.body = std::move(bytes);
    reply.isFile = true;
    return reply;
}

Reply tooManyRequests(const std::string& message, int64_t retryAfterSeconds) {
    Reply reply = text(429, message);
    reply.headers.emplace_back("Retry-After", std::to_string(retryAfterSeconds));
    return reply;
}

Reply notFound(const std::string& message) { return text(404, message); }

Reply methodNotAllowed(const std::string& allowedMethods) {
    Reply reply = text(405, "Method Not Allowed");
    reply.headers.emplace_back("Allow", allowedMethods);
    return reply;
}

Reply internalError() { return text(500, "Internal Server Error"); }

Reply saveFailed() { return text(500, "The change could not be saved"); }

}  // namespace quorvane::web
