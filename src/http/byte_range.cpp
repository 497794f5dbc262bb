#include "http/byte_range.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "http/headers.h"

namespace quorvane::http {
namespace {

// Digits only; values past 64 bits saturate, which is as unsatisfiable as any other huge position.
std::optional<uint64_t> position(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        value = value > (std::numeric_limits<uint64_t>::max() - digit) / 10 ? std::numeric_limits<uint64_t>::max() : value * 10 + digit;
    }
    return value;
}

}  // namespace

RangeDecision decideRange(std::string_view header, uint64_t fileSize) {
    using Kind = RangeDecision::Kind;
    header = trimmedSpace(header);
    const std::string_view unit = "bytes=";
    if (header.size() <= unit.size() || !equalsIgnoringCase(header.substr(0, unit.size()), unit)) return {};
    const std::string_view rangeText = trimmedSpace(header.substr(unit.size()));
    if (rangeText.find(',') != std::string_view::npos) return {};
    const size_t dash = rangeText.find('-');
    if (dash == std::string_view::npos) return {};
    const std::string_view firstText = trimmedSpace(rangeText.substr(0, dash)), lastText = trimmedSpace(rangeText.substr(dash + 1));
    const std::optional<uint64_t> first = position(firstText), last = position(lastText);
    if (firstText.empty()) {  // the last N bytes
        if (!last) return {};
        if (*last == 0 || fileSize == 0) return {Kind::unsatisfiable};
        return {Kind::single, fileSize - std::min(*last, fileSize), fileSize - 1};
    }
    if (!first || (!lastText.empty() && !last)) return {};
    if ((last && *first > *last) || *first >= fileSize) return {Kind::unsatisfiable};
    return {Kind::single, *first, last ? std::min(*last, fileSize - 1) : fileSize - 1};
}

}  // namespace quorvane::http
