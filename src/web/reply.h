#pragma once
// The answers of the web interface. Every handler returns a Reply; the server frame turns it into the
// HTTP response and adds the headers that every response carries.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/json_text.h"

namespace quorvane::web {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A file answer: sent from the file in pieces (the body is unused), byte ranges honoured. Any other
    // answer ignores a Range header.
    std::optional<std::filesystem::path> file;
};

inline constexpr const char* TEXT_CONTENT_TYPE = "text/plain; charset=utf-8";
inline constexpr const char* JSON_CONTENT_TYPE = "application/json";

// Status 200 with the JSON text of the value (pure ASCII).
Reply json_response(const Json& value);
// Status 200 with JSON text already written by the one JSON writer (pure ASCII).
Reply jsonTextResponse(std::string text);
// The status with a plain-text body, verbatim.
Reply plainText(int status, std::string body);
// Status 400 whose body is the message, verbatim.
Reply BadRequest(const std::string& message);
// Status 200 with the body "ok".
Reply okText();
// Status 302 to the path.
Reply redirect(const std::string& location);
// Status 200 with the bytes of a file, read as they are sent; byte ranges apply. A file that cannot be
// opened by then answers 404.
Reply fileReply(const std::filesystem::path& file, const std::string& contentType);

// Status 429 with the message and Retry-After: the seconds to wait.
Reply tooManyRequests(const std::string& message, int64_t retryAfterSeconds);

// The generic answers of the frame; handlers may name what was not found.
Reply notFound(const std::string& message = "Not Found");
Reply methodNotAllowed(const std::string& allowedMethods);
Reply payloadTooLarge();
Reply internalError();
// Status 500: the change was made but could not be written to disk.
Reply saveFailed();
// Status 409: the change was made against an older revision of its record (see revisions.h).
inline constexpr const char* CHANGED_ELSEWHERE_TEXT = "Changed elsewhere: reload to see the other change";
Reply changedElsewhere();

// A client error found while preparing a request for its handler (a body that is not JSON, say). The
// frame answers its reply; handlers never see such a request.
class RefusedRequest : public std::exception {
public:
    explicit RefusedRequest(Reply reply) : _reply(std::move(reply)) {}
    const Reply& reply() const { return _reply; }
    const char* what() const noexcept override { return "request refused"; }

private:
    Reply _reply;
};

}  // namespace quorvane::web
