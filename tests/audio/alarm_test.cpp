// The endless alarm switched on and off, also around a stopAll and with a missing signal file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/signal_fixture.h"
#include "model/errors.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;

class AlarmTest : public SignalFixture {
protected:
    AlarmTest() { playback.script->ticksPerPlay = -1; }  // an alarm play lasts until it is cut short

    void toggle() {
        StateLock lock;
        Alarm::toggle(lock);
    }
};

TEST_F(AlarmTest, OnPlaysTheAlarmSignalEndlesslyAndOffAbortsItAtOnce) {
    playback.sleep->holdPauses();
    toggle();
    EXPECT_TRUE(Alarm::isActive());
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    EXPECT_EQ(logLines(log)[0].rfind("Playing: " + userFile + " -1 times at ", 0), 0u);

    toggle();
    EXPECT_FALSE(Alarm::isActive());
    ASSERT_TRUE(playback.sleep->waitForPause());
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + userFile, "close aborted"));
    EXPECT_TRUE(Player::isPlaying()) << "the aborted alarm waits out its pause before it deregisters";
    playback.sleep->releasePauses();
    ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(2.0));
    EXPECT_EQ(playback.script->startsNow(), 1);
}

TEST_F(AlarmTest, AfterStopAllTheNextToggleOnlySwitchesOffAndTheOneAfterStartsAgain) {
    toggle();
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    Player::stopAll();
    EXPECT_FALSE(Player::isPlaying());
    EXPECT_TRUE(Alarm::isActive()) << "the alarm state follows its thread field, not the playback";

    toggle();
    EXPECT_FALSE(Alarm::isActive());
    EXPECT_EQ(playback.script->startsNow(), 1);

    toggle();
    EXPECT_TRUE(Alarm::isActive());
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 2; }));
}

TEST_F(AlarmTest, TheSettingsAreReadWhenTheAlarmIsSwitchedOn) {
    {
        StateLock lock;
        db.edit(lock).settings.alarmSignalId = "ID_asset";
        db.edit(lock).settings.alarmDelaySec = 0.5;
    }
    toggle();
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + assetFile));
    toggle();
    ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(0.5));
}

TEST_F(AlarmTest, AMissingAlarmFileLeavesTheAlarmOff) {
    std::filesystem::remove(userFile);
    toggle();
    EXPECT_FALSE(Alarm::isActive());
    EXPECT_THAT(logLines(log), ElementsAre("ERROR: File does not exist: " + userFile));
    EXPECT_FALSE(Player::isPlaying());
}

TEST_F(AlarmTest, TheNullSignalLeavesTheAlarmOff) {
    {
        StateLock lock;
        db.edit(lock).settings.alarmSignalId = NULL_ID;
    }
    toggle();
    EXPECT_FALSE(Alarm::isActive());
    EXPECT_EQ(playback.script->startsNow(), 0);
}

TEST_F(AlarmTest, AnUnknownAlarmSignalFailsAndLeavesTheAlarmOff) {
    {
        StateLock lock;
        db.edit(lock).settings.alarmSignalId = "ID_gone";
    }
    EXPECT_THROW(toggle(), KeyError);
    EXPECT_FALSE(Alarm::isActive());
}

}  // namespace
}  // namespace quorvane::testing
