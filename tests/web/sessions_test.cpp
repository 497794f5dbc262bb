// Sessions and logins as a browser and an attacker meet them over HTTP: logout and password changes
// end cookies, cookies expire, cookies from before generations existed, and password guessing is slowed.
#include <gtest/gtest.h>

#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

class Sessions : public WebServerTest {
protected:
    static Json login(const std::string& password, bool remember = false) { return {{"userPassword", password}, {"remember", remember}}; }
    static Json change(const std::string& current, const std::string& next) { return {{"currentPassword", current}, {"newPassword", next}}; }
    // A browser holding the given cookie (as "session=...").
    Browser holding(const std::string& cookie) const {
        Browser copy = browser();
        copy.cookie = cookie;
        return copy;
    }
    // A signed cookie as the server wrote it before sessions had generations and issue times.
    static std::string legacyCookie(bool permanent = false) {
        return "session=" +
               web::signedCookieValue(permanent ? R"({"loggedIn": true, "permanent": true})" : R"({"loggedIn": true, "permanent": false})",
                                      testing::TEST_SIGNING_KEY);
    }
    // An installation whose credentials were stored before generations existed.
    void storeOldCredentials(const std::string& password) {
        StateLock lock;
        Shadow& credentials = shadow.edit(lock);
        credentials.setPassword(password);
        credentials = from_json<Shadow>(R"({"_salt": ")" + *credentials._salt + R"(", "_pwd": ")" + *credentials._pwd + R"("})");
    }
};

TEST_F(Sessions, LogoutRevokesThatCookieAlone) {
    Browser owner = loggedInBrowser("secret");
    Browser other = browser();
    ASSERT_EQ(other.postJson("/auth/login", login("secret")).status, 302);
    const std::string copied = other.cookie;
    EXPECT_EQ(other.get("/auth/logout").status, 302);
    EXPECT_EQ(holding(copied).get("/db").body, "No auth") << "a copy of the logged-out cookie is refused";
    EXPECT_EQ(holding(copied).get("/").header("Location"), "/login");
    EXPECT_EQ(owner.get("/db").status, 200) << "other sessions go on";

    // The revocation is kept with the credentials, so a restart does not bring the cookie back.
    shadow.saveForce();
    testing::resetStoredRecords();
    loadStoredRecords();
    EXPECT_EQ(holding(copied).get("/db").body, "No auth");
    EXPECT_EQ(owner.get("/db").status, 200);
}

TEST_F(Sessions, PasswordChangeNeedsTheCurrentPassword) {
    Browser owner = loggedInBrowser("first-pass");
    const HttpAnswer plain = owner.postJson("/auth/chpasswd", "taken-over");
    EXPECT_EQ(plain.status, 400);
    EXPECT_EQ(plain.body, "The current password is needed");
    const HttpAnswer wrong = owner.postJson("/auth/chpasswd", change("guess", "taken-over"));
    EXPECT_EQ(wrong.status, 400);
    EXPECT_EQ(wrong.body, "Wrong password");
    EXPECT_EQ(owner.get("/db").status, 200) << "a wrong current password does not end the session";
    EXPECT_EQ(browser().postJson("/auth/login", login("taken-over")).body, "Login failed");
    EXPECT_EQ(owner.postJson("/auth/chpasswd", change("first-pass", "second-pass")).body, "ok");
    EXPECT_EQ(browser().postJson("/auth/login", login("second-pass")).status, 302);
    EXPECT_EQ(owner.postJson("/auth/chpasswd", Json{{"currentPassword", "second-pass"}}).body, "newPassword must be a text");
}

TEST_F(Sessions, TheFirstPasswordIsAJsonTextOrAnObjectWithoutTheCurrentOne) {
    Browser first = browser();
    EXPECT_EQ(first.postJson("/auth/chpasswd", Json{{"newPassword", "first-pass"}}).body, "ok");
    EXPECT_EQ(first.get("/db").status, 200);
    EXPECT_EQ(browser().postJson("/auth/login", login("first-pass")).status, 302);
}

TEST_F(Sessions, APasswordChangeKeepsTheChangersRememberedLogin) {
    loggedInBrowser("first-pass");
    Browser remembered = browser();
    ASSERT_EQ(remembered.postJson("/auth/login", login("first-pass", true)).status, 302);
    const HttpAnswer changed = remembered.postJson("/auth/chpasswd", change("first-pass", "second-pass"));
    EXPECT_NE(changed.header("Set-Cookie").find("Max-Age=2592000"), std::string::npos) << changed.header("Set-Cookie");
}

