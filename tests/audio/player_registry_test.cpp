// The process-wide registry of playback threads: playFile, stopAll, isPlaying and deregistration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/playback_doubles.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PlayerRegistryTest : public ::testing::Test {
protected:
    PlayerRegistryTest() { writeFile(bell, "not really audio: the fake player does not read it"); }

    TempDir dir;
    const std::string bell = (dir / "bell.mp3").string();
    LogCapture log;
    FakePlayback playback;
};

TEST_F(PlayerRegistryTest, NothingAtThePathGivesNullAndAnErrorLine) {
    const std::string missing = (dir / "missing.mp3").string();
    EXPECT_EQ(Player::playFile(missing), nullptr);
    EXPECT_FALSE(Player::isPlaying());
    EXPECT_THAT(logLines(log), ElementsAre("ERROR: File does not exist: " + missing));
    EXPECT_EQ(playback.script->livePlayersNow(), 0);
}

TEST_F(PlayerRegistryTest, RegisteredFromTheReturnOfPlayFileUntilTheThreadEnds) {
    playback.sleep->holdPauses();
    auto thread = Player::playFile(bell, 2, 3.0);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(Player::isPlaying());
    ASSERT_TRUE(playback.sleep->waitForPause());
    EXPECT_TRUE(Player::isPlaying()) << "a thread in its pause counts as playing";
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_FALSE(Player::isPlaying());
    EXPECT_EQ(playback.script->startsNow(), 2);
}

TEST_F(PlayerRegistryTest, TwoPlaybacksPlayAtOnceAndStopAllAbortsBoth) {
    playback.script->ticksPerPlay = -1;
    auto first = Player::playFile(bell, 1);
    auto second = Player::playFile(bell, 1);
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 2; }));
    EXPECT_TRUE(Player::isPlaying());
    stopAllPlay();
    EXPECT_FALSE(Player::isPlaying());
    ASSERT_TRUE(waitUntil([&] { return first->ended() && second->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + bell, "start " + bell, "close aborted", "close aborted"));
}

TEST_F(PlayerRegistryTest, StopAllDuringALongPauseUnregistersAtOnceAndNothingMorePlays) {
    playback.sleep->holdPauses();
    auto thread = Player::playFile(bell, 3, 10.0);
    ASSERT_TRUE(playback.sleep->waitForPause());
    Player::stopAll();
    EXPECT_FALSE(Player::isPlaying());
    EXPECT_FALSE(thread->ended()) << "the pause is not cut short";
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + bell, "close"));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(10.0));
    EXPECT_FALSE(Player::isPlaying());
}

TEST_F(PlayerRegistryTest, AnAbortedThreadWithPlaysLeftStaysRegisteredThroughItsPause) {
    playback.script->ticksPerPlay = -1;
    playback.sleep->holdPauses();
    auto thread = Player::playFile(bell, 2, 1.0);
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    thread->abortPlay();
    ASSERT_TRUE(playback.sleep->waitForPause());
    EXPECT_TRUE(Player::isPlaying());
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_FALSE(Player::isPlaying());
}

TEST_F(PlayerRegistryTest, ThreadsThatFailLeaveTheRegistry) {
    playback.script->failingStart = 1;
    auto failedStart = Player::playFile(bell, 1);
    ASSERT_TRUE(waitUntil([&] { return failedStart->ended(); }));
    EXPECT_FALSE(Player::isPlaying());

    playback.script->failStatus = true;
    auto failedStatus = Player::playFile(bell, INFINITE_REPEAT, 0.5);
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() >= 3; }));
    Player::stopAll();
    ASSERT_TRUE(waitUntil([&] { return failedStatus->ended(); }));
    EXPECT_FALSE(Player::isPlaying());
}

TEST_F(PlayerRegistryTest, EndingAThreadThatIsNotRegisteredChangesNothing) {
    playback.sleep->holdPauses();
    auto registered = Player::playFile(bell, 2, 1.0);
    auto stranger = playback.makeThread(bell, 1, 0.0);
    Player::_onThreadEnd(stranger.get());
    EXPECT_TRUE(Player::isPlaying());
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([&] { return registered->ended(); }));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(1.0));
}

}  // namespace
}  // namespace quorvane::testing
