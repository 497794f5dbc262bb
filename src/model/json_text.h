#pragma once
// The one JSON text form of the system, used for the stored files and for every JSON answer of the web
// interface: one line, ", " and ": " as separators, pure ASCII (every other character as a \u escape),
// reals in their shortest exact form with a fraction for integral values.
#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace quorvane {

using Json = nlohmann::ordered_json;

std::string toJsonText(const Json& value);

// A real as the JSON text writes it: 1.0, 2.5, 100000.0, 1e+16, NaN, Infinity. Records never hold the
// non-finite ones (decoding refuses them), so no answer and no stored file carries them.
std::string realText(double value);

// True for a JSON integer that fits a signed 64-bit integer.
bool isInt64(const Json& value);

// Arrays and objects nested deeper than this are refused by parseJson.
inline constexpr size_t MAX_JSON_DEPTH = 256;

// Parses JSON text; throws DecodeError with the parser's reason when the text is not JSON or is nested
// deeper than MAX_JSON_DEPTH.
Json parseJson(const std::string& text);
// Parses a stored file. Older versions could write the literals NaN, Infinity and -Infinity, which are no
// JSON; they are read as the texts "NaN"... so that decoding repairs the fields that hold them.
Json parseStoredJson(const std::string& text);

}  // namespace quorvane
