#include "web/session.h"

#include <gtest/gtest.h>

namespace quorvane::web {
namespace {

constexpr const char* KEY = "5f1c0a7e9b3d42c8a6e07f19d2b4c6e8a0f3b5d7c9e1a2b4c6d8e0f1a3b5c7d9";

TEST(Base64Url, RoundTripsEveryLengthAndRefusesOtherForms) {
    std::string bytes;
    for (int length = 0; length < 40; ++length) {
        const std::string text = base64UrlEncode(bytes);
        EXPECT_EQ(text.find_first_of("+/="), std::string::npos) << text;
        EXPECT_EQ(base64UrlDecode(text), bytes);
        bytes.push_back(static_cast<char>(length * 37 + 200));
    }
    EXPECT_EQ(base64UrlEncode("\xfb\xff"), "-_8");
    EXPECT_FALSE(base64UrlDecode("ab+c"));
    EXPECT_FALSE(base64UrlDecode("abc="));
    EXPECT_FALSE(base64UrlDecode("a"));
    EXPECT_FALSE(base64UrlDecode("-_9")) << "left-over bits must be zero";
}

constexpr int64_t NOW = 1'800'000'000;

Session loggedIn(bool permanent = false, int64_t generation = 0, int64_t issuedAt = NOW) {
    Session session;
    session.logIn(permanent, generation, issuedAt);
    return session;
}

TEST(Session, SignedCookieRoundTrips) {
    for (const bool permanent : {false, true}) {
        const Session session = loggedIn(permanent, 7);
        const Session back = Session::decode(session.encode(KEY), KEY);
        EXPECT_TRUE(back.loggedIn());
        EXPECT_EQ(back.permanent(), permanent);
        EXPECT_EQ(back.generation(), 7);
        EXPECT_EQ(back.issuedAt(), NOW);
        EXPECT_EQ(back.id(), session.id());
        EXPECT_FALSE(back.isLegacy());
        EXPECT_FALSE(back.modified());
    }
    Session loggedOut = loggedIn(true);
    loggedOut.logOut();
    EXPECT_TRUE(loggedOut.modified());
    const Session back = Session::decode(loggedOut.encode(KEY), KEY);
    EXPECT_FALSE(back.loggedIn());
    EXPECT_FALSE(back.permanent());
    EXPECT_FALSE(back.generation());
}

TEST(Session, EveryLoginHasItsOwnRandomId) {
    const std::string first = loggedIn().id(), second = loggedIn().id();
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos) << first;
    EXPECT_NE(first, second);
}

TEST(Session, LifetimeCountsFromTheIssueTime) {
    const Session workday = loggedIn(false);
    EXPECT_EQ(workday.expiresAt(), NOW + 12 * 3600);
    EXPECT_TRUE(workday.isCurrent(0, NOW));
    EXPECT_TRUE(workday.isCurrent(0, NOW + 12 * 3600 - 1));
    EXPECT_FALSE(workday.isCurrent(0, NOW + 12 * 3600));

    const Session remembered = loggedIn(true);
    EXPECT_EQ(remembered.expiresAt(), NOW + 30 * 24 * 3600);
    EXPECT_TRUE(remembered.isCurrent(0, NOW + 30 * 24 * 3600 - 1));
    EXPECT_FALSE(remembered.isCurrent(0, NOW + 30 * 24 * 3600));

    // A session issued "in the future" (the clock was set back since) is honoured only within a few minutes.
    EXPECT_TRUE(workday.isCurrent(0, NOW - 60));
    EXPECT_FALSE(workday.isCurrent(0, NOW - 3600));
}

TEST(Session, OnlyTheCurrentGenerationIsHonoured) {
    const Session session = loggedIn(false, 3);
    EXPECT_TRUE(session.isCurrent(3, NOW));
    EXPECT_FALSE(session.isCurrent(4, NOW));
    EXPECT_FALSE(session.isCurrent(2, NOW));
    EXPECT_FALSE(Session().isCurrent(0, NOW)) << "not logged in";
}

TEST(Session, CookiesFromBeforeGenerationsStayValidUntilTheFirstNewGeneration) {
    for (const bool permanent : {false, true}) {
        const std::string legacy =
            signedCookieValue(permanent ? R"({"loggedIn": true, "permanent": true})" : R"({"loggedIn": true, "permanent": false})", KEY);
        const Session session = Session::decode(legacy, KEY);
        EXPECT_TRUE(session.loggedIn());
        EXPECT_EQ(session.permanent(), permanent);
        EXPECT_TRUE(session.isLegacy());
        EXPECT_FALSE(session.expiresAt());
        EXPECT_TRUE(session.isCurrent(0, NOW + 10LL * 365 * 24 * 3600)) << "no issue time: no expiry";
        EXPECT_FALSE(session.isCurrent(1, NOW));
    }
}

TEST(Session, SignedValuesWithPartsMissingAreNotSessions) {
    for (const char* json :
         {R"({"loggedIn": true, "generation": 0})", R"({"loggedIn": true, "generation": 0, "issuedAt": 5})",
          R"({"loggedIn": true, "generation": 0, "id": "ab"})", R"({"loggedIn": true, "generation": "0", "issuedAt": 5, "id": "ab"})",
          R"({"loggedIn": true, "generation": 0, "issuedAt": 5.5, "id": "ab"})"})
        EXPECT_FALSE(Session::decode(signedCookieValue(json, KEY), KEY).loggedIn()) << json;
    EXPECT_TRUE(Session::decode(signedCookieValue(R"({"loggedIn": true, "generation": 0, "issuedAt": 5, "id": "ab"})", KEY), KEY).loggedIn());
}

TEST(Session, AnythingNotSignedUnderTheKeyIsAnEmptySession) {
    const Session session = loggedIn();
    const std::string value = session.encode(KEY);
    const size_t dot = value.find('.');
    std::string alteredMac = value;
    alteredMac.back() = alteredMac.back() == 'A' ? 'B' : 'A';
    const std::string forgedPayload = base64UrlEncode(R"({"loggedIn": true})") + value.substr(dot);
    const std::string unsignedPayload = value.substr(0, dot);
    for (const std::string& cookie : {session.encode("other key"), alteredMac, forgedPayload, unsignedPayload, std::string(""), std::string("."),
                                      value + "x", value.substr(0, value.size() - 1)})
        EXPECT_FALSE(Session::decode(cookie, KEY).loggedIn()) << cookie;
}

TEST(Session, CookieHeaderCarriesTheStatedAttributes) {
    const Session session = loggedIn(false);
    const std::string browserSession = session.setCookieHeader(KEY);
    EXPECT_EQ(browserSession, "session=" + session.encode(KEY) + "; HttpOnly; SameSite=Strict; Path=/");
    const Session remembered = loggedIn(true);
    EXPECT_EQ(remembered.setCookieHeader(KEY), "session=" + remembered.encode(KEY) + "; HttpOnly; SameSite=Strict; Path=/; Max-Age=2592000");
}

TEST(Session, FindsItsCookieAmongOthers) {
    EXPECT_EQ(cookieValue("a=1; session=abc.def; b=2", "session"), "abc.def");
    EXPECT_EQ(cookieValue("session=\"q.v\"", "session"), "q.v");
    EXPECT_EQ(cookieValue("mysession=x;session = y ", "session"), "y");
    EXPECT_FALSE(cookieValue("sessionx=1; other", "session"));
    EXPECT_FALSE(cookieValue("", "session"));
    EXPECT_TRUE(Session::fromCookieHeader("theme=dark; session=" + loggedIn().encode(KEY), KEY).loggedIn());
    EXPECT_FALSE(Session::fromCookieHeader("theme=dark", KEY).loggedIn());
}

}  // namespace
}  // namespace quorvane::web
