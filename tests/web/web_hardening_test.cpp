// The frame against requests an attacker sends: from another site, HEAD and unknown methods on routes
// that change something, bodies behind the login gate, forged log lines, uploads that are no sound.
#include <gtest/gtest.h>

#include "model/digest.h"
#include "support/log_capture.h"
#include "support/raw_http_client.h"
#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::Browser;
using testing::expectCacheHeaders;
using testing::HttpAnswer;
using testing::WebServerTest;

using FrameHardening = WebServerTest;

class Requests {
public:
    explicit Requests(int port) : host("127.0.0.1:" + std::to_string(port)) {}
    std::string make(const std::string& method, const std::string& target, const std::string& headers = "", const std::string& body = "") const {
        return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n" + headers +
               (body.empty() ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n") + "\r\n" + body;
    }
    const std::string host;
};

Json overview(Browser& client) { return Json::parse(client.get("/api/get/overview").body); }

TEST_F(FrameHardening, StateChangesSentFromAnotherSiteAreRefused) {
    const Requests requests(port);
    Browser client = browser();
    // Before the first password every route is open: a page elsewhere must not set one, nor ring.
    for (const std::string marks : {"Origin: http://evil.example\r\n", "Origin: null\r\n", "Sec-Fetch-Site: cross-site\r\n",
                                    "Origin: http://127.0.0.1:1\r\n", "Origin: http://localhost\r\n"}) {
        const HttpAnswer password = raw(requests.make("POST", "/auth/chpasswd", marks + "Content-Type: application/json\r\n", "\"pwned\""));
        EXPECT_EQ(password.status, 403) << marks;
        EXPECT_EQ(password.body, "Cross-site request refused") << marks;
        expectCacheHeaders(password);
        EXPECT_EQ(raw(requests.make("GET", "/api/trigger/toggleAlarm/x", marks)).status, 403) << marks;
        EXPECT_EQ(raw(requests.make("POST", "/db/timetables/create", marks + "Content-Type: text/plain\r\n", "{}")).status, 403) << marks;
        EXPECT_EQ(raw(requests.make("POST", "/auth/login", marks + "Content-Type: application/json\r\n", "{}")).status, 403) << marks;
        EXPECT_EQ(raw(requests.make("GET", "/api/get/status", marks)).status, 200) << marks << ": reading is no change";
    }
    const Json after = overview(client);
    EXPECT_EQ(after["passwordMissing"], true);
    EXPECT_EQ(after["alarmActive"], false);
    EXPECT_EQ(after["timetables"].size(), 1u);

    // The browser application's own requests carry its own origin.
    const HttpAnswer own = raw(requests.make("POST", "/auth/chpasswd",
                                             "Origin: http://" + requests.host +
                                                 "\r\nSec-Fetch-Site: same-origin\r\n"
                                                 "Content-Type: application/json\r\n",
                                             "\"secret\""));
    EXPECT_EQ(own.status, 200);
    EXPECT_EQ(own.body, "ok");
}

TEST_F(FrameHardening, LogoutFromAnotherSiteKeepsTheSession) {
    Browser owner = loggedInBrowser();
    const HttpAnswer logout = owner.get("/auth/logout", {{"Sec-Fetch-Site", "cross-site"}});
    EXPECT_EQ(logout.status, 403);
    EXPECT_EQ(owner.get("/db").status, 200);
    EXPECT_EQ(owner.get("/auth/logout", {{"Sec-Fetch-Site", "same-origin"}}).status, 302);
}

TEST_F(FrameHardening, ACrossSiteUploadIsRefusedBeforeItsBody) {
    bool closed = false;
    const std::string answer = testing::rawExchange(port,
                                                    Requests(port).make("POST", "/upload",
                                                                        "Origin: http://evil.example\r\nContent-Length: 52428800\r\n"
                                                                        "Content-Type: multipart/form-data; boundary=b\r\n"),
                                                    true, &closed);
    EXPECT_TRUE(closed) << "the body is never read";
    EXPECT_EQ(testing::parseRawAnswer(answer).status, 403);
}

TEST_F(FrameHardening, HeadOnlyWhereGetChangesNothing) {
    const Requests requests(port);
    Browser owner = loggedInBrowser();
    const std::string cookie = "Cookie: " + owner.cookie + "\r\n";
    bool closed = false;
    for (const std::string path : {"/api/trigger/toggleAlarm/x", "/auth/logout"}) {
        const HttpAnswer head = testing::parseRawAnswer(testing::rawExchange(port, requests.make("HEAD", path, cookie), true, &closed));
        EXPECT_EQ(head.status, 405) << path;
        EXPECT_EQ(head.header("Allow"), "GET") << path;
        expectCacheHeaders(head);
    }
    EXPECT_EQ(overview(owner)["alarmActive"], false) << "HEAD did not switch the alarm on";
    EXPECT_EQ(owner.get("/db").status, 200) << "HEAD did not log out";

    const HttpAnswer file = testing::parseRawAnswer(testing::rawExchange(port, requests.make("HEAD", "/assets/app.js"), true, &closed));
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.header("Content-Length"), "19");
    EXPECT_EQ(file.body, "");
    const HttpAnswer status = testing::parseRawAnswer(testing::rawExchange(port, requests.make("HEAD", "/api/get/status", cookie), true, &closed));
    EXPECT_EQ(status.status, 200);
    EXPECT_EQ(status.header("Content-Type"), "application/json");
}

