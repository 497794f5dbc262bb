// The playback loop: counts, pauses, aborts and failures of the file player.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/playback_doubles.h"
#include "core/clock.h"
#include "support/fake_time_source.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PlayerThreadTest : public ::testing::Test {
protected:
    // Starts a thread on the fake player and waits for its end.
    std::shared_ptr<PlayerThread> playToEnd(int64_t count, double delay) {
        auto thread = playback.makeThread("/sounds/bell.mp3", count, delay);
        thread->start();
        EXPECT_TRUE(waitUntil([&] { return thread->ended(); }));
        return thread;
    }
    std::shared_ptr<PlayerThread> startAndWaitForPlay(int64_t count, double delay) {
        auto thread = playback.makeThread("/sounds/bell.mp3", count, delay);
        thread->start();
        EXPECT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
        return thread;
    }

    LogCapture log;
    FakePlayback playback;
};

TEST_F(PlayerThreadTest, PlaysCountTimesWithAPauseBetweenPlaysButNotAfterTheLast) {
    playback.script->ticksPerPlay = 2;
    playToEnd(3, 2.0);
    EXPECT_THAT(playback.script->eventsNow(),
                ElementsAre("start /sounds/bell.mp3", "close", "start /sounds/bell.mp3", "close", "start /sounds/bell.mp3", "close"));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(2.0, 2.0));
    EXPECT_EQ(playback.sleep->ticks(), 6);
}

TEST_F(PlayerThreadTest, LogsPathCountAndTheSharedClockReadingOnce) {
    auto source = std::make_shared<FakeTimeSource>();
    source->push(reading(2024, 9, 2, 8, 5, 30));
    auto previous = setTimeSource(source);
    updateClock();
    playToEnd(2, 0.0);
    setTimeSource(previous);
    EXPECT_THAT(logLines(log), ElementsAre("Playing: /sounds/bell.mp3 2 times at 2024-09-02 08:05:30"));
}

TEST_F(PlayerThreadTest, CountZeroLogsButPlaysNothing) {
    playToEnd(0, 1.0);
    EXPECT_THAT(playback.script->eventsNow(), IsEmpty());
    EXPECT_THAT(playback.sleep->pauses(), IsEmpty());
    ASSERT_EQ(logLines(log).size(), 1u);
    EXPECT_EQ(logLines(log)[0].rfind("Playing: /sounds/bell.mp3 0 times at ", 0), 0u);
}

TEST_F(PlayerThreadTest, EndlessRepeatPausesAfterEveryPlayUntilAborted) {
    auto thread = playback.makeThread("/sounds/bell.mp3", INFINITE_REPEAT, 0.0);
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() >= 5; }));
    thread->abortPlay();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    // The count never reaches 0, so even the last play is followed by its pause.
    const int plays = playback.script->startsNow();
    EXPECT_EQ(playback.sleep->pauses(), std::vector<double>(static_cast<size_t>(plays), 0.0));
    EXPECT_EQ(logLines(log)[0].rfind("Playing: /sounds/bell.mp3 -1 times at ", 0), 0u);
}

TEST_F(PlayerThreadTest, AbortDuringTheLastPlayClosesItAsAbortedWithoutPause) {
    playback.script->ticksPerPlay = -1;
    auto thread = startAndWaitForPlay(1, 5.0);
    thread->abortPlay();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close aborted"));
    EXPECT_THAT(playback.sleep->pauses(), IsEmpty());
}

TEST_F(PlayerThreadTest, AbortDuringTheFirstOfTwoPlaysWaitsOutThePauseAndPlaysNoMore) {
    playback.script->ticksPerPlay = -1;
    auto thread = startAndWaitForPlay(2, 0.5);
    thread->abortPlay();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close aborted"));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(0.5));
}

TEST_F(PlayerThreadTest, AbortDuringAPauseIsNoticedWhenThePauseIsOver) {
    playback.sleep->holdPauses();
    auto thread = startAndWaitForPlay(3, 4.0);
    ASSERT_TRUE(playback.sleep->waitForPause());
    thread->abortPlay();
    EXPECT_FALSE(thread->ended());
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close"));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(4.0));
}

TEST_F(PlayerThreadTest, StartFailureOnTheSecondOfThreePlaysEndsTheThreadWithoutClosing) {
    playback.script->failingStart = 2;
    playToEnd(3, 1.5);
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close"));
    EXPECT_EQ(playback.script->startsNow(), 2);
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(1.5));
    EXPECT_TRUE(log.contains("Failed to play the file: /sounds/bell.mp3 - device busy"));
}

TEST_F(PlayerThreadTest, CloseFailureIsLoggedAndThePlaysGoOn) {
    playback.script->failClose = true;
    playToEnd(2, 0.0);
    EXPECT_EQ(playback.script->startsNow(), 2);
    const auto lines = logLines(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Failed to close file: /sounds/bell.mp3 - device gone"), 2);
}

TEST_F(PlayerThreadTest, StatusFailureEndsThatPlayWhichIsStillClosed) {
    playback.script->failStatus = true;
    playToEnd(2, 0.0);
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close", "start /sounds/bell.mp3", "close"));
    const auto lines = logLines(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Failed to close file: /sounds/bell.mp3 - status lost"), 2);
}

TEST_F(PlayerThreadTest, AbortBeforeTheStartPlaysNothing) {
    auto thread = playback.makeThread("/sounds/bell.mp3", 3, 1.0);
    thread->abortPlay();
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), IsEmpty());
    EXPECT_FALSE(thread->alive());
}

// The spoken sentence after each tone of an emergency routine.
TEST_F(PlayerThreadTest, AFollowUpPlaysAfterEveryPlayAndItsFailureNeitherCountsNorEndsThePlays) {
    playback.script->failingStart = 2;  // the first follow-up cannot start
    auto thread = playback.makeThread("/sounds/bell.mp3", 2, 0.0);
    thread->followEachPlayWith("/speech/say.wav");
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(),
                ElementsAre("start /sounds/bell.mp3", "close", "start /sounds/bell.mp3", "close", "start /speech/say.wav", "close"));
    EXPECT_TRUE(log.contains("Failed to play the file: /speech/say.wav - device busy"));
}

TEST_F(PlayerThreadTest, AnAbortDuringTheMainPlaySkipsItsFollowUp) {
    playback.script->ticksPerPlay = -1;
    auto thread = playback.makeThread("/sounds/bell.mp3", INFINITE_REPEAT, 0.0);
    thread->followEachPlayWith("/speech/say.wav");
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    thread->abortPlay();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start /sounds/bell.mp3", "close aborted"));
}

}  // namespace
}  // namespace quorvane::testing
