// Two alarm toggles at the same moment, watched by a reader of the alarm state.
#include <atomic>
#include <latch>
#include <thread>

#include <gtest/gtest.h>

#include "audio/signal_fixture.h"

namespace quorvane::testing {
namespace {

class AlarmConcurrencyTest : public SignalFixture {};

TEST_F(AlarmConcurrencyTest, TwoTogglesAtOnceLeaveTheAlarmOffWithNoEndlessPlaybackBehind) {
    playback.script->ticksPerPlay = -1;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) Alarm::isActive();
    });
    for (int round = 0; round < 50; ++round) {
        ASSERT_FALSE(Alarm::isActive());
        std::latch go(2);
        auto toggler = [&] {
            go.arrive_and_wait();
            StateLock lock;
            Alarm::toggle(lock);
        };
        std::thread first(toggler);
        std::thread second(toggler);
        first.join();
        second.join();
        EXPECT_FALSE(Alarm::isActive()) << "round " << round;
        // Whichever toggle came first started the alarm and the other aborted it: nothing may keep playing.
        ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }, std::chrono::seconds(5))) << "round " << round;
    }
    done.store(true);
    reader.join();
}

}  // namespace
}  // namespace quorvane::testing
