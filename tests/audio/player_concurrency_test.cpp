// The playback registry under concurrent use: playFile racing stopAll, and many threads starting and
// ending while others ask whether anything plays.
#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/playback_doubles.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

class PlayerConcurrencyTest : public ::testing::Test {
protected:
    PlayerConcurrencyTest() { writeFile(bell, "sound"); }

    TempDir dir;
    const std::string bell = (dir / "bell.mp3").string();
    LogCapture log;
    FakePlayback playback;
};

TEST_F(PlayerConcurrencyTest, APlaybackStartedDuringStopAllIsEitherAbortedOrStaysRegistered) {
    playback.script->ticksPerPlay = -1;
    for (int round = 0; round < 200; ++round) {
        std::latch go(2);
        std::shared_ptr<PlayerThread> started;
        std::thread starter([&] {
            go.arrive_and_wait();
            started = Player::playFile(bell, INFINITE_REPEAT, 0.0);
        });
        std::thread stopper([&] {
            go.arrive_and_wait();
            Player::stopAll();
        });
        starter.join();
        stopper.join();
        ASSERT_NE(started, nullptr);
        if (!Player::isPlaying()) {
            // Not registered any more: then it must have been aborted, or nobody could ever stop it.
            ASSERT_TRUE(waitUntil([&] { return started->ended(); }, std::chrono::seconds(5))) << "round " << round;
        } else {
            Player::stopAll();
            ASSERT_TRUE(waitUntil([&] { return started->ended(); }, std::chrono::seconds(5)));
        }
    }
}

TEST_F(PlayerConcurrencyTest, ManyThreadsStartAndEndWhileOthersWatchAndStop) {
    playback.script->ticksPerPlay = 1;
    constexpr int STARTERS = 6;
    constexpr int PLAYBACKS_EACH = 25;
    std::atomic<bool> done{false};
    std::vector<std::shared_ptr<PlayerThread>> all[STARTERS];
    std::vector<std::thread> workers;
    for (int i = 0; i < STARTERS; ++i) {
        workers.emplace_back([&, i] {
            for (int n = 0; n < PLAYBACKS_EACH; ++n) all[i].push_back(Player::playFile(bell, 2, 0.0));
        });
    }
    std::thread watcher([&] {
        while (!done.load()) Player::isPlaying();
    });
    std::thread stopper([&] {
        for (int n = 0; n < 20; ++n) {
            stopAllPlay();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (auto& worker : workers) worker.join();
    stopper.join();
    for (const auto& started : all) {
        for (const auto& thread : started) {
            ASSERT_NE(thread, nullptr);
            ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
        }
    }
    done.store(true);
    watcher.join();
    EXPECT_FALSE(Player::isPlaying());
}

}  // namespace
}  // namespace quorvane::testing
