#include "remote/payload.h"

#include "model/errors.h"

namespace quorvane {

Payload payloadFromResponse(const std::string& contentType, std::string body) {
    if (contentType.find("text/plain") != std::string::npos) return Payload(std::in_place_type<std::string>, std::move(body));
    if (contentType.find("application/json") != std::string::npos) return Payload(std::in_place_type<Json>, parseJson(body));
    return Payload(std::in_place_type<RawBody>, RawBody{std::move(body)});
}

std::string describe(const Payload& payload) {
    if (const auto* text = std::get_if<std::string>(&payload)) return *text;
    if (const auto* json = std::get_if<Json>(&payload)) return toJsonText(*json);
    return "<" + std::to_string(std::get<RawBody>(payload).bytes.size()) + " bytes>";
}

}  // namespace quorvane
