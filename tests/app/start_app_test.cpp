// The real executable, started in a temporary development installation.
#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/player_service.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;

TEST(CommandLine, HelpShowsTheBanner) {
    InstalledPlayer player;
    ChildProcess run({player.executable().string(), "--help"}, {}, player.root());
    ASSERT_EQ(run.waitForExit(10s), 0);
    EXPECT_EQ(run.standardOutput().rfind("Quorvane Player vD", 0), 0u) << run.standardOutput();
    EXPECT_NE(run.standardOutput().find("--port"), std::string::npos);
    EXPECT_NE(run.standardOutput().find("--verbose"), std::string::npos);
}

TEST(CommandLine, UsageErrorsExitWithStatusTwo) {
    InstalledPlayer player;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--port", "x"}, {"--volume", "3"}, {"--audio-device", "hw:0;reboot"}, {"--audio-device", "-a"}}) {
        std::vector<std::string> command{player.executable().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildProcess run(command, {}, player.root());
        ASSERT_EQ(run.waitForExit(10s), 2);
        EXPECT_NE(run.standardError().find("Usage"), std::string::npos) << run.standardError();
        EXPECT_FALSE(std::filesystem::exists(player.userData())) << "nothing may happen before the command line is read";
    }
}

TEST(CommandLine, PortsAreDecimalFromOneTo65535) {
    InstalledPlayer player;
    for (const std::string port : {"70000", "65536", "0", "-1", "0x50", "+80", "8e3", "", "99999999999999999999"}) {
        ChildProcess run({player.executable().string(), "--port", port}, {}, player.root());
        ASSERT_EQ(run.waitForExit(10s), 2) << "--port " << port;
        EXPECT_EQ(run.standardError().rfind("--port: ", 0), 0u) << run.standardError();
        EXPECT_NE(run.standardError().find("Usage"), std::string::npos) << run.standardError();
    }
    EXPECT_FALSE(std::filesystem::exists(player.userData()));
}

// The port the navigation line names, once the player is up with these arguments.
std::string announcedPort(const InstalledPlayer& player, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{player.executable().string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildProcess run(command, {}, player.root());
    if (!run.waitForStderr("<----", 10s)) return "no start: " + run.standardError();
    const std::string log = run.standardError();
    const size_t start = log.find("localhost:") + 10;
    return log.substr(start, log.find('/', start) - start);
}

TEST(CommandLine, LeadingZerosAreDecimalAndTheLastPortWins) {
    InstalledPlayer player;
    // Privileged ports cannot be opened in every test environment; the navigation line is written first.
    const int free = testing::freePort();
    EXPECT_EQ(announcedPort(player, {"--port", "0" + std::to_string(free)}), std::to_string(free));
    EXPECT_EQ(announcedPort(player, {"--port", "5000", "--port", std::to_string(free)}), std::to_string(free)) << "as tools/run.sh passes it";
}

TEST(StartUp, AMissingHomeIsOneClearErrorLine) {
    // A packaged installation keeps its user data below the home folder.
    testing::TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share" / "quorvane-player" / "assets");
    testing::writeFile(prefix / "share" / "quorvane-player" / "assets" / "version.info", "1.0.0");
    std::filesystem::copy_file(std::filesystem::path(QUORVANE_BINARY_DIR) / "quorvane-player", prefix / "bin" / "quorvane-player");
    for (const std::vector<std::string>& environment :
         {std::vector<std::string>{"env", "-u", "HOME"}, {"env", "HOME="}, {"env", "HOME=relative/home"}}) {
        std::vector<std::string> command = environment;
        command.push_back((prefix / "bin" / "quorvane-player").string());
        command.insert(command.end(), {"--port", std::to_string(testing::freePort())});
        ChildProcess run(command, {}, prefix.path());
        ASSERT_EQ(run.waitForExit(10s), 1) << environment.back() << ": " << run.standardError();
        const std::string log = run.standardError();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_EQ(log.rfind("Start-up failed: the environment variable HOME ", 0), 0u) << log;
        EXPECT_FALSE(std::filesystem::exists(prefix / "relative")) << "no folder in a wrong place";
    }
}

TEST(StartUp, LogsTheStartLinesAndKeepsRunning) {
    InstalledPlayer player;
    const std::string port = std::to_string(testing::freePort());
    ChildProcess run({player.executable().string(), "--port", port}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s)) << run.standardError();
    const std::string log = run.standardError();
    EXPECT_EQ(log.rfind("\nQuorvane Player vD?\nOpen a browser and navigate to ----> http://localhost:" + port + "/ <----\n\n", 0), 0u) << log;
    EXPECT_EQ(log.find("User data path"), std::string::npos);
    // The folder is created just after these lines.
    for (int i = 0; i < 500 && !std::filesystem::is_directory(player.userData()); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(std::filesystem::is_directory(player.userData()));
    EXPECT_FALSE(run.waitForExit(300ms).has_value());
}

TEST(StartUp, AChosenSoundDeviceIsNamedAndAnEmptyOneIsTheDefault) {
    InstalledPlayer player;
    const std::string port = std::to_string(testing::freePort());
    {
        ChildProcess chosen({player.executable().string(), "--port", port, "--audio-device", "plughw:CARD=Headphones"}, {}, player.root());
        EXPECT_TRUE(chosen.waitForStderr("\nThe bells play through the sound device plughw:CARD=Headphones\n", 10s)) << chosen.standardError();
    }
    ChildProcess empty({player.executable().string(), "--port", port, "--audio-device", ""}, {}, player.root());
    ASSERT_TRUE(testing::waitUntilServing(std::stoi(port))) << empty.standardError();
    EXPECT_EQ(empty.standardError().find("sound device"), std::string::npos) << empty.standardError();
}

TEST(StartUp, VerboseAddsTheUserDataPath) {
    InstalledPlayer player;
    ChildProcess run({player.executable().string(), "-v", "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("User data path: ", 10s)) << run.standardError();
    EXPECT_NE(run.standardError().find("<----\n\nUser data path: " + player.userData().string() + "/\n"), std::string::npos) << run.standardError();
}

}  // namespace
}  // namespace quorvane
