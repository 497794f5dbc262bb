// Stopping the scheduler thread at shutdown: it ends after its pass and saves once more; a pass that
// hangs keeps it only until the caller's deadline.
#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "scheduling/scheduler.h"
#include "support/paced_time_source.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PacedTimeSource;

class SchedulerStopTest : public ::testing::Test {
protected:
    void SetUp() override { _previous = setTimeSource(_time); }
    void TearDown() override { setTimeSource(_previous); }

    static bool waitFor(const std::function<bool()>& condition) {
        for (const auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(1ms))
            if (condition()) return true;
        return false;
    }

    std::shared_ptr<PacedTimeSource> _time = std::make_shared<PacedTimeSource>();
    std::shared_ptr<TimeSource> _previous;
};

TEST_F(SchedulerStopTest, EndsAfterItsPassAndSavesOnceMore) {
    std::atomic<int> saves{0}, passes{0};
    SchedulerSteps steps;
    steps.saveStoredRecords = [&] { ++saves; };
    steps.afterPass = [&] { ++passes; };
    const auto scheduler = std::make_shared<Scheduler>(steps);
    scheduler->start();
    ASSERT_TRUE(waitFor([&] { return passes >= 3; }));

    const auto asked = Clock::now();
    EXPECT_TRUE(scheduler->stop(asked + 2s));
    EXPECT_LT(Clock::now() - asked, 500ms);
    EXPECT_EQ(saves.load(), passes.load() + 1) << "every pass saves, and the end saves once more";
    const int endedAt = passes;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(passes.load(), endedAt) << "no pass after the stop";
}

TEST_F(SchedulerStopTest, AHungPassHoldsTheStopOnlyUntilTheDeadline) {
    std::promise<void> unblock;
    std::shared_future<void> unblocked = unblock.get_future().share();
    std::atomic<bool> inPass{false};
    std::atomic<int> saves{0};
    SchedulerSteps steps;
    steps.processSecond = [&](const struct_time&) {
        inPass = true;
        unblocked.wait();
    };
    steps.saveStoredRecords = [&] { ++saves; };
    const auto scheduler = std::make_shared<Scheduler>(steps);
    scheduler->start();
    ASSERT_TRUE(waitFor([&] { return inPass.load(); }));

    const auto asked = Clock::now();
    EXPECT_FALSE(scheduler->stop(asked + 100ms));
    EXPECT_LT(Clock::now() - asked, 1s);
    EXPECT_EQ(saves.load(), 0) << "nothing is saved while the pass hangs";

    unblock.set_value();
    EXPECT_TRUE(scheduler->stop(Clock::now() + 2s)) << "the pass that comes back ends the thread";
    EXPECT_EQ(saves.load(), 2) << "the pass's own save and the last one";
}

}  // namespace
}  // namespace quorvane
