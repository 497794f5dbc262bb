#pragma once
// How a request to the remote service is addressed: the base address split into what the HTTP client
// connects to and the path below it, and the query string.
#include <string>

#include "remote/api.h"

namespace quorvane {

inline constexpr const char* SERVICE_API_PATH = "/api/player/v1";
inline constexpr const char* SERVICE_URL_VARIABLE = "QUORVANE_SERVICE_URL";

struct ServiceAddress {
    std::string origin;      // scheme://host[:port], what the client connects to
    std::string pathPrefix;  // any path of the base address, without a trailing slash
};

// The base address in force: QUORVANE_SERVICE_URL when set, else the build's address for this layout.
std::string serviceBaseUrl();

ServiceAddress splitServiceUrl(const std::string& baseUrl);

// name=value pairs joined by &, in the order given, each side percent-encoded.
std::string encodeQuery(const QueryParams& params);

}  // namespace quorvane
