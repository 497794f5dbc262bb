#include "remote/service_address.h"

#include <cstdlib>

#include "core/paths.h"

namespace quorvane {
namespace {

std::string withoutTrailingSlashes(std::string text) {
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
}

std::string percentEncode(const std::string& text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const unsigned char c : text) {
        if (isUnreserved(c)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += HEX[c >> 4];
            encoded += HEX[c & 0xF];
        }
    }
    return encoded;
}

}  // namespace

std::string serviceBaseUrl() {
    const char* overridden = std::getenv(SERVICE_URL_VARIABLE);
    if (overridden && *overridden) return withoutTrailingSlashes(overridden);
    return withoutTrailingSlashes(isRelease() ? QUORVANE_SERVICE_URL_RELEASE : QUORVANE_SERVICE_URL_DEV);
}

ServiceAddress splitServiceUrl(const std::string& baseUrl) {
    const std::string url = withoutTrailingSlashes(baseUrl);
    const auto schemeEnd = url.find("://");
    const auto pathStart = url.find('/', schemeEnd == std::string::npos ? 0 : schemeEnd + 3);
    if (pathStart == std::string::npos) return {url, ""};
    return {url.substr(0, pathStart), url.substr(pathStart)};
}

std::string encodeQuery(const QueryParams& params) {
    std::string query;
    for (const auto& [name, value] : params) {
        if (!query.empty()) query += '&';
        query += percentEncode(name);
        query += '=';
        query += percentEncode(value);
    }
    return query;
}

}  // namespace quorvane
