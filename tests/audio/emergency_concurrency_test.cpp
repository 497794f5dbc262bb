// A routine started and stopped at the same moment from two requests, watched by the scheduler's check.
#include <atomic>
#include <latch>
#include <map>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "audio/emergency.h"
#include "audio/journal_sink.h"
#include "audio/signal_fixture.h"

namespace quorvane::testing {
namespace {

class EmergencyConcurrencyTest : public SignalFixture {
protected:
    EmergencyConcurrencyTest() {
        _previousSink = setJournalSink([this](JournalEntry entry) {
            std::lock_guard lock(_mutex);
            ++_counts[entry.kind];
        });
        StateLock lock;
        db.edit(lock).settings.emergencyRoutines.lockdown = {"ID_user", 0, ""};
        db.edit(lock).settings.emergencyRoutines.evacuation = {"ID_asset", 0, ""};
    }
    ~EmergencyConcurrencyTest() override { setJournalSink(_previousSink); }
    int count(PlayKind kind) {
        std::lock_guard lock(_mutex);
        return _counts[kind];
    }

private:
    std::mutex _mutex;
    std::map<PlayKind, int> _counts;
    JournalSink _previousSink;
};

TEST_F(EmergencyConcurrencyTest, StartsAndStopsAtOnceLeaveEveryStartedRoutineEndedOnceAndNothingPlaying) {
    playback.script->ticksPerPlay = -1;
    std::atomic<bool> done{false};
    std::thread scheduler([&] {
        while (!done.load()) Emergency::silencesBells();
    });
    for (int round = 0; round < 50; ++round) {
        std::latch go(3);
        std::thread lockdown([&] {
            go.arrive_and_wait();
            StateLock lock;
            Emergency::start(lock, "lockdown", true);
        });
        std::thread evacuation([&] {
            go.arrive_and_wait();
            StateLock lock;
            Emergency::start(lock, "evacuation", false);
        });
        std::thread stopper([&] {
            go.arrive_and_wait();
            Emergency::stop(OutcomeReason::EMERGENCY_STOP);
        });
        lockdown.join();
        evacuation.join();
        stopper.join();
        Emergency::stop(OutcomeReason::EMERGENCY_STOP);
        EXPECT_FALSE(Emergency::running()) << "round " << round;
        ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }, std::chrono::seconds(5))) << "round " << round;
    }
    done.store(true);
    scheduler.join();
    EXPECT_EQ(count(PlayKind::EMERGENCY_START), 100);
    EXPECT_EQ(count(PlayKind::EMERGENCY_STOP), 100) << "each routine ended once, by a stop or by the other start";
    EXPECT_TRUE(waitUntil([&] { return count(PlayKind::EMERGENCY) == 100; })) << "every sound journaled when it ended";
}

}  // namespace
}  // namespace quorvane::testing
