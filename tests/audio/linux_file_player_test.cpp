// The child-process player, run against stub mpg123 and aplay scripts placed first on the search path.
#include "audio/linux_file_player.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/audio_device.h"
#include "audio/playback_doubles.h"
#include "support/emulator.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(PlayerProgram, ChoosesByTheLowerCasedExtension) {
    EXPECT_EQ(playerProgramFor("/music/song.MP3"), "mpg123");
    EXPECT_EQ(playerProgramFor("tone.wav"), "aplay");
    EXPECT_EQ(playerProgramFor("/a.b/c.d.Wav"), "aplay");
    EXPECT_EQ(lowerCaseExtension(".hidden"), "");
    EXPECT_EQ(lowerCaseExtension("..mp3"), "");
    EXPECT_EQ(lowerCaseExtension("/dir.mp3/file"), "");
    EXPECT_EQ(lowerCaseExtension("ends.with.dot."), ".");
}

TEST(PlayerProgram, RefusesOtherFormatsNamingTheExtension) {
    auto messageFor = [](const std::string& path) {
        try {
            playerProgramFor(path);
        } catch (const PlaybackError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageFor("clip.OGG"), "Unsupported file format: .ogg");
    EXPECT_EQ(messageFor("/sounds/noextension"), "Unsupported file format: ");
    EXPECT_EQ(messageFor("/sounds/.mp3"), "Unsupported file format: ");
}

TEST(PlayerProgram, ThePlatformPlayerIsTheChildProcessPlayer) { EXPECT_NE(dynamic_cast<LinuxFilePlayer*>(makePlatformFilePlayer().get()), nullptr); }

// Each stub records its name, process id, arguments and where its standard streams go, then plays
// for as many seconds as the file "duration" says; on SIGTERM (trapped before anything else, so that
// none goes unrecorded) it records that and exits.
class LinuxFilePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeStub("mpg123");
        writeStub("aplay");
        setDuration("0");
        _previousPath = std::getenv("PATH");
        setenv("PATH", ((dir / "bin").string() + ":" + _previousPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", _previousPath.c_str(), 1); }

    void writeStub(const std::string& name) {
        const auto stub = dir / "bin" / name;
        const std::string calls = (dir / "calls.log").string();
        writeFile(stub,
                  "#!/bin/sh\n"
                  "log='" +
                      calls +
                      "'\n"
                      "trap 'echo \"TERM $$\" >> \"$log\"; [ -n \"$!\" ] && kill $!; exit 143' TERM\n"
                      "echo \"" +
                      name +
                      " $$ $#\" >> \"$log\"\n"
                      "for argument in \"$@\"; do echo \"argument $argument\" >> \"$log\"; done\n"
                      "echo \"stdout $(readlink /proc/$$/fd/1)\" >> \"$log\"\n"
                      "echo \"stderr $(readlink /proc/$$/fd/2)\" >> \"$log\"\n"
                      // The pause must not hold the test's output open should it outlive the stub.
                      "sleep \"$(cat '" +
                      (dir / "duration").string() +
                      "')\" >/dev/null 2>&1 &\n"
                      "wait $!\n");
        chmod(stub.c_str(), 0755);
    }
    void setDuration(const std::string& seconds) { writeFile(dir / "duration", seconds); }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        if (!std::filesystem::exists(dir / "calls.log")) return lines;
        std::istringstream in(readFile(dir / "calls.log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The process id recorded by the first stub run.
    pid_t stubPid() const {
        const std::string first = calls().at(0);
        return std::stoi(first.substr(first.find(' ') + 1));
    }
    static bool collected(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }
    std::string ourStdout() const { return std::filesystem::read_symlink("/proc/self/fd/1").string(); }
    bool waitForEnd(LinuxFilePlayer& player) {
        return waitUntil([&] { return !player.isPlaying(); });
    }

    TempDir dir;

private:
    std::string _previousPath;
};

TEST_F(LinuxFilePlayerTest, Mp3PlaysThroughMpg123WithThePathAsItsOnlyArgument) {
    LinuxFilePlayer player;
    const std::string path = (dir / "my bell.MP3").string();
    player.startPlay(path);
    ASSERT_TRUE(waitForEnd(player));
    player.closeFile(false);
    EXPECT_THAT(calls(), ElementsAre("mpg123 " + std::to_string(stubPid()) + " 1", "argument " + path, "stdout " + ourStdout(), "stderr /dev/null"));
    EXPECT_TRUE(collected(stubPid()));
}

TEST_F(LinuxFilePlayerTest, WavPlaysThroughAplayAndEachPlayIsANewProcess) {
    LinuxFilePlayer player;
    player.startPlay("/sounds/tone.wav");
    ASSERT_TRUE(waitForEnd(player));
    player.closeFile(false);
    player.startPlay("/sounds/tone.wav");
    ASSERT_TRUE(waitForEnd(player));
    player.closeFile(false);
    const auto lines = calls();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_THAT(lines[0], HasSubstr("aplay "));
    EXPECT_EQ(lines[1], "argument /sounds/tone.wav");
    EXPECT_NE(lines[0], lines[4]) << "a second process, with a process id of its own";
}

// A chosen ALSA device reaches each player through its own option; the path stays the last argument.
TEST_F(LinuxFilePlayerTest, AChosenDeviceIsPassedToEachPlayerInItsOwnOption) {
    setAudioDevice("plughw:CARD=Headphones,DEV=0");
    LinuxFilePlayer player;
    for (const std::string path : {"/sounds/bell.mp3", "/sounds/tone.wav"}) {
        player.startPlay(path);
        ASSERT_TRUE(waitForEnd(player));
        player.closeFile(false);
    }
    setAudioDevice("");
    const auto lines = calls();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_THAT(lines[0], HasSubstr(" 3"));
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 1, lines.begin() + 4),
                ElementsAre("argument -a", "argument plughw:CARD=Headphones,DEV=0", "argument /sounds/bell.mp3"));
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 7, lines.begin() + 10),
                ElementsAre("argument -D", "argument plughw:CARD=Headphones,DEV=0", "argument /sounds/tone.wav"));
}