TEST_F(FrameHardening, UnknownMethodsAnswer405WithTheMethodsThePathTakes) {
    const Requests requests(port);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"TRACE /db", "GET, HEAD"},
        {"PROPFIND /", "GET, HEAD"},
        {"OPTIONS /upload", "POST, GET, HEAD"},
        {"BREW /api/trigger/toggleAlarm/x", "GET"},
        {"CONNECT /auth/login", "POST, GET, HEAD"},
    };
    for (const auto& [line, allowed] : cases) {
        const std::string method = line.substr(0, line.find(' ')), path = line.substr(line.find(' ') + 1);
        const HttpAnswer answer = raw(requests.make(method, path));
        EXPECT_EQ(answer.status, 405) << line;
        EXPECT_EQ(answer.header("Allow"), allowed) << line;
        expectCacheHeaders(answer);
    }
}

TEST_F(FrameHardening, ClientTextCannotStartALogLine) {
    testing::LogCapture log;
    Browser client = browser();
    EXPECT_EQ(client.get("/api/get/x%0aFORGED%20line").status, 400);
    EXPECT_EQ(client.get("/api/trigger/x%0d%0aFORGED/y%0aFORGED").status, 400);
    EXPECT_EQ(client.get("/get_signal_file/k%0aFORGED").status, 404);
    const std::string text = log.text();
    EXPECT_NE(text.find("\\x0aFORGED"), std::string::npos) << text;
    for (size_t line = 0; line < text.size(); line = text.find('\n', line) + 1) {
        EXPECT_NE(text.compare(line, 6, "FORGED"), 0) << text;
        if (text.find('\n', line) == std::string::npos) break;
    }
}

TEST_F(FrameHardening, TheLoginGateAnswersBeforeTheBody) {
    loggedInBrowser();
    const Requests requests(port);
    // Only the headers are sent: the answer must come without the body, and the connection must end,
    // since the body would otherwise be taken for the next request.
    for (const std::string headers : {"Content-Type: multipart/form-data; boundary=b\r\nContent-Length: 52428800\r\n",
                                      "Content-Type: application/json\r\nContent-Length: 100000\r\n"}) {
        const std::string path = headers.find("multipart") != std::string::npos ? "/upload" : "/db/settings/update";
        bool closed = false;
        const std::string answer = testing::rawExchange(port, requests.make("POST", path, headers), true, &closed);
        const HttpAnswer refused = testing::parseRawAnswer(answer);
        EXPECT_EQ(refused.status, 400) << path;
        EXPECT_EQ(refused.body, "No auth") << path;
        EXPECT_EQ(refused.header("Connection"), "close") << path;
        EXPECT_TRUE(closed) << path;
    }
}

TEST_F(FrameHardening, AnUploadWhoseFileCannotBeKeptAddsNoSignal) {
    Browser client = browser();
    const std::string bytes = testing::waveBytes(1);
    const std::string key = md5Hex(bytes);
    // A folder where the file should go: keeping the file fails.
    std::filesystem::create_directories(layout.userData() / (key + ".wav") / "in the way");
    const HttpAnswer answer = client.upload("/upload", {{"file", bytes, "bell.wav", "audio/wav"}});
    EXPECT_EQ(answer.status, 500);
    EXPECT_FALSE(Json::parse(client.get("/db").body)["signals"].contains(key));
    for (const auto& entry : std::filesystem::directory_iterator(layout.userData()))
        EXPECT_NE(entry.path().filename().string().rfind(".upload-", 0), 0u) << "temporary file left: " << entry.path();
}

// One address may hold 32 connections; the machine's own, where a reverse proxy or the local browser
// speaks for many clients, counts only towards the total of 512.
TEST_F(FrameHardening, ConnectionsPerAddressAreCappedButTheMachinesOwn) {
    std::vector<http::testing::RawClient> local, remote;
    for (int i = 0; i < 40; ++i) local.emplace_back(port, "127.0.0.1");
    for (int i = 0; i < 33; ++i) remote.emplace_back(port, "127.0.0.2");
    for (auto& client : local) ASSERT_TRUE(client.send(http::testing::get("/api/get/status")));
    for (auto& client : local) EXPECT_EQ(client.receive(5s).value_or(http::testing::HttpReply{}).status, 200);
    EXPECT_TRUE(remote.back().closedWithin(1s)) << "the 33rd from 127.0.0.2";
    remote.pop_back();
    for (auto& client : remote) ASSERT_TRUE(client.send(http::testing::get("/api/get/status")));
    for (auto& client : remote) EXPECT_EQ(client.receive(5s).value_or(http::testing::HttpReply{}).status, 200);
}

// A route may take a larger body than the default; the others keep theirs.
TEST(RouteBodyLimits, ARouteAsksForALargerBody) {
    testing::TestLayout layout;
    const auto ok = [](web::RequestContext&) { return web::okText(); };
    constexpr uint64_t GiB = 1024ull * 1024 * 1024;
    web::WebServer server({{"POST", "/restore", ok, false, web::RequestBody::MULTIPART, web::Effect::CHANGES_STATE, GiB},
                           {"POST", "/upload", ok, false, web::RequestBody::MULTIPART}});
    const int port = server.bindAnyPort("127.0.0.1");
    std::thread serving([&] { server.serve(); });
    const auto headers = [](const std::string& path, uint64_t length) {
        return "POST " + path +
               " HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Type: multipart/form-data; boundary=b\r\n"
               "Content-Length: " +
               std::to_string(length) + "\r\n\r\n";
    };
    EXPECT_EQ(testing::rawExchange(port, headers("/restore", 200 * 1024 * 1024)).rfind("HTTP/1.1 100 Continue\r\n", 0), 0u);
    EXPECT_EQ(testing::parseRawAnswer(testing::rawExchange(port, headers("/upload", 200 * 1024 * 1024))).status, 413);
    EXPECT_EQ(testing::parseRawAnswer(testing::rawExchange(port, headers("/restore", GiB + 1))).status, 413);
    server.stop();
    serving.join();
}

}  // namespace
}  // namespace quorvane
