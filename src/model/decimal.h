#pragma once
// The one parser of decimal numbers in texts (stored files, time fields): an optional sign (a "+" is
// allowed), digits, and for reals a fraction and an exponent; white space around the number is ignored.
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {

// Absent when the text is not exactly one decimal integer that fits 64 bits.
std::optional<int64_t> parseDecimalInteger(std::string_view text);
// Absent when the text is not exactly one decimal number that a double can hold.
std::optional<double> parseDecimalReal(std::string_view text);

}  // namespace quorvane