TEST_F(LinuxFilePlayerTest, UnsupportedFormatStartsNoProcess) {
    LinuxFilePlayer player;
    EXPECT_THROW(player.startPlay("/sounds/clip.ogg"), PlaybackError);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(calls().empty());
}

TEST_F(LinuxFilePlayerTest, APlayerMissingFromTheSearchPathFailsWithTheSystemsText) {
    if (testing::runsUnderEmulator()) GTEST_SKIP() << "qemu runs posix_spawn as a plain fork, which cannot report a failed exec to the parent";
    TempDir emptyBin;
    setenv("PATH", emptyBin.path().c_str(), 1);
    LinuxFilePlayer player;
    try {
        player.startPlay("/sounds/song.mp3");
        FAIL() << "started a player that does not exist";
    } catch (const PlaybackError& error) {
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(LinuxFilePlayerTest, AbortTerminatesTheChildOnceAndItIsCollected) {
    setDuration("30");
    LinuxFilePlayer player;
    player.startPlay("/sounds/song.mp3");
    ASSERT_TRUE(waitUntil([&] { return calls().size() == 4; }));
    EXPECT_TRUE(player.isPlaying());
    const pid_t pid = stubPid();
    player.closeFile(true);
    ASSERT_TRUE(waitUntil([&] { return collected(pid); })) << "the terminated player stays a zombie";
    const auto lines = calls();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "TERM " + std::to_string(pid)), 1);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(LinuxFilePlayerTest, ClosingAfterANaturalEndSendsNoSignal) {
    LinuxFilePlayer player;
    player.startPlay("/sounds/song.mp3");
    ASSERT_TRUE(waitForEnd(player));
    player.closeFile(true);
    EXPECT_EQ(calls().size(), 4u);
    EXPECT_TRUE(collected(stubPid()));
}

TEST_F(LinuxFilePlayerTest, AChildLeftPlayingIsCollectedWhenItEnds) {
    setDuration("0.2");
    {
        LinuxFilePlayer player;
        player.startPlay("/sounds/song.mp3");
        ASSERT_TRUE(waitUntil([&] { return calls().size() == 4; }));
    }
    const pid_t pid = stubPid();
    ASSERT_TRUE(waitUntil([&] { return collected(pid); }));
    EXPECT_EQ(calls().size(), 4u) << "no signal for a play that was not aborted";
}

TEST_F(LinuxFilePlayerTest, PlaybackThreadAbortedMidPlayTerminatesThePlayer) {
    setDuration("30");
    auto thread = std::make_shared<PlayerThread>("/sounds/song.mp3", 1, 0.0, std::make_unique<LinuxFilePlayer>());
    thread->start();
    ASSERT_TRUE(waitUntil([&] { return calls().size() == 4; }));
    const auto started = std::chrono::steady_clock::now();
    thread->abortPlay();
    ASSERT_TRUE(waitUntil([&] { return thread->ended(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    ASSERT_TRUE(waitUntil([&] { return collected(stubPid()); }));
    EXPECT_EQ(calls().back(), "TERM " + std::to_string(stubPid()));
}

}  // namespace
}  // namespace quorvane::testing
