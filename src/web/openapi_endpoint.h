#pragma once
// The interface described for other programs: the OpenAPI document of every route, served as it is
// kept in docs/openapi.json.
#include <string_view>

#include "web/reply.h"
#include "web/request_context.h"

namespace quorvane::web {

std::string_view openApiDocument();

Reply openapi_document(RequestContext& context);

}  // namespace quorvane::web
