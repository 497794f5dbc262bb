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

}  // namespace quorvane
