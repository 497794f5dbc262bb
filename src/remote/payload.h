#pragma once
// The payload of a service response, chosen by its content type.
#include <string>

#include "remote/api.h"

namespace quorvane {

// Substring tests in this order: "text/plain" gives the text, "application/json" the parsed JSON (a body
// that does not parse throws DecodeError), anything else (also no header at all) the raw bytes.
Payload payloadFromResponse(const std::string& contentType, std::string body);

}  // namespace quorvane
