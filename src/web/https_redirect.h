#pragma once
// With HTTPS on, the plain port sends browsers over: every request answers 308 to the same path and
// query on the TLS port of the host name the browser used, except the monitoring route, which tools
// keep reading over plain HTTP.
#include <optional>
#include <string>
#include <string_view>

#include "http/message.h"
#include "web/reply.h"

namespace quorvane::web {

// The host name of a Host header without its port: a DNS name or IPv4 address, or an IPv6 literal in
// brackets. Absent for anything else (nothing a browser sends), so that no text of the client's
// choosing reaches the Location header.
std::optional<std::string> hostNameOf(std::string_view hostHeader);

// The answer for a request that came in plain on a server that speaks HTTPS on tlsPort; absent for
// requests served over plain HTTP all the same.
std::optional<Reply> httpsRedirect(const http::Request& request, int tlsPort);

}  // namespace quorvane::web
