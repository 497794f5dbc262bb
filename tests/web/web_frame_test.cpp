// The server frame over real HTTP: routing, the three browser states, sessions, static files and the
// headers of every answer, the library's own error answers included.
#include <gtest/gtest.h>

#include "web/web_test_server.h"

namespace fs = std::filesystem;

namespace quorvane {
namespace {

using testing::Browser;
using testing::expectCacheHeaders;
using testing::HttpAnswer;
using testing::WebServerTest;

using WebFrame = WebServerTest;

TEST_F(WebFrame, OpenInstallationServesEverythingWithoutASession) {
    Browser client = browser();
    EXPECT_EQ(client.get("/db").status, 200);
    const HttpAnswer login = client.get("/login");
    EXPECT_EQ(login.status, 302);
    EXPECT_EQ(login.header("Location"), "/");
    const HttpAnswer root = client.get("/");
    EXPECT_EQ(root.status, 200);
    EXPECT_EQ(root.body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(root.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(client.get("/timetables/edit").body, root.body) << "paths without a dot get the application";
    EXPECT_TRUE(client.cookie.empty()) << "no handler touched the session";
}

TEST_F(WebFrame, FirstPasswordLogsThatBrowserInAndLocksOthers) {
    Browser first = browser();
    const HttpAnswer set = first.postJson("/auth/chpasswd", "secret");
    EXPECT_EQ(set.status, 200);
    EXPECT_EQ(set.body, "ok");
    EXPECT_EQ(set.header("Set-Cookie").find("session="), 0u);
    EXPECT_EQ(first.get("/db").status, 200);
    EXPECT_EQ(first.get("/login").header("Location"), "/");

    Browser stranger = browser();
    const HttpAnswer gated = stranger.get("/db");
    EXPECT_EQ(gated.status, 400);
    EXPECT_EQ(gated.body, "No auth");
    for (const std::string path : {"/", "/timetables", "/api/get/a/b"}) {
        const HttpAnswer redirected = stranger.get(path);
        EXPECT_EQ(redirected.status, 302) << path;
        EXPECT_EQ(redirected.header("Location"), "/login") << path;
    }
    const HttpAnswer loginPage = stranger.get("/login");
    EXPECT_EQ(loginPage.status, 200);
    EXPECT_EQ(loginPage.body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(stranger.get("/assets/app.js").body, "console.log('app');") << "files are served without login";
    EXPECT_EQ(stranger.get("/api/get/status").body, "No auth");
    EXPECT_EQ(stranger.get("/api/trigger/toggleAlarm/x").body, "No auth");
    EXPECT_EQ(stranger.postJson("/auth/chpasswd", "mine").body, "No auth");
    EXPECT_EQ(stranger.postJson("/db/settings/update", Json::object()).body, "No auth");
    EXPECT_EQ(stranger.get("/auth/logout").body, "No auth");
}

TEST_F(WebFrame, LoginAndLogoutMoveBetweenLockedAndLoggedIn) {
    loggedInBrowser("secret");
    Browser client = browser();
    const HttpAnswer wrong = client.postJson("/auth/login", {{"userPassword", "guess"}, {"remember", true}});
    EXPECT_EQ(wrong.status, 400);
    EXPECT_EQ(wrong.body, "Login failed");
    EXPECT_TRUE(client.cookie.empty()) << "a failed login leaves the session alone";

    const HttpAnswer right = client.postJson("/auth/login", {{"userPassword", "secret"}, {"remember", false}});
    EXPECT_EQ(right.status, 302);
    EXPECT_EQ(right.header("Location"), "/");
    EXPECT_EQ(right.header("Set-Cookie").find("Max-Age"), std::string::npos) << "not remembered: a browser-session cookie";
    EXPECT_EQ(client.get("/db").status, 200);

    const HttpAnswer logout = client.get("/auth/logout");
    EXPECT_EQ(logout.status, 302);
    EXPECT_EQ(logout.header("Location"), "/login");
    EXPECT_EQ(client.get("/db").body, "No auth");
    EXPECT_EQ(client.get("/").header("Location"), "/login");
}

TEST_F(WebFrame, SessionCookieAttributes) {
    loggedInBrowser("secret");
    Browser client = browser();
    const std::string remembered = client.postJson("/auth/login", {{"userPassword", "secret"}, {"remember", true}}).header("Set-Cookie");
    EXPECT_NE(remembered.find("; HttpOnly"), std::string::npos) << remembered;
    EXPECT_NE(remembered.find("; SameSite=Strict"), std::string::npos) << remembered;
    EXPECT_NE(remembered.find("; Path=/"), std::string::npos) << remembered;
    EXPECT_NE(remembered.find("; Max-Age=2592000"), std::string::npos) << remembered;
}

TEST_F(WebFrame, LoginWhileNoPasswordIsSetFails) {
    Browser client = browser();
    const HttpAnswer answer = client.postJson("/auth/login", {{"userPassword", ""}, {"remember", false}});
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, "Login failed");
}

TEST_F(WebFrame, EmptyPasswordIsAPassword) {
    loggedInBrowser("");
    Browser client = browser();
    EXPECT_EQ(client.get("/db").body, "No auth");
    EXPECT_EQ(client.postJson("/auth/login", {{"userPassword", "x"}, {"remember", false}}).body, "Login failed");
    EXPECT_EQ(client.postJson("/auth/login", {{"userPassword", ""}, {"remember", false}}).status, 302);
}

TEST_F(WebFrame, PasswordChangeEndsOtherSessionsButNotTheChangers) {
    Browser first = loggedInBrowser("one");
    Browser second = browser();
    ASSERT_EQ(second.postJson("/auth/login", {{"userPassword", "one"}, {"remember", false}}).status, 302);
    const std::string firstCookie = first.cookie;
    EXPECT_EQ(first.postJson("/auth/chpasswd", {{"currentPassword", "one"}, {"newPassword", "two"}}).body, "ok");
    EXPECT_NE(first.cookie, firstCookie) << "the changer gets a fresh cookie";
    EXPECT_EQ(first.get("/db").status, 200);
    EXPECT_EQ(second.get("/db").body, "No auth");
    Browser stale = browser();
    stale.cookie = firstCookie;
    EXPECT_EQ(stale.get("/db").body, "No auth") << "the changer's previous cookie ended too";
    Browser third = browser();
    EXPECT_EQ(third.postJson("/auth/login", {{"userPassword", "one"}, {"remember", false}}).body, "Login failed");
    EXPECT_EQ(third.postJson("/auth/login", {{"userPassword", "two"}, {"remember", false}}).status, 302);
}

TEST_F(WebFrame, ForgedOrAlteredCookiesAreEmptySessions) {
    Browser owner = loggedInBrowser();
    const std::string value = owner.cookie.substr(std::string("session=").size());
    const std::string payload = value.substr(0, value.find('.'));
    const std::string mac = value.substr(value.find('.') + 1);
    const std::string forgedPayload = web::base64UrlEncode(R"({"loggedIn": true, "permanent": true})");
    std::string flipped = mac;
    flipped[0] = flipped[0] == 'A' ? 'B' : 'A';
    const std::string otherKeyCookie = web::Session().encode("another key");
    for (const std::string& forged : {"session=" + forgedPayload + "." + mac, "session=" + payload + "." + flipped, "session=" + payload,
                                      std::string("session=garbage"), "session=" + otherKeyCookie}) {
        Browser intruder = browser();
        intruder.cookie = forged;
        EXPECT_EQ(intruder.get("/db").body, "No auth") << forged;
        EXPECT_EQ(intruder.get("/").header("Location"), "/login") << forged;
    }
    Browser copy = browser();
    copy.cookie = "theme=dark; " + owner.cookie + "; lang=hu";
    EXPECT_EQ(copy.get("/db").status, 200) << "the genuine cookie among others";
}

// A login body of the wrong shape is a failed login (counted like a wrong password); a password change
// body of the wrong shape is answered with what is wrong.
TEST_F(WebFrame, WrongShapedBodiesAreRefused) {
    useTestClock();
    Browser owner = loggedInBrowser("secret");
    Browser client = browser();
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    for (const std::string body : {"[]", "\"x\"", "1", "null", "{}", R"({"remember": true})", R"({"userPassword": 1, "remember": true})",
                                   R"({"userPassword": null, "remember": true})", R"({"userPassword": "secret"})"}) {
        const HttpAnswer answer = client.post("/auth/login", body);
        EXPECT_EQ(answer.status, answer.header("Retry-After").empty() ? 400 : 429) << body;
        if (answer.status == 400) {
            EXPECT_EQ(answer.body, "Login failed") << body;
        }
        expectCacheHeaders(answer);
    }
    EXPECT_EQ(client.post("/auth/login", deep).body, "The request body is not valid JSON") << "too deep to be JSON here";
    EXPECT_EQ(client.postJson("/auth/login", {{"userPassword", "secret"}, {"remember", 0}}).status, 429) << "the shapes counted as failed logins";
    EXPECT_TRUE(client.cookie.empty());

    const std::map<std::string, std::string> changes = {
        {"1", "The password change body must be a JSON text or object"},
        {"null", "The password change body must be a JSON text or object"},
        {"[]", "The password change body must be a JSON text or object"},
        {R"({"a": 1})", "newPassword must be a text"},
        {R"({"newPassword": 5, "currentPassword": "secret"})", "newPassword must be a text"},
        {R"({"newPassword": "new", "currentPassword": false})", "currentPassword must be a text"},
        {deep, "The request body is not valid JSON"},
    };
    for (const auto& [body, message] : changes) {
        const HttpAnswer answer = owner.post("/auth/chpasswd", body);
        EXPECT_EQ(answer.status, 400) << body.substr(0, 60);
        EXPECT_EQ(answer.body, message) << body.substr(0, 60);
    }
    clockSeconds += web::LoginThrottle::MAX_WAIT_SECONDS;
    EXPECT_EQ(browser().postJson("/auth/login", {{"userPassword", "secret"}, {"remember", 0}}).status, 302) << "password unchanged";
}

TEST_F(WebFrame, JsonBodiesAreCheckedBeforeTheHandler) {
    Browser client = browser();
    // The timetable editor shows its own word for a body that does not decode, JSON or not.
    const std::map<std::string, std::string> answers = {
        {"/auth/login", "The request body is not valid JSON"},
        {"/auth/chpasswd", "The request body is not valid JSON"},
        {"/db/settings/update", "The request body is not valid JSON"},
        {"/db/timetables/create", "Invalid timetable"},
        {"/db/timetables/update/ID_factory_default_timetable", "Invalid timetable"},
    };
    for (const auto& [path, answer] : answers) {
        const HttpAnswer notJson = client.post(path, "{\"userPassword\": ", "application/json");
        EXPECT_EQ(notJson.status, 400) << path;
        EXPECT_EQ(notJson.body, answer) << path;
        const HttpAnswer wrongType = client.post(path, "\"secret\"", "text/plain");
        EXPECT_EQ(wrongType.status, 400) << path;
        EXPECT_EQ(wrongType.body, "The request body must be JSON (Content-Type: application/json)") << path;
    }
    EXPECT_EQ(client.post("/auth/chpasswd", "\"pw\"", "application/json; charset=utf-8").body, "ok");
}

TEST_F(WebFrame, RoutesAndMethods) {
    Browser client = browser();
    const HttpAnswer loginPage = client.get("/auth/login");
    EXPECT_EQ(loginPage.status, 200) << "a GET to a POST-only path falls to the catch-all";
    EXPECT_EQ(loginPage.body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(client.get("/upload").status, 200);

    const HttpAnswer postDb = client.post("/db", "", "text/plain");
    EXPECT_EQ(postDb.status, 405);
    EXPECT_EQ(postDb.header("Allow"), "GET, HEAD");
    expectCacheHeaders(postDb);
    EXPECT_EQ(client.post("/some/page", "x", "text/plain").status, 405) << "only the catch-all matches";
    EXPECT_EQ(raw("POST /db HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").status, 405) << "no length: no body";
    EXPECT_EQ(client.send("PUT", "/auth/login").status, 405);
    EXPECT_EQ(client.send("DELETE", "/db/timetables").status, 405);
    EXPECT_EQ(client.send("POST", "/api/get/status").status, 405);
    const HttpAnswer head = client.send("HEAD", "/api/get/status");
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.empty());

    // A segment parameter never holds a "/": such paths fall to the catch-all.
    EXPECT_EQ(client.get("/api/get/a/b").body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(client.get("/api/trigger/toggleAlarm").body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(client.get("/api/get/").body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(client.get("/api/get/a%2Fb").body, "<!doctype html><title>Quorvane</title>");
}

TEST_F(WebFrame, StaticFiles) {
    Browser client = browser();
    const HttpAnswer script = client.get("/assets/app.js");
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.header("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(client.get("/index.html").body, "<!doctype html><title>Quorvane</title>");
    EXPECT_EQ(client.get("/missing.css").status, 404);
    EXPECT_EQ(client.get("/release.2/page").status, 404) << "a dot anywhere makes it a file path";
    EXPECT_EQ(client.get("/assets").status, 200) << "no dot: the application";
    std::filesystem::create_directories(layout.webDir() / "folder.d");
    EXPECT_EQ(client.get("/folder.d").status, 404) << "a folder is not a file";
    std::filesystem::remove(layout.webDir() / "index.html");
    EXPECT_EQ(client.get("/").status, 404);
}

TEST_F(WebFrame, PathsThatWouldLeaveTheWebFolderAnswer404) {
    for (const std::string target :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/assets/../../secret.txt", "/..%5csecret.txt",
          "/assets%5c..%5c..%5csecret.txt", "/./index.html", "//etc/passwd.txt", "/index.html%00.js", "/assets//app.js", "/C:%5cWindows%5cwin.ini"}) {
        const HttpAnswer answer = raw("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(answer.status, 404) << target;
        EXPECT_EQ(answer.body.find("outside"), std::string::npos) << target;
        expectCacheHeaders(answer);
    }
}

TEST_F(WebFrame, EveryAnswerCarriesTheCacheHeaders) {
    Browser owner = loggedInBrowser("secret");
    Browser stranger = browser();
    expectCacheHeaders(owner.get("/api/get/status"));                        // JSON
    expectCacheHeaders(owner.get("/api/trigger/playSignal/NULL"));           // text
    expectCacheHeaders(owner.get("/get_signal_file/ID_ping"));               // audio file
    expectCacheHeaders(stranger.get("/"));                                   // redirect
    expectCacheHeaders(stranger.get("/db"));                                 // 400
    expectCacheHeaders(owner.get("/nothing.here"));                          // 404
    expectCacheHeaders(owner.post("/db", "", "text/plain"));                 // 405
    expectCacheHeaders(owner.postJson("/auth/chpasswd", Json::array()));     // 400 from the handler
    expectCacheHeaders(owner.post("/auth/login", "no json", "text/plain"));  // 400 before the handler
}

// The browser app's files are kept by the browser and asked for again each time: unchanged, they cost a
// 304; a browser that takes gzip gets the copy beside the file while the copy is not older than it.
TEST_F(WebFrame, TheAppsFilesAreRevalidatedByTheirTagAndSentCompressedWhileTheCopyIsCurrent) {
    Browser owner = loggedInBrowser("secret");
    const auto get = [&](const std::string& path, const std::string& headers = "") {
        return raw("GET " + path + " HTTP/1.1\r\nHost: x\r\nCookie: " + owner.cookie + "\r\n" + headers + "Connection: close\r\n\r\n");
    };
    const HttpAnswer first = get("/assets/app.js");
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.body, "console.log('app');");
    EXPECT_EQ(first.header("Cache-Control"), "no-cache");
    EXPECT_EQ(first.headerCount("Pragma"), 0u);
    EXPECT_EQ(first.header("Content-Encoding"), "");
    const std::string tag = first.header("ETag");
    ASSERT_EQ(tag.front(), '"');

    const HttpAnswer unchanged = get("/assets/app.js", "If-None-Match: " + tag + "\r\n");
    EXPECT_EQ(unchanged.status, 304);
    EXPECT_EQ(unchanged.body, "");
    EXPECT_EQ(unchanged.header("ETag"), tag);
    EXPECT_EQ(get("/assets/app.js", "If-None-Match: \"other\", W/" + tag + "\r\n").status, 304) << "one of a list, weak or not";
    EXPECT_EQ(get("/assets/app.js", "If-None-Match: \"other\"\r\n").status, 200);

    const fs::path file = layout.webDir() / "assets" / "app.js";
    testing::writeFile(fs::path(file.string() + ".gz"), "pretend gzip");
    const HttpAnswer zipped = get("/assets/app.js", "Accept-Encoding: deflate, gzip\r\n");
    EXPECT_EQ(zipped.body, "pretend gzip");
    EXPECT_EQ(zipped.header("Content-Encoding"), "gzip");
    EXPECT_EQ(zipped.header("Content-Type"), "text/javascript; charset=utf-8") << "the type of what it decodes to";
    EXPECT_EQ(zipped.header("Vary"), "Accept-Encoding");
    EXPECT_NE(zipped.header("ETag"), tag) << "each encoding its own tag";
    EXPECT_EQ(get("/assets/app.js", "Accept-Encoding: gzip;q=0, deflate\r\n").body, "console.log('app');");
    EXPECT_EQ(get("/assets/app.js").body, "console.log('app');") << "no Accept-Encoding, no gzip";

    // An edit after the copy was made: the copy is stale and the file goes out as it is, under a new tag.
    fs::last_write_time(file, fs::last_write_time(fs::path(file.string() + ".gz")) + std::chrono::seconds(1));
    const HttpAnswer edited = get("/assets/app.js", "Accept-Encoding: gzip\r\nIf-None-Match: " + tag + "\r\n");
    EXPECT_EQ(edited.status, 200);
    EXPECT_EQ(edited.body, "console.log('app');");
    EXPECT_NE(edited.header("ETag"), tag);

    const HttpAnswer page = get("/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.header("Cache-Control"), "no-cache");
    EXPECT_EQ(get("/", "If-None-Match: " + page.header("ETag") + "\r\n").status, 304);
    expectCacheHeaders(owner.get("/api/get/status"));
    expectCacheHeaders(owner.get("/get_signal_file/ID_ping"));
    expectCacheHeaders(browser().get("/"));  // the redirect to the login is never kept
}

TEST_F(WebFrame, TheLibrarysOwnAnswersCarryTheCacheHeadersToo) {
    const HttpAnswer malformed = raw("NONSENSE\r\n\r\n");
    EXPECT_EQ(malformed.status, 400);
    expectCacheHeaders(malformed);
    const HttpAnswer badRange = raw("GET /get_signal_file/ID_ping HTTP/1.1\r\nHost: x\r\nRange: bytes=9-1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(badRange.status, 416);
    expectCacheHeaders(badRange);
    const HttpAnswer longUri = raw("GET /" + std::string(10000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(longUri.status, 414);
    expectCacheHeaders(longUri);
}

TEST_F(WebFrame, OversizedAndChunkedBodiesAreRefusedAtOnceAndTheConnectionEnds) {
    // Only the headers are sent: the answer must come without the body being read.
    bool closed = false;
    const std::string oversized = testing::rawExchange(
        port, "POST /upload HTTP/1.1\r\nHost: x\r\nContent-Length: 104857601\r\nContent-Type: multipart/form-data; boundary=b\r\n\r\n", true,
        &closed);
    EXPECT_TRUE(closed);
    const HttpAnswer tooLarge = testing::parseRawAnswer(oversized);
    EXPECT_EQ(tooLarge.status, 413);
    EXPECT_EQ(tooLarge.header("Connection"), "close");
    expectCacheHeaders(tooLarge);

    // Whatever follows a refused chunked body is never taken for a request of its own.
    const std::string chunked = testing::rawExchange(port,
                                                     "POST /db/timetables/create HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                     "GET /api/trigger/toggleAlarm/x HTTP/1.1\r\nHost: x\r\n\r\n",
                                                     true, &closed);
    EXPECT_TRUE(closed);
    const HttpAnswer lengthRequired = testing::parseRawAnswer(chunked);
    EXPECT_EQ(lengthRequired.status, 411);
    EXPECT_EQ(lengthRequired.header("Connection"), "close");
    expectCacheHeaders(lengthRequired);
    EXPECT_EQ(chunked.find("HTTP/1.1", 1), std::string::npos) << "one answer only: " << chunked;
    Browser client = browser();
    EXPECT_EQ(Json::parse(client.get("/api/get/overview").body)["alarmActive"], false);

    const HttpAnswer smallBody =
        raw("POST /db/timetables/create HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
            "Content-Length: 1\r\nConnection: close\r\n\r\n{");
    EXPECT_EQ(smallBody.status, 400) << "a body within the limit is read";
    EXPECT_EQ(smallBody.body, "Invalid timetable");
}

TEST_F(WebFrame, JsonAnswersArePureAscii) {
    Browser client = browser();
    ASSERT_EQ(client.postJson("/db/timetables/create", {{"name", "Órarend ☃ 𝄞"}}).status, 200);
    const HttpAnswer table = client.get("/db/timetables");
    EXPECT_EQ(table.header("Content-Type"), "application/json");
    EXPECT_NE(table.body.find(R"("name": "\u00d3rarend \u2603 \ud834\udd1e")"), std::string::npos) << table.body;
    for (const char c : table.body) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

}  // namespace
}  // namespace quorvane
