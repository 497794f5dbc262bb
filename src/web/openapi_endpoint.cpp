#include "web/openapi_endpoint.h"

namespace quorvane::web {

// Written at build time from docs/openapi.json (cmake/EmbedText.cmake).
extern const std::string_view OPENAPI_DOCUMENT;

std::string_view openApiDocument() { return OPENAPI_DOCUMENT; }

Reply openapi_document(RequestContext&) {
    Reply reply = plainText(200, std::string(OPENAPI_DOCUMENT));
    reply.contentType = "application/json; charset=utf-8";
    return reply;
}

}  // namespace quorvane::web
