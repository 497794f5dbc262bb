#pragma once
// The payload of a service response, chosen by its content type.
#include <string>
#include <variant>

#include "model/json_text.h"

namespace quorvane {

// The bytes of a response whose content type is neither text nor JSON.
struct RawBody {
    std::string bytes;
};

// A response's payload by its content type: text, JSON or raw bytes. Transport failures are carried as
// their message text.
using Payload = std::variant<std::string, Json, RawBody>;
std::string describe(const Payload& payload);

// Substring tests in this order: "text/plain" gives the text, "application/json" the parsed JSON (a body
// that does not parse throws DecodeError), anything else (also no header at all) the raw bytes.
Payload payloadFromResponse(const std::string& contentType, std::string body);

}  // namespace quorvane
