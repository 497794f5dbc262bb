// The Windows file player's MCI conversation, checked on any platform through a recording sender.
#include "audio/windows_file_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/mci_commands.h"
#include "audio/playback_doubles.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;

// Records the commands and answers the status query with "playing" a given number of times.
struct RecordingMci {
    std::vector<std::string> commands;
    int playingAnswers = 0;
    std::string failOn;  // a command word whose command fails

    WindowsFilePlayer::CommandSender sender() {
        return [this](const std::string& command) -> std::string {
            commands.push_back(command);
            if (!failOn.empty() && command.rfind(failOn + " ", 0) == 0) failMciCommand(263, command, "The specified device is not open.");
            if (command.rfind("status ", 0) == 0) return playingAnswers-- > 0 ? "playing" : "stopped";
            return "";
        };
    }
};

uint64_t aliasNumber(const std::string& alias) { return std::stoull(alias.substr(std::string("quorvaneSong").size())); }

TEST(MciCommands, AreSpelledExactly) {
    EXPECT_EQ(mciAlias(4), "quorvaneSong4");
    EXPECT_EQ(mciOpenCommand("C:\\My Music\\bell.mp3", "quorvaneSong4"), "open \"C:\\My Music\\bell.mp3\" alias quorvaneSong4");
    EXPECT_EQ(mciPlayCommand("quorvaneSong4"), "play quorvaneSong4");
    EXPECT_EQ(mciStatusCommand("quorvaneSong4"), "status quorvaneSong4 mode");
    EXPECT_EQ(mciCloseCommand("quorvaneSong4"), "close quorvaneSong4");
    EXPECT_TRUE(mciModeIsPlaying("playing"));
    EXPECT_FALSE(mciModeIsPlaying("stopped"));
    EXPECT_FALSE(mciModeIsPlaying("playing "));
    EXPECT_EQ(MCI_BUFFER_UNITS, 600u);
    EXPECT_EQ(MCI_BUFFER_LENGTH, 599u);
}

TEST(MciCommands, ErrorMessageHasFourLinesTheFirstEmpty) {
    EXPECT_EQ(mciErrorMessage(263, "open \"C:\\a b.mp3\" alias quorvaneSong0", "The specified device is not open."),
              "\n    Error 263 for command:\n        open \"C:\\a b.mp3\" alias quorvaneSong0\n    The specified device is not open.");
}

TEST(MciCommands, AFailedCommandIsLoggedAndRaisedWithTheSameMessage) {
    LogCapture log;
    const std::string expected = mciErrorMessage(263, "play quorvaneSong9", "The specified device is not open.");
    try {
        failMciCommand(263, "play quorvaneSong9", "The specified device is not open.");
        FAIL() << "no failure";
    } catch (const PlaybackError& error) {
        EXPECT_EQ(error.what(), expected);
    }
    EXPECT_EQ(log.text(), expected + "\n");
}

TEST(WindowsFilePlayer, EveryPlayTakesTheNextAliasOfTheProcess) {
    RecordingMci mci;
    WindowsFilePlayer first(mci.sender());
    WindowsFilePlayer second(mci.sender());
    first.startPlay("a.mp3");
    const uint64_t number = aliasNumber(first.alias());
    second.startPlay("b.mp3");
    EXPECT_EQ(second.alias(), mciAlias(number + 1));
    first.startPlay("a.mp3");
    EXPECT_EQ(first.alias(), mciAlias(number + 2));
    EXPECT_EQ(WindowsFilePlayer::instanceCounter.load(), number + 3);
}

TEST(WindowsFilePlayer, APlaybackThreadSendsOpenPlayStatusPerTickAndClose) {
    FakePlayback playback;  // only for the counted sleep
    RecordingMci mci;
    mci.playingAnswers = 2;
    auto thread = std::make_shared<PlayerThread>("C:\\Sounds\\school bell.mp3", 1, 0.0, std::make_unique<WindowsFilePlayer>(mci.sender()));
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    ASSERT_FALSE(mci.commands.empty());
    const std::string alias = mci.commands[0].substr(mci.commands[0].rfind(' ') + 1);
    EXPECT_THAT(mci.commands, ElementsAre("open \"C:\\Sounds\\school bell.mp3\" alias " + alias, "play " + alias, "status " + alias + " mode",
                                          "status " + alias + " mode", "status " + alias + " mode", "close " + alias));
    EXPECT_EQ(playback.sleep->ticks(), 2);
}

TEST(WindowsFilePlayer, AFailedPlayCommandLeavesTheDeviceOpenAndIsLoggedTwice) {
    FakePlayback playback;
    LogCapture log;
    RecordingMci mci;
    mci.failOn = "play";
    auto thread = std::make_shared<PlayerThread>("C:\\bell.mp3", 2, 0.0, std::make_unique<WindowsFilePlayer>(mci.sender()));
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    ASSERT_EQ(mci.commands.size(), 2u) << "no close after a failed start, and no second play";
    const std::string message = mciErrorMessage(263, mci.commands[1], "The specified device is not open.");
    const std::string text = log.text();
    EXPECT_EQ(text.rfind("Playing: C:\\bell.mp3 2 times at ", 0), 0u);
    EXPECT_EQ(text.substr(text.find('\n') + 1), message + "\nFailed to play the file: C:\\bell.mp3 - " + message + "\n");
}

}  // namespace
}  // namespace quorvane::testing
