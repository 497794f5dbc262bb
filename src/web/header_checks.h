#pragma once
// What the frame decides from a request's headers alone, before any byte of its body is read.
#include <optional>
#include <string_view>

#include "http/message.h"
#include "web/reply.h"
#include "web/route_table.h"
#include "web/session.h"

namespace quorvane::web {

// True when a browser says it sent the request from another site: Sec-Fetch-Site: cross-site, or an
// Origin whose host and port are not the Host the request was sent to (the opaque origin "null" too).
// Requests without either header (other clients, navigations) are not marked.
bool isCrossSite(const http::Headers& headers);

// True for application/json and application/...+json, with or without parameters.
bool isJsonContentType(std::string_view contentType);

// The refusal of a request by its headers and session, absent when it may go on. In this order: no
// route takes its method (405), a state change sent from another site (403), a gated route without
// login (400 "No auth"), a body larger than the route takes (413), a JSON route sent something else (400).
std::optional<Reply> refusalFromHeaders(const RouteTable::Match& match, const http::Request& request, const Session& session);

}  // namespace quorvane::web
