// Ending every player at shutdown, against a stub mpg123 first on the search path that records the
// signals it gets.
#include "audio/player_children.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/linux_file_player.h"
#include "audio/playback_doubles.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PlayerChildrenTest : public ::testing::Test {
protected:
    void SetUp() override {
        _previousPath = std::getenv("PATH");
        setenv("PATH", ((dir / "bin").string() + ":" + _previousPath).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", _previousPath.c_str(), 1);
        reopenPlayerChildrenForTesting();
    }

    // A stub mpg123 that records its process id, then plays for 30 s; on SIGTERM it records "TERM" and
    // ends, or with `ignoreTerm` goes on playing.
    void writeStub(bool ignoreTerm) {
        const std::string log = (dir / "calls.log").string();
        const std::string onTerm = ignoreTerm ? "echo TERM >> '" + log + "'" : "echo TERM >> '" + log + "'; exit 143";
        writeFile(dir / "bin" / "mpg123",
                  "#!/bin/sh\n"
                  "trap \"" +
                      onTerm +
                      "\" TERM\n"
                      "echo $$ >> '" +
                      log +
                      "'\n"
                      "i=0; while [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n");
        chmod((dir / "bin" / "mpg123").c_str(), 0755);
    }
    std::string log() const { return std::filesystem::exists(dir / "calls.log") ? readFile(dir / "calls.log") : ""; }
    pid_t stubPid() const { return std::stoi(log()); }
    static bool collected(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

    // A playback as the server runs it: a thread that follows its player.
    std::shared_ptr<PlayerThread> startPlayback() {
        auto thread = std::make_shared<PlayerThread>("/sounds/bell.mp3", 1, 0.0, std::make_unique<LinuxFilePlayer>());
        thread->start();
        EXPECT_TRUE(waitUntil([&] { return !log().empty(); })) << "the stub did not start";
        return thread;
    }

    TempDir dir;

private:
    std::string _previousPath;
};

TEST_F(PlayerChildrenTest, ShutdownTerminatesEveryPlayerAndStartsNoMore) {
    writeStub(false);
    const auto playback = startPlayback();
    const pid_t pid = stubPid();

    const auto asked = Clock::now();
    EXPECT_TRUE(endAllPlayerChildren(asked + 5s));
    EXPECT_LT(Clock::now() - asked, 1s);
    EXPECT_TRUE(collected(pid)) << "ended and collected, no zombie left";
    EXPECT_NE(log().find("TERM"), std::string::npos);
    EXPECT_TRUE(waitUntil([&] { return playback->ended(); }));

    EXPECT_THROW(startPlayerChild({"mpg123", "/sounds/bell.mp3"}), PlaybackError) << "no player starts during the shutdown";
    reopenPlayerChildrenForTesting();
    const int again = startPlayerChild({"mpg123", "/sounds/bell.mp3"});
    terminatePlayerChild(again);
    EXPECT_TRUE(waitUntil([&] { return playerChildHasEnded(again); }));
}

TEST_F(PlayerChildrenTest, APlayerThatIgnoresSigtermIsKilledAtTheDeadline) {
    writeStub(true);
    const auto playback = startPlayback();
    const pid_t pid = stubPid();

    const auto asked = Clock::now();
    EXPECT_FALSE(endAllPlayerChildren(asked + 300ms));
    const auto took = Clock::now() - asked;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 1s) << "bounded: the deadline and a short wait for the kill";
    EXPECT_TRUE(waitUntil([&] { return collected(pid); }));
    EXPECT_NE(log().find("TERM"), std::string::npos) << "asked politely first";
    EXPECT_TRUE(waitUntil([&] { return playback->ended(); }));
}

TEST_F(PlayerChildrenTest, WithNothingPlayingShutdownReturnsAtOnce) {
    const auto asked = Clock::now();
    EXPECT_TRUE(endAllPlayerChildren(asked + 5s));
    EXPECT_LT(Clock::now() - asked, 100ms);
}

}  // namespace
}  // namespace quorvane::testing