TEST_F(Sessions, CookiesExpireByTheServersClock) {
    useTestClock();
    loggedInBrowser("secret");
    const int64_t start = clockSeconds;
    Browser workday = browser();
    ASSERT_EQ(workday.postJson("/auth/login", login("secret", false)).status, 302);
    Browser remembered = browser();
    ASSERT_EQ(remembered.postJson("/auth/login", login("secret", true)).status, 302);

    clockSeconds = start + 12 * 3600 - 1;
    EXPECT_EQ(workday.get("/db").status, 200);
    clockSeconds = start + 12 * 3600;
    EXPECT_EQ(workday.get("/db").body, "No auth") << "a working day is over";
    EXPECT_EQ(workday.get("/").header("Location"), "/login");
    EXPECT_EQ(remembered.get("/db").status, 200);
    clockSeconds = start + 30 * 24 * 3600 - 1;
    EXPECT_EQ(remembered.get("/db").status, 200);
    clockSeconds = start + 30 * 24 * 3600;
    EXPECT_EQ(remembered.get("/db").body, "No auth") << "thirty days are over";
}

TEST_F(Sessions, OldCookiesStayValidUntilThePasswordChanges) {
    storeOldCredentials("old-pass");
    useTestClock();
    Browser old = holding(legacyCookie());
    Browser oldRemembered = holding(legacyCookie(true));
    EXPECT_EQ(old.get("/db").status, 200);
    clockSeconds += 365LL * 24 * 3600;
    EXPECT_EQ(oldRemembered.get("/db").status, 200) << "they carry no issue time";
    Browser fresh = browser();
    ASSERT_EQ(fresh.postJson("/auth/login", login("old-pass")).status, 302);
    EXPECT_EQ(fresh.get("/db").status, 200);

    EXPECT_EQ(fresh.postJson("/auth/chpasswd", change("old-pass", "new-pass")).body, "ok");
    EXPECT_EQ(old.get("/db").body, "No auth");
    EXPECT_EQ(oldRemembered.get("/db").body, "No auth");
    EXPECT_EQ(fresh.get("/db").status, 200);
}

TEST_F(Sessions, LoggingOutWithAnOldCookieEndsEveryOldCookie) {
    storeOldCredentials("old-pass");
    // Every browser logged in before the change holds the very same cookie value.
    Browser leaving = holding(legacyCookie());
    EXPECT_EQ(leaving.get("/db").status, 200);
    EXPECT_EQ(leaving.get("/auth/logout").status, 302);
    EXPECT_EQ(holding(legacyCookie()).get("/db").body, "No auth");
    EXPECT_EQ(holding(legacyCookie(true)).get("/db").body, "No auth");
}

TEST_F(Sessions, FiveWrongPasswordsThenWaitWithRetryAfter) {
    useTestClock();
    loggedInBrowser("right-pass");
    Browser guesser = browser();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(guesser.postJson("/auth/login", login("guess" + std::to_string(i))).body, "Login failed");
    const HttpAnswer throttled = guesser.postJson("/auth/login", login("right-pass"));
    EXPECT_EQ(throttled.status, 429) << "not even the right password is tried while waiting";
    EXPECT_EQ(throttled.header("Retry-After"), "60");
    EXPECT_EQ(throttled.body, "Too many wrong passwords. Try again in 60 seconds.");
    testing::expectCacheHeaders(throttled);
    EXPECT_TRUE(guesser.cookie.empty());

    clockSeconds += 30;
    EXPECT_EQ(guesser.postJson("/auth/login", login("right-pass")).header("Retry-After"), "30");
    clockSeconds += 30;
    EXPECT_EQ(guesser.postJson("/auth/login", login("guess")).body, "Login failed");
    EXPECT_EQ(guesser.postJson("/auth/login", login("right-pass")).header("Retry-After"), "120") << "the wait doubles";
    clockSeconds += 120;
    EXPECT_EQ(guesser.postJson("/auth/login", login("right-pass")).status, 302);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(browser().postJson("/auth/login", login("guess")).body, "Login failed") << "a success starts afresh";
}

TEST_F(Sessions, WrongCurrentPasswordsCountAsFailedLogins) {
    Browser owner = loggedInBrowser("right-pass");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(owner.postJson("/auth/chpasswd", change("guess", "mine")).body, "Wrong password");
    EXPECT_EQ(owner.postJson("/auth/chpasswd", change("right-pass", "mine")).status, 429);
    EXPECT_EQ(browser().postJson("/auth/login", login("right-pass")).status, 429) << "one count for the address";
}

TEST_F(Sessions, TheClientAddressComesFromTheConnection) {
    loggedInBrowser("right-pass");
    for (int i = 0; i < 5; ++i) browser().postJson("/auth/login", login("guess"));
    ASSERT_EQ(browser().postJson("/auth/login", login("guess")).status, 429);
    const std::string body = toJsonText(login("right-pass"));
    const auto request = [&](const std::string& extraHeaders) {
        return "POST /auth/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
               extraHeaders + "Connection: close\r\n\r\n" + body;
    };
    // Headers a client writes itself name no address.
    EXPECT_EQ(raw(request("X-Forwarded-For: 10.9.8.7\r\nX-Real-IP: 10.9.8.7\r\n")).status, 429);
    const HttpAnswer elsewhere = testing::parseRawAnswer(testing::rawExchange(port, request(""), false, nullptr, "127.0.0.2"));
    EXPECT_EQ(elsewhere.status, 302) << "another address is not held back";
}

}  // namespace
}  // namespace quorvane
