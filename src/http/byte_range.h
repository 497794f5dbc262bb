#pragma once
// The Range header of a file answer: one range is honoured, several get the whole file.
#include <cstdint>
#include <string_view>

namespace quorvane::http {

struct RangeDecision {
    enum class Kind { whole, single, unsatisfiable };
    Kind kind = Kind::whole;
    uint64_t first = 0, last = 0;  // inclusive, for single
};

// A header that is absent, not in bytes or not understood is ignored (the whole file).
RangeDecision decideRange(std::string_view header, uint64_t fileSize);

}  // namespace quorvane::http
