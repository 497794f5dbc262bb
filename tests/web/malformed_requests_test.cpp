// Every route, with every method, malformed bodies, content types and paths: never a 5xx, the server
// keeps serving, and no stored file changes but by the timetable bodies that decode leniently by design.
// Run logged out (with a password set) and logged in.
#include <chrono>
#include <optional>
#include <regex>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "web/routes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;

const char* const METHODS[] = {"GET", "POST", "PUT", "DELETE", "HEAD", "OPTIONS", "PATCH"};
const char* const STORED_FILES[] = {DB_FILE_NAME, CACHE_FILE_NAME, SHADOW_FILE_NAME};

std::vector<std::string> malformedBodies() {
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    return {"",
            "[]",
            "\"x\"",
            "1",
            "null",
            "{}",
            R"({"userPassword": 1, "remember": true})",
            R"({"userPassword": null, "remember": true})",
            R"({"newPassword": [], "currentPassword": {}})",
            R"({"name": 5, "lessons": "x", "confirm": "yes", "from": [], "timetableId": {}, "weekdayTimetables": 3})",
            R"({"alarmDelaySec": "x", "calendar": {"workdayMode": []}, "quorvaneTimetable": "1"})",
            R"({"name": "x", "lessons": [)",
            "{\"name\": \"\xff\xfe\xc0\xaf\"}",
            deep,
            std::string(100'000, '{'),
            R"({"alarmDelaySec": 1e999999, "volume": 123456789012345678901234567890})",
            "123456789012345678901234567890e-999999",
            std::string("{\"name\": \"a\0b\"}\0", 16)};
}

// Content types for the bodies that reach a handler as JSON; then each of the others with two bodies.
const char* const JSON_TYPE = "application/json";
const std::optional<std::string> OTHER_TYPES[] = {std::nullopt, "text/plain", "multipart/form-data", "x;;=\x7f/garbage"};

// The route patterns with their parameters filled: unknown ids, and a known one where a route has one.
std::vector<std::string> routePaths() {
    std::vector<std::string> paths;
    for (const web::Route& route : web::applicationRoutes()) {
        std::string path = std::regex_replace(route.pattern, std::regex("<path:[a-z]+>"), "index.html");
        paths.push_back(std::regex_replace(path, std::regex("<[a-z]+>"), "nope"));
    }
    for (const char* path :
         {"/api/trigger/deleteSignal/nope", "/api/trigger/deleteTimetable/nope", "/api/trigger/playSignal/nope", "/api/trigger/testRing/nope",
          "/db/timetables/update/ID_factory_default_timetable", "/db/timetables/delete/ID_factory_default_timetable", "/get_signal_file/ID_ping"})
        paths.emplace_back(path);
    return paths;
}

const std::vector<std::string> MALFORMED_PATHS = {"/%2e%2e/%2e%2e/etc/passwd",
                                                  "/..%2f..%2fetc%2fpasswd",
                                                  "/get_signal_file/..%2f_db.json",
                                                  "/get_signal_file/%2e%2e%2f_shadow.json",
                                                  "/db/timetables/update/%00",
                                                  "/db/timetables/delete/..%2F..%2F_db.json",
                                                  "/api/get/%00",
                                                  "/%00",
                                                  "/index.html%00.js",
                                                  "/" + std::string(8'000, 'a'),
                                                  "/db/timetables/export/" + std::string(2'000, '%'),
                                                  "/api/trigger/%ff%fe/%c0%af",
                                                  "//db",
                                                  "/db/"};

std::string request(const std::string& method, const std::string& path, const std::string& body, const std::optional<std::string>& contentType,
                    const std::string& cookie) {
    std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (contentType) text += "Content-Type: " + *contentType + "\r\n";
    if (!cookie.empty()) text += "Cookie: " + cookie + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return text;
}

class MalformedRequests : public testing::WebServerTest {
protected:
    std::map<std::string, std::string> storedFiles() const {
        std::map<std::string, std::string> files;
        for (const char* name : STORED_FILES) files[name] = testing::readFile(layout.userData() / name);
        return files;
    }

    // Sends one request; a failure names it. Counts the requests sent.
    void expectNoServerError(const std::string& method, const std::string& path, const std::string& body,
                             const std::optional<std::string>& contentType, const std::string& cookie) {
        ++sent;
        const HttpAnswer answer = testing::parseRawAnswer(testing::rawExchange(port, request(method, path, body, contentType, cookie), true));
        // Without a running scheduler the monitoring route rightly reports a stall.
        const bool stalled = path == "/healthz" && answer.status == 503 && answer.body == (method == "HEAD" ? "" : "stalled");
        const bool fine = (answer.status >= 200 && answer.status < 500) || stalled;
        if (answer.status >= 200 && answer.status < 300 && method != "GET" && method != "HEAD") accepted.insert(path);
        if (!fine && ++failures <= 20)
            ADD_FAILURE() << method << " " << path.substr(0, 80) << " [" << contentType.value_or("no type") << "] " << body.substr(0, 60)
                          << " answered " << answer.status << " " << answer.body.substr(0, 200);
    }

    void sweep(const std::string& cookie) {
        const std::vector<std::string> bodies = malformedBodies();
        for (const std::string& path : routePaths()) {
            for (const char* method : METHODS) {
                if (path == "/auth/logout" && (std::string(method) == "GET" || std::string(method) == "HEAD")) continue;  // see below
                for (const std::string& body : bodies) expectNoServerError(method, path, body, JSON_TYPE, cookie);
                for (const auto& type : OTHER_TYPES)
                    for (const std::string& body : {bodies[1], bodies[9]}) expectNoServerError(method, path, body, type, cookie);
            }
        }
        for (const std::string& path : MALFORMED_PATHS)
            for (const char* method : {"GET", "POST", "HEAD"})
                for (const std::string& body : {bodies[0], bodies[5], bodies[13]}) expectNoServerError(method, path, body, JSON_TYPE, cookie);
    }

    // The paths that accepted a body with a change (not GET).
    std::set<std::string> accepted;
    int sent = 0;
    int failures = 0;
};

TEST_F(MalformedRequests, NeverAServerErrorAndNothingStoredChanges) {
    const auto started = std::chrono::steady_clock::now();
    Browser owner = loggedInBrowser("secret");  // a password: the gated routes refuse the stranger
    db.saveForce();
    cache.saveForce();
    const auto before = storedFiles();

    sweep("");
    EXPECT_EQ(storedFiles(), before) << "logged out";
    EXPECT_EQ(accepted, std::set<std::string>{}) << "logged out, only the login takes a body";
    web::loginThrottle.clear();
    sweep(owner.cookie);
    // Timetables decode leniently, as the editor sends them: a number is a name, a missing member takes
    // its default, and any true-ish confirm confirms. Such bodies create, replace and delete timetables,
    // as they should; the stop of an emergency routine takes no body and changes nothing stored; a new
    // metrics token takes no body either and is made whatever was sent; nothing else accepted a change,
    // and nothing else changed.
    EXPECT_EQ(accepted,
              (std::set<std::string>{"/api/emergency/stop", "/api/metrics/token", "/db/timetables/create",
                                     "/db/timetables/update/ID_factory_default_timetable", "/db/timetables/delete/ID_factory_default_timetable",
                                     "/db/settings/update", "/db/signals/restoreFactory"}));
    const auto after = storedFiles();
    EXPECT_EQ(after.at(CACHE_FILE_NAME), before.at(CACHE_FILE_NAME));
    Json shadowAfter = Json::parse(after.at(SHADOW_FILE_NAME)), shadowBefore = Json::parse(before.at(SHADOW_FILE_NAME));
    EXPECT_TRUE(shadowAfter["_metricsToken"].is_string());
    shadowAfter.erase("_metricsToken");
    shadowBefore.erase("_metricsToken");
    EXPECT_EQ(shadowAfter, shadowBefore) << "the password, its salt and the sessions are as they were";
    const DB changed = from_json<DB>(after.at(DB_FILE_NAME)), original = from_json<DB>(before.at(DB_FILE_NAME));
    EXPECT_EQ(changed.settings, original.settings) << "an empty settings update changes nothing";
    EXPECT_EQ(changed.signals, original.signals) << "nothing of the factory signals was missing";
    EXPECT_NE(changed.timetables, original.timetables);

    // Still serving, the session still valid.
    EXPECT_EQ(owner.get("/db").status, 200);
    web::loginThrottle.clear();
    EXPECT_EQ(browser().postJson("/auth/login", {{"userPassword", "secret"}, {"remember", false}}).status, 302);

    // A logout takes no body: with any body it is a logout, which ends the session in the credentials
    // file (and nothing else).
    const std::string cookie = owner.cookie;
    for (const std::string& body : {std::string("[]"), std::string(100'000, '[')})
        expectNoServerError("GET", "/auth/logout", body, JSON_TYPE, cookie);
    expectNoServerError("HEAD", "/auth/logout", "", std::nullopt, cookie);
    const auto loggedOut = storedFiles();
    EXPECT_EQ(loggedOut.at(DB_FILE_NAME), after.at(DB_FILE_NAME));
    EXPECT_EQ(loggedOut.at(CACHE_FILE_NAME), before.at(CACHE_FILE_NAME));
    EXPECT_TRUE(from_json<Shadow>(loggedOut.at(SHADOW_FILE_NAME)).isPasswordMatching("secret"));
    EXPECT_EQ(owner.get("/db").body, "No auth");

    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << sent << " requests in " << seconds << " s\n";
}

}  // namespace
}  // namespace quorvane
