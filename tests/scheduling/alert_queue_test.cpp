#include "scheduling/alert_queue.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Time = AlertQueue::Time;

AlertMessage named(const std::string& text) {
    AlertMessage message;
    message.event = "bellFailed";
    message.message = text;
    return message;
}

TEST(AlertQueue, AFailedSendIsTriedAfterOneFiveAndThirtyMinutesThenGivenUp) {
    AlertQueue queue;
    const Time start{};
    ASSERT_TRUE(queue.add(named("a"), AlertChannel::WEBHOOK, start));
    std::vector<std::chrono::minutes> waits;
    Time now = start;
    while (true) {
        auto due = queue.takeDue(now);
        ASSERT_EQ(due.size(), 1u);
        due[0].attempts += 1;  // as the worker does when it tries
        if (!queue.retry(due[0], now)) break;
        ASSERT_TRUE(queue.nextDue());
        const auto wait = std::chrono::duration_cast<std::chrono::minutes>(*queue.nextDue() - now);
        // Not a moment before its time.
        EXPECT_TRUE(queue.takeDue(*queue.nextDue() - 1s).empty());
        waits.push_back(wait);
        now = *queue.nextDue();
    }
    EXPECT_EQ(waits, (std::vector<std::chrono::minutes>{1min, 5min, 30min}));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(queue.nextDue(), std::nullopt);
}

TEST(AlertQueue, DueDeliveriesComeOldestFirstAndOthersWait) {
    AlertQueue queue;
    const Time start{};
    queue.add(named("first"), AlertChannel::WEBHOOK, start);
    queue.add(named("second"), AlertChannel::MAIL, start + 1s);
    queue.add(named("later"), AlertChannel::WEBHOOK, start + 1h);
    const auto due = queue.takeDue(start + 2s);
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[0].message.message, "first");
    EXPECT_EQ(due[1].message.message, "second");
    EXPECT_EQ(due[1].channel, AlertChannel::MAIL);
    EXPECT_EQ(queue.nextDue(), start + 1h);
}

TEST(AlertQueue, AFloodIsBoundedButRetriesKeepTheirPlace) {
    AlertQueue queue;
    const Time start{};
    for (size_t i = 0; i < AlertQueue::CAPACITY; ++i) ASSERT_TRUE(queue.add(named(std::to_string(i)), AlertChannel::WEBHOOK, start));
    EXPECT_FALSE(queue.add(named("one too many"), AlertChannel::WEBHOOK, start));
    EXPECT_EQ(queue.size(), AlertQueue::CAPACITY);

    auto taken = queue.takeDue(start);
    ASSERT_EQ(taken.size(), AlertQueue::CAPACITY);
    for (size_t i = 1; i < AlertQueue::CAPACITY; ++i) queue.add(named("new"), AlertChannel::WEBHOOK, start);
    queue.add(named("fills it"), AlertChannel::WEBHOOK, start);
    taken[0].attempts = 1;
    EXPECT_TRUE(queue.retry(taken[0], start));
    // Never retried without an attempt made.
    taken[1].attempts = 0;
    EXPECT_FALSE(queue.retry(taken[1], start));
}

}  // namespace
}  // namespace quorvane
