#pragma once
// Small text helpers shared by the parsers of the system.
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The text without white space at either end.
std::string_view trimmed(std::string_view text);

// The parts between every occurrence of the separator (an empty text gives one empty part).
std::vector<std::string_view> splitAt(std::string_view text, char separator);

// ASCII letters in lower case; other bytes unchanged.
std::string toLower(std::string_view text);

// Text from a client made safe for one log line: control characters and the backslash become \xHH
// escapes, so that a request cannot start log lines of its own or make one look like another.
std::string escapedForLog(std::string_view text);

// The UTF-8 characters of a text (bytes that begin one).
size_t characterCount(std::string_view text);

// At most maxBytes of the text, cut before a UTF-8 character rather than inside one, with "..."
// added when anything was cut.
std::string shortened(std::string_view text, size_t maxBytes);

}  // namespace quorvane
