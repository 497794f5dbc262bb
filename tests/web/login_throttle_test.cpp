// The table of failed password attempts, driven by a hand-moved clock (seconds).
#include "web/login_throttle.h"

#include <gtest/gtest.h>

namespace quorvane::web {
namespace {

constexpr const char* ADDRESS = "192.168.1.20";

// Fails `count` attempts at the time given; each must be admitted.
void failAdmitted(LoginThrottle& throttle, int count, int64_t now, const std::string& address = ADDRESS) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(throttle.admit(address, now), 0) << "attempt " << i + 1;
}

TEST(LoginThrottle, FiveFailuresThenAWaitThatDoublesUpToFifteenMinutes) {
    LoginThrottle throttle;
    failAdmitted(throttle, 5, 1000);
    EXPECT_EQ(throttle.admit(ADDRESS, 1000), 60);
    EXPECT_EQ(throttle.admit(ADDRESS, 1059), 1) << "the wait counts down; refused attempts do not prolong it";
    int64_t now = 1060;
    for (const int64_t wait : {120, 240, 480, 900, 900, 900}) {
        ASSERT_EQ(throttle.admit(ADDRESS, now), 0) << "admitted once the wait is over";
        EXPECT_EQ(throttle.admit(ADDRESS, now), wait);
        now += wait;
    }
}

TEST(LoginThrottle, CountsTheAddressesThatMustWaitNow) {
    LoginThrottle throttle;
    failAdmitted(throttle, 4, 1000, "10.0.0.1");
    EXPECT_EQ(throttle.waitingAt(1000), 0u) << "four failures make nobody wait";
    failAdmitted(throttle, 5, 1000, "10.0.0.2");
    failAdmitted(throttle, 5, 1010, "10.0.0.3");
    EXPECT_EQ(throttle.waitingAt(1010), 2u);
    EXPECT_EQ(throttle.waitingAt(1060), 1u) << "the first wait is over at 1060, the second at 1070";
    EXPECT_EQ(throttle.waitingAt(1070), 0u);
}

TEST(LoginThrottle, ASuccessStartsTheAddressAfresh) {
    LoginThrottle throttle;
    failAdmitted(throttle, 4, 1000);
    throttle.recordSuccess(ADDRESS);
    EXPECT_EQ(throttle.size(), 0u);
    failAdmitted(throttle, 5, 1001);
    EXPECT_GT(throttle.admit(ADDRESS, 1001), 0);
    // The fifth attempt counts as failed until the right password is reported.
    throttle.recordSuccess(ADDRESS);
    EXPECT_EQ(throttle.admit(ADDRESS, 1001), 0);
}

TEST(LoginThrottle, FailuresAreForgottenAfterFifteenQuietMinutes) {
    LoginThrottle throttle;
    failAdmitted(throttle, 4, 1000);
    failAdmitted(throttle, 1, 1000 + 899);
    EXPECT_EQ(throttle.admit(ADDRESS, 1000 + 899), 60) << "five within fifteen minutes";

    LoginThrottle quiet;
    failAdmitted(quiet, 4, 1000);
    failAdmitted(quiet, 5, 1000 + 900);
    EXPECT_EQ(quiet.admit(ADDRESS, 1000 + 900), 60) << "the first four were forgotten";
}

TEST(LoginThrottle, QuietTimeCountsFromTheEndOfTheWait) {
    LoginThrottle throttle;
    failAdmitted(throttle, 5, 0);
    int64_t now = 60;
    for (const int64_t wait : {120, 240, 480, 900}) {
        failAdmitted(throttle, 1, now);
        now += wait;
    }
    // Blocked until `now`: fifteen minutes after that the address is forgiven, not a second earlier.
    failAdmitted(throttle, 1, now + 899);
    EXPECT_EQ(throttle.admit(ADDRESS, now + 899), 900);
    const int64_t forgiven = now + 899 + 900 + 900;
    failAdmitted(throttle, 5, forgiven);
    EXPECT_EQ(throttle.admit(ADDRESS, forgiven), 60);
}

TEST(LoginThrottle, AClockSetBackDoesNotLengthenTheWait) {
    LoginThrottle throttle;
    failAdmitted(throttle, 5, 1'000'000);
    EXPECT_EQ(throttle.admit(ADDRESS, 1'000'000 - 86'400), 900);
}

TEST(LoginThrottle, TheTableIsBoundedAndDropsTheLeastRecentlyFailing) {
    LoginThrottle throttle(3);
    failAdmitted(throttle, 5, 1000, "a");
    failAdmitted(throttle, 5, 1001, "b");
    failAdmitted(throttle, 1, 1002, "c");
    EXPECT_GT(throttle.admit("a", 1003), 0) << "refused, and so the most recent again";
    failAdmitted(throttle, 1, 1004, "d");
    EXPECT_EQ(throttle.size(), 3u);
    EXPECT_EQ(throttle.admit("b", 1004), 0) << "b was dropped: it starts afresh";
    EXPECT_GT(throttle.admit("a", 1004), 0);

    LoginThrottle full;
    for (size_t i = 0; i < LoginThrottle::DEFAULT_CAPACITY + 100; ++i) failAdmitted(full, 1, 1000, "10.0." + std::to_string(i));
    EXPECT_EQ(full.size(), LoginThrottle::DEFAULT_CAPACITY);
}

}  // namespace
}  // namespace quorvane::web
