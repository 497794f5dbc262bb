// Password attempts sent side by side from one address cannot slip past the count.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "web/login_throttle.h"

namespace quorvane::web {
namespace {

TEST(LoginThrottleConcurrency, AttemptsSentTogetherAreAdmittedOnlyUpToTheLimit) {
    LoginThrottle throttle;
    std::atomic<int> admitted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                if (throttle.admit("10.0.0.1", 1000) == 0) ++admitted;
                // Other addresses churn the table meanwhile.
                throttle.admit("10.1." + std::to_string(t) + "." + std::to_string(i), 1000);
                if (i % 10 == 0) throttle.recordSuccess("10.1." + std::to_string(t) + "." + std::to_string(i));
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(admitted.load(), LoginThrottle::FREE_ATTEMPTS);
    EXPECT_EQ(throttle.size(), 1u + 8 * 45) << "one entry per address that has not succeeded";
}

}  // namespace
}  // namespace quorvane::web
