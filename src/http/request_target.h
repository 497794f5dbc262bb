#pragma once
// The request target taken apart: its path and its query, percent-decoded.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::http {

struct RequestTarget {
    std::string path;
    std::vector<std::pair<std::string, std::string>> query;
};

// %XX becomes its byte; a "%" not followed by two hexadecimal digits stays as it is. In a query "+"
// also stands for a space.
std::string percentDecode(std::string_view text, bool plusIsSpace = false);

// Origin form ("/a/b?x=1"), absolute form ("http://host/a?x=1", whose path defaults to "/") and "*".
// Absent for anything else.
std::optional<RequestTarget> parseRequestTarget(std::string_view target);

}  // namespace quorvane::http
