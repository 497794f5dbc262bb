// The real executable, started in a temporary development installation.
#include <gtest/gtest.h>

#include <thread>

#include "support/child_process.h"

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
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--port", "x"}, {"--volume", "3"}}) {
        std::vector<std::string> command{player.executable().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildProcess run(command, {}, player.root());
        ASSERT_EQ(run.waitForExit(10s), 2);
        EXPECT_NE(run.standardError().find("Usage"), std::string::npos) << run.standardError();
        EXPECT_FALSE(std::filesystem::exists(player.userData())) << "nothing may happen before the command line is read";
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

TEST(StartUp, VerboseAddsTheUserDataPath) {
    InstalledPlayer player;
    ChildProcess run({player.executable().string(), "-v", "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("User data path: ", 10s)) << run.standardError();
    EXPECT_NE(run.standardError().find("<----\n\nUser data path: " + player.userData().string() + "/\n"), std::string::npos)
        << run.standardError();
}

}  // namespace
}  // namespace quorvane
