// The Range header of a signal file: whatever a client sends, the answer is the whole file, one range
// inside the file, or unsatisfiable; never a range that runs past the file or backwards.
#include <cstdint>
#include <limits>

#include "fuzz_input.h"
#include "http/byte_range.h"

namespace {

using quorvane::http::decideRange;
using quorvane::http::RangeDecision;

void decide(const std::string& header, uint64_t fileSize) {
    const RangeDecision decision = decideRange(header, fileSize);
    if (decision.kind != RangeDecision::Kind::single) return;
    quorvane::fuzz::require(decision.first <= decision.last, "a range runs forwards", header);
    quorvane::fuzz::require(decision.last < fileSize, "a range ends inside the file", header);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string header = quorvane::fuzz::inputText(data, size);
    for (const uint64_t fileSize : {uint64_t{0}, uint64_t{1}, uint64_t{100}, uint64_t{99} << 20, std::numeric_limits<uint64_t>::max()})
        decide(header, fileSize);
    return 0;
}
