// The real executable: it serves on the port of --port with the credentials salt as signing key, and a
// port it cannot bind ends start-up with one clear line.
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "model/json_text.h"
#include "support/child_process.h"
#include "support/player_service.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;

bool waitForFileContaining(const std::filesystem::path& file, const std::string& text) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (std::filesystem::exists(file) && testing::readFile(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(WebStartUp, SessionsStayValidAcrossRestarts) {
    InstalledPlayer player;
    const int port = testing::freePort();
    const std::vector<std::string> command{player.executable().string(), "--port", std::to_string(port)};
    std::string cookie;
    {
        ChildProcess run(command, {}, player.root());
        ASSERT_TRUE(testing::waitUntilServing(port)) << run.standardError();
        auto client = testing::playerClient(port);
        const auto set = client.Post("/auth/chpasswd", "\"secret\"", "application/json");
        ASSERT_TRUE(set);
        EXPECT_EQ(set->body, "ok");
        cookie = set->get_header_value("Set-Cookie");
        cookie = cookie.substr(0, cookie.find(';'));
        const Json shadowFile = Json::parse(testing::readFile(player.userData() / "_shadow.json"));
        ASSERT_TRUE(shadowFile["_salt"].is_string()) << "the salt is stored before the first request";
        ASSERT_TRUE(waitForFileContaining(player.userData() / "_shadow.json", "\"_pwd\": \"")) << "auto-save of the password";
    }
    ChildProcess again(command, {}, player.root());
    ASSERT_TRUE(testing::waitUntilServing(port)) << again.standardError();
    auto client = testing::playerClient(port);
    const auto withCookie = client.Get("/db", {{"Cookie", cookie}});
    ASSERT_TRUE(withCookie);
    EXPECT_EQ(withCookie->status, 200) << "the signing key is the stored salt";
    const auto without = client.Get("/db");
    ASSERT_TRUE(without);
    EXPECT_EQ(without->body, "No auth");
    EXPECT_EQ(again.standardError().find("GET"), std::string::npos) << "no request log lines: " << again.standardError();
}

TEST(WebStartUp, VerboseLogsTheJsonInterfaceRequests) {
    InstalledPlayer player;
    const int port = testing::freePort();
    ChildProcess run({player.executable().string(), "-v", "--port", std::to_string(port)}, {}, player.root());
    ASSERT_TRUE(testing::waitUntilServing(port)) << run.standardError();
    auto client = testing::playerClient(port);
    ASSERT_TRUE(client.Get("/api/get/info?tab=2"));
    ASSERT_TRUE(client.Get("/api/trigger/playSignal/NULL"));
    EXPECT_TRUE(run.waitForStderr("GET'info' with args: {\"tab\": \"2\"}\n", 5s)) << run.standardError();
    EXPECT_TRUE(run.waitForStderr("TRIGGER 'playSignal' with id NULL\n", 5s)) << run.standardError();
}

TEST(WebStartUp, APortInUseEndsStartUpWithOneLine) {
    InstalledPlayer player;
    const int port = testing::freePort();
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);

    ChildProcess run({player.executable().string(), "--port", std::to_string(port)}, {}, player.root());
    EXPECT_EQ(run.waitForExit(10s), 1);
    close(holder);
    const std::string log = run.standardError();
    EXPECT_NE(log.find("Start-up failed: cannot listen on 0.0.0.0:" + std::to_string(port) + ": Address already in use\n"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, "Start-up failed"), 1u);
}

TEST(WebStartUp, ASecondServerCannotShareThePort) {
    InstalledPlayer first, second;
    const int port = testing::freePort();
    ChildProcess serving({first.executable().string(), "--port", std::to_string(port)}, {}, first.root());
    ASSERT_TRUE(testing::waitUntilServing(port)) << serving.standardError();
    ChildProcess intruder({second.executable().string(), "--port", std::to_string(port)}, {}, second.root());
    EXPECT_EQ(intruder.waitForExit(10s), 1) << "both would take turns answering requests";
    EXPECT_NE(intruder.standardError().find("Start-up failed: cannot listen on 0.0.0.0:"), std::string::npos) << intruder.standardError();
}

}  // namespace
}  // namespace quorvane
