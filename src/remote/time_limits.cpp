#include "remote/time_limits.h"

#include <atomic>

namespace quorvane {
namespace {

using namespace std::chrono_literals;

std::atomic<int> testDivisor{1};

TimeLimits shortened(TimeLimits limits) {
    const int divisor = testDivisor.load();
    return {limits.connect / divisor, limits.read / divisor};
}

}  // namespace

TimeLimits requestTimeLimits() { return shortened({5s, 15s}); }

TimeLimits downloadTimeLimits() { return shortened({5s, 60s}); }

void shortenTimeLimitsForTesting(int divisor) { testDivisor = divisor > 0 ? divisor : 1; }

}  // namespace quorvane
