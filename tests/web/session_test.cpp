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

TEST(Session, SignedCookieRoundTrips) {
    for (const bool loggedIn : {false, true})
        for (const bool permanent : {false, true}) {
            Session session;
            session.setLoggedIn(loggedIn);
            session.setPermanent(permanent);
            const Session back = Session::decode(session.encode(KEY), KEY);
            EXPECT_EQ(back.loggedIn(), loggedIn);
            EXPECT_EQ(back.permanent(), permanent);
            EXPECT_FALSE(back.modified());
        }
}

TEST(Session, AnythingNotSignedUnderTheKeyIsAnEmptySession) {
    Session session;
    session.setLoggedIn(true);
    const std::string value = session.encode(KEY);
    const size_t dot = value.find('.');
    std::string alteredMac = value;
    alteredMac.back() = alteredMac.back() == 'A' ? 'B' : 'A';
    const std::string forgedPayload = base64UrlEncode(R"({"loggedIn": true})") + value.substr(dot);
    const std::string unsignedPayload = value.substr(0, dot);
    for (const std::string& cookie : {session.encode("other key"), alteredMac, forgedPayload, unsignedPayload, std::string(""),
                                      std::string("."), value + "x", value.substr(0, value.size() - 1)})
        EXPECT_FALSE(Session::decode(cookie, KEY).loggedIn()) << cookie;
}

TEST(Session, CookieHeaderCarriesTheStatedAttributes) {
    Session session;
    session.setLoggedIn(true);
    const std::string browserSession = session.setCookieHeader(KEY);
    EXPECT_EQ(browserSession, "session=" + session.encode(KEY) + "; HttpOnly; SameSite=Strict; Path=/");
    session.setPermanent(true);
    EXPECT_EQ(session.setCookieHeader(KEY), "session=" + session.encode(KEY) + "; HttpOnly; SameSite=Strict; Path=/; Max-Age=2592000");
}

TEST(Session, FindsItsCookieAmongOthers) {
    EXPECT_EQ(cookieValue("a=1; session=abc.def; b=2", "session"), "abc.def");
    EXPECT_EQ(cookieValue("session=\"q.v\"", "session"), "q.v");
    EXPECT_EQ(cookieValue("mysession=x;session = y ", "session"), "y");
    EXPECT_FALSE(cookieValue("sessionx=1; other", "session"));
    EXPECT_FALSE(cookieValue("", "session"));
    Session session;
    session.setLoggedIn(true);
    EXPECT_TRUE(Session::fromCookieHeader("theme=dark; session=" + session.encode(KEY), KEY).loggedIn());
    EXPECT_FALSE(Session::fromCookieHeader("theme=dark", KEY).loggedIn());
}

}  // namespace
}  // namespace quorvane::web
