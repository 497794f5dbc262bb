// The real executable as the service manager runs it: readiness and watchdog through NOTIFY_SOCKET,
// journal priorities, and a clean stop on SIGTERM and SIGINT.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <iostream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "support/child_process.h"
#include "support/notify_socket.h"
#include "support/player_service.h"
#include "support/raw_http_client.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::ChildProcess;
using testing::InstalledPlayer;

bool accepts(int port) { return http::testing::RawClient(port).connected(); }

#ifdef QUORVANE_HAVE_SYSTEMD

TEST(ServiceProcess, ReadyOnceListeningThenKeepAlivesUntilStopping) {
    InstalledPlayer player;
    testing::NotifySocket notify;
    const int port = testing::freePort();
    ChildProcess run(testing::withOwnWatchdogPid({player.executable().string(), "--port", std::to_string(port)}),
                     {{"NOTIFY_SOCKET", notify.path()}, {"WATCHDOG_USEC", "200000"}}, player.root());

    const auto ready = notify.receiveContaining("READY=1", 10s);
    ASSERT_TRUE(ready) << run.standardError();
    EXPECT_TRUE(accepts(port)) << "ready before the port listens";
    EXPECT_NE(ready->find("\nSTATUS="), std::string::npos) << *ready;
    EXPECT_NE(run.standardError().find("<----"), std::string::npos) << "ready before the start lines";

    // Passes come every 100 ms, so a keep-alive every 100 to 200 ms.
    const auto messages = notify.receiveFor(1s);
    EXPECT_GE(std::count(messages.begin(), messages.end(), "WATCHDOG=1"), 4);

    kill(run.pid(), SIGTERM);
    EXPECT_TRUE(notify.receiveContaining("STOPPING=1", 3s));
    EXPECT_EQ(run.waitForExit(5s), 0) << run.standardError();
}

#endif

TEST(ServiceProcess, UnderTheJournalEachLineCarriesItsPriority) {
    InstalledPlayer player;
    const std::vector<std::string> command{player.executable().string(), "--port", std::to_string(testing::freePort())};
    ChildProcess run(testing::withStandardErrorAsJournal(command), {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s)) << run.standardError();
    kill(run.pid(), SIGTERM);
    ASSERT_EQ(run.waitForExit(5s), 0);
    EXPECT_EQ(run.standardError().rfind("<6>\n<6>Quorvane Player vD?\n<6>Open a browser", 0), 0u) << run.standardError();
    EXPECT_NE(run.standardError().find("\n<6>Stopping: SIGTERM received\n"), std::string::npos) << run.standardError();

    // The variable alone, with the output going elsewhere, changes nothing.
    ChildProcess plain(command, {{"JOURNAL_STREAM", "1:1"}}, player.root());
    ASSERT_TRUE(plain.waitForStderr("<----", 10s)) << plain.standardError();
    EXPECT_EQ(plain.standardError().rfind("\nQuorvane Player vD?\n", 0), 0u) << plain.standardError();
}

// A change made just before SIGTERM is on disk after it, a sounding player has been terminated and
// collected, and the process ends with status 0 within 3 s.
TEST(ServiceProcess, SigtermSavesStopsThePlayersAndExitsCleanly) {
    InstalledPlayer player;
    testing::RecordingPlayers players;
    const int port = testing::freePort();
    ChildProcess run({player.executable().string(), "--port", std::to_string(port)}, {{"PATH", players.searchPath()}}, player.root());
    ASSERT_TRUE(testing::waitUntilServing(port)) << run.standardError();
    auto client = testing::playerClient(port);

    ASSERT_TRUE(client.Get("/api/trigger/playSignal/ID_melody"));
    ASSERT_TRUE(players.waitForLog("start ", 5s)) << run.standardError();
    const auto saved = client.Post("/db/settings/update", R"({"alarmDelaySec": 2.5})", "application/json");
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->body, "true");

    const auto asked = Clock::now();
    kill(run.pid(), SIGTERM);
    const auto status = run.waitForExit(5s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
    std::cout << "Shutdown with a sounding player took " << took.count() << " ms\n";
    ASSERT_EQ(status, 0) << run.standardError();
    EXPECT_LT(took, 3s);

    const auto stored = nlohmann::json::parse(testing::readFile(player.userData() / "_db.json"));
    EXPECT_EQ(stored["settings"]["alarmDelaySec"], 2.5);
    const std::string log = players.log();
    const pid_t stub = std::stoi(log.substr(log.find("start ") + 6));
    EXPECT_NE(log.find("TERM " + std::to_string(stub)), std::string::npos) << log;
    EXPECT_TRUE(kill(stub, 0) != 0 && errno == ESRCH) << "the player was left running or uncollected";
    EXPECT_FALSE(accepts(port));
}

TEST(ServiceProcess, SigintEndsTheProcessCleanlyToo) {
    InstalledPlayer player;
    const int port = testing::freePort();
    ChildProcess run({player.executable().string(), "--port", std::to_string(port)}, {}, player.root());
    ASSERT_TRUE(testing::waitUntilServing(port)) << run.standardError();
    kill(run.pid(), SIGINT);
    EXPECT_EQ(run.waitForExit(5s), 0) << run.standardError();
    EXPECT_NE(run.standardError().find("Stopping: SIGINT received\nStopped\n"), std::string::npos) << run.standardError();
}

}  // namespace
}  // namespace quorvane
