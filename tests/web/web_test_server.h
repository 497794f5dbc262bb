#pragma once
// An in-process web server on 127.0.0.1 over a temporary installation, with the stored records reset
// to the factory configuration, stub audio players first on the search path, and a browser-like client
// that keeps its session cookie.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "storage/stored_records.h"
#include "support/child_process.h"
#include "support/raw_http_client.h"
#include "support/stored_records_reset.h"
#include "support/temp_dir.h"
#include "support/test_layout.h"
#include "web/login_throttle.h"
#include "web/web_server.h"

namespace quorvane::testing {

inline constexpr const char* TEST_SIGNING_KEY = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

// Puts shell scripts named mpg123 and aplay first on PATH; each appends "<name> <arguments>" to a trace
// file and ends at once.
class StubPlayers {
public:
    StubPlayers() : _previousPath(std::getenv("PATH") ? std::getenv("PATH") : "") {
        for (const char* name : {"mpg123", "aplay"}) {
            const std::filesystem::path script = _dir / name;
            writeFile(script, "#!/bin/sh\necho \"" + std::string(name) + " $*\" >> '" + trace().string() + "'\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
        setenv("PATH", (_dir.path().string() + ":" + _previousPath).c_str(), 1);
    }
    ~StubPlayers() { setenv("PATH", _previousPath.c_str(), 1); }
    std::filesystem::path trace() const { return _dir / "trace"; }
    std::string traceText() const { return std::filesystem::exists(trace()) ? readFile(trace()) : ""; }
    // Waits (briefly) until the trace holds the text: players run on their own threads.
    bool waitForTrace(const std::string& text) const {
        for (int i = 0; i < 500; ++i) {
            if (traceText().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    TempDir _dir;
    std::string _previousPath;
};

struct HttpAnswer {
    int status = 0;
    std::string body;
    httplib::Headers headers;
    std::string header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? "" : found->second;
    }
    size_t headerCount(const std::string& name) const { return headers.count(name); }
};

// True when the text holds a whole response (its headers and Content-Length bytes of body).
inline bool holdsWholeResponse(const std::string& text) { return http::testing::parseReply(text).has_value(); }

// Sends raw bytes over one connection and reads the first response; with untilClosed, everything until
// the server closes the connection (or a second passes without data after the first response), and
// closedByServer tells which.
// sourceAddress names another loopback address (127.0.0.2...) for the client's end.
inline std::string rawExchange(int port, const std::string& bytes, bool untilClosed = false, bool* closedByServer = nullptr,
                               const char* sourceAddress = nullptr) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (sourceAddress) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        inet_pton(AF_INET, sourceAddress, &source.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            close(fd);
            return "";
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return "";
    }
    // A loaded machine may take a while to answer; once the answer is whole, a quiet second means the
    // server keeps the connection open.
    const auto waitAtMost = [fd](time_t seconds) {
        timeval timeout{seconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    };
    waitAtMost(10);
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string received;
    char buffer[65536];
    ssize_t count = -1;
    bool whole = false;
    // A receive timeout makes recv fail with EINTR whenever a signal wakes this thread, even one that is
    // then ignored: a child process of the server under test ending is enough.
    while (untilClosed || !whole) {
        count = recv(fd, buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        received.append(buffer, static_cast<size_t>(count));
        if (!whole && (whole = holdsWholeResponse(received))) waitAtMost(1);
    }
    if (closedByServer) *closedByServer = untilClosed && count == 0;
    close(fd);
    return received;
}

// Parses the first response of a raw exchange: its head, and everything after it as its body.
inline HttpAnswer parseRawAnswer(const std::string& text) {
    HttpAnswer answer;
    const auto head = http::testing::parseReply(text, true);
    if (!head) return answer;
    answer.status = head->first.status;
    for (const auto& [name, value] : head->first.headers) answer.headers.emplace(name, value);
    answer.body = text.substr(head->second);
    return answer;
}

// A browser: keeps the session cookie that the server sets.
class Browser {
public:
    explicit Browser(int port) : _client("127.0.0.1", port) {
        _client.set_connection_timeout(std::chrono::seconds(2));
        _client.set_read_timeout(std::chrono::seconds(10));
        _client.set_write_timeout(std::chrono::seconds(10));
    }

    HttpAnswer get(const std::string& path, httplib::Headers headers = {}) { return keep(_client.Get(path, withCookie(headers))); }
    HttpAnswer post(const std::string& path, const std::string& body, const std::string& contentType = "application/json",
                    httplib::Headers headers = {}) {
        return keep(_client.Post(path, withCookie(headers), body, contentType));
    }
    HttpAnswer postJson(const std::string& path, const Json& body, httplib::Headers headers = {}) {
        return post(path, toJsonText(body), "application/json", std::move(headers));
    }
    HttpAnswer upload(const std::string& path, const httplib::MultipartFormDataItems& items) {
        return keep(_client.Post(path, withCookie({}), items));
    }
    HttpAnswer send(const std::string& method, const std::string& path, const std::string& body = "") {
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = withCookie({});
        request.body = body;
        if (!body.empty()) request.set_header("Content-Type", "text/plain");
        return keep(_client.send(request));
    }

    std::string cookie;  // "session=..." as sent back, empty when none

private:
    httplib::Headers withCookie(httplib::Headers headers) const {
        if (!cookie.empty()) headers.emplace("Cookie", cookie);
        return headers;
    }
    HttpAnswer keep(const httplib::Result& result) {
        HttpAnswer answer;
        if (!result) {
            ADD_FAILURE() << "request failed: " << httplib::to_string(result.error());
            return answer;
        }
        answer.status = result->status;
        answer.body = result->body;
        answer.headers = result->headers;
        const std::string setCookie = answer.header("Set-Cookie");
        if (!setCookie.empty()) cookie = setCookie.substr(0, setCookie.find(';'));
        return answer;
    }

    httplib::Client _client;
};

// The in-process server with its installation. Files of the factory signals are copied into the assets.
class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QUORVANE_SOURCE_DIR) / "assets"))
            std::filesystem::copy_file(entry.path(), layout.assets() / entry.path().filename());
        writeFile(layout.webDir() / "index.html", "<!doctype html><title>Quorvane</title>");
        std::filesystem::create_directories(layout.webDir() / "assets");
        writeFile(layout.webDir() / "assets" / "app.js", "console.log('app');");
        writeFile(layout.root() / "web-ui" / "secret.txt", "outside the web folder");
        // A fresh installation: factory configuration, no password, empty cache, files in this layout.
        resetStoredRecords();
        loadStoredRecords();
        // Every test connects from 127.0.0.1: failed logins of one test must not throttle the next.
        web::loginThrottle.clear();
        server.setSigningKey(TEST_SIGNING_KEY);
        port = freePort();
        server.bind("127.0.0.1", port);
        beforeServing();
        serving = std::thread([this] { server.serve(); });
        for (int i = 0; i < 5000 && !server.isRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(server.isRunning());
    }

    // Between binding and serving: a second listener, say.
    virtual void beforeServing() {}

    void TearDown() override {
        server.stop();
        serving.join();
    }

    // The configuration as the last save left it on disk.
    DB storedDb() const { return from_json<DB>(readFile(layout.userData() / "_db.json")); }

    Browser browser() const { return Browser(port); }
    // From now on the server's clock reads clockSeconds, which the test moves by hand.
    void useTestClock() {
        server.setClock([this] { return clockSeconds.load(); });
    }
    HttpAnswer raw(const std::string& bytes) const { return parseRawAnswer(rawExchange(port, bytes)); }

    // Sets the first password from a fresh browser and returns that (logged-in) browser.
    Browser loggedInBrowser(const std::string& password = "secret") {
        Browser first = browser();
        EXPECT_EQ(first.postJson("/auth/chpasswd", password).body, "ok");
        return first;
    }

    TestLayout layout;
    StubPlayers players;
    web::WebServer server{web::applicationRoutes()};
    int port = 0;
    std::thread serving;
    std::atomic<int64_t> clockSeconds{1'800'000'000};
};

inline void expectCacheHeaders(const HttpAnswer& answer) {
    EXPECT_EQ(answer.header("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0") << "status " << answer.status;
    EXPECT_EQ(answer.header("Pragma"), "no-cache") << "status " << answer.status;
    EXPECT_EQ(answer.header("Expires"), "0") << "status " << answer.status;
    EXPECT_EQ(answer.headerCount("Cache-Control"), 1u);
}

}  // namespace quorvane::testing
