// Signals of the configuration played by id and by play descriptor, and where their files are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/signal_fixture.h"
#include "model/errors.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SignalsTest : public SignalFixture {
protected:
    std::shared_ptr<PlayerThread> playToEnd(const PlayDesc& desc) {
        std::shared_ptr<PlayerThread> thread;
        {
            StateLock lock;
            thread = playSignalByDescriptor(lock, desc);
        }
        if (thread) {
            EXPECT_TRUE(waitUntil([&] { return thread->ended(); }));
        }
        return thread;
    }
};

TEST_F(SignalsTest, FactorySignalsLieAmongTheAssetsOthersInTheUserData) {
    StateLock lock;
    EXPECT_EQ(getSignalAssetPathById(lock, "ID_asset"), assetFile);
    EXPECT_EQ(getSignalAssetPathById(lock, "ID_user"), userFile);
}

TEST_F(SignalsTest, AnUnknownIdIsAMissingKeyWhereverItIsPlayed) {
    StateLock lock;
    for (const auto& attempt : std::vector<std::function<void()>>{
             [&] { getSignalAssetPathById(lock, "ID_gone"); },
             [&] { playSignalById(lock, "ID_gone"); },
             [&] {
                 playSignalByDescriptor(lock, PlayDesc{"ID_gone", true, 3, 1.0});
             },
         }) {
        try {
            attempt();
            ADD_FAILURE() << "no failure for an unknown id";
        } catch (const KeyError& error) {
            EXPECT_STREQ(error.what(), "'id not found'");
        }
    }
    EXPECT_FALSE(Player::isPlaying());
}

TEST_F(SignalsTest, WithoutRepeatADescriptorPlaysOnceWhateverItsIterationsSay) {
    ASSERT_NE(playToEnd(PlayDesc{"ID_user", false, 5, 3.0}), nullptr);
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + userFile, "close"));
    EXPECT_THAT(playback.sleep->pauses(), IsEmpty());
    ASSERT_FALSE(logLines(log).empty());
    EXPECT_EQ(logLines(log)[0].rfind("Playing: " + userFile + " 1 times at ", 0), 0u);
}

TEST_F(SignalsTest, WithRepeatADescriptorPlaysItsIterationsWithItsPause) {
    ASSERT_NE(playToEnd(PlayDesc{"ID_asset", true, 2, 1.0}), nullptr);
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + assetFile, "close", "start " + assetFile, "close"));
    EXPECT_THAT(playback.sleep->pauses(), ElementsAre(1.0));
}

TEST_F(SignalsTest, TheNullIdPlaysNothingAndSaysNothing) {
    EXPECT_EQ(playToEnd(PlayDesc{NULL_ID, true, 3, 1.0}), nullptr);
    {
        StateLock lock;
        EXPECT_EQ(playSignalById(lock, NULL_ID, INFINITE_REPEAT), nullptr);
    }
    EXPECT_FALSE(Player::isPlaying());
    EXPECT_THAT(logLines(log), IsEmpty());
    EXPECT_EQ(playback.script->startsNow(), 0);
}

TEST_F(SignalsTest, ASignalWhoseFileIsGoneGivesNullAndTheMissingFileLine) {
    std::filesystem::remove(userFile);
    StateLock lock;
    EXPECT_EQ(playSignalById(lock, "ID_user", 2, 1.0), nullptr);
    EXPECT_THAT(logLines(log), ElementsAre("ERROR: File does not exist: " + userFile));
}

}  // namespace
}  // namespace quorvane::testing
