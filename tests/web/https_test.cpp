// The interface with HTTPS on: the plain port sends browsers to the TLS port (but the monitoring
// route), and the session cookie set over HTTPS is Secure.
#include <gtest/gtest.h>

#include "http/tls_context.h"
#include "support/tls_test_pair.h"
#include "web/https_redirect.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::HttpAnswer;

class Https : public testing::WebServerTest {
protected:
    void beforeServing() override {
        const auto pair = testing::writeSelfSignedPair(layout.root());
        tlsPort = server.bindTls("127.0.0.1", 0, http::loadTlsContext(pair.certificate, pair.key));
    }
    HttpAnswer plain(const std::string& method, const std::string& target, const std::string& host, const std::string& body = "") {
        return testing::parseRawAnswer(testing::rawExchange(
            port, method + " " + target + " HTTP/1.1\r\nHost: " + host +
                      "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    }
    std::string tlsAddress(const std::string& host) const { return "https://" + host + ":" + std::to_string(tlsPort); }

    int tlsPort = 0;
};

TEST_F(Https, ThePlainPortSendsEveryRequestToTheTlsPortOfTheSameHostName) {
    HttpAnswer answer = plain("GET", "/db?x=%20y&z", "player.school.example:" + std::to_string(port));
    EXPECT_EQ(answer.status, 308);
    EXPECT_EQ(answer.header("Location"), tlsAddress("player.school.example") + "/db?x=%20y&z");
    EXPECT_EQ(plain("GET", "/", "10.0.0.7").header("Location"), tlsAddress("10.0.0.7") + "/");
    EXPECT_EQ(plain("GET", "/login", "[fe80::1]:5000").header("Location"), tlsAddress("[fe80::1]") + "/login");
    EXPECT_EQ(plain("GET", "http://player/db", "player").header("Location"), tlsAddress("player") + "/db");
    // A change is not taken in plain either: its body is never read.
    const HttpAnswer login = plain("POST", "/auth/chpasswd", "player", "\"secret\"");
    EXPECT_EQ(login.status, 308);
    EXPECT_EQ(login.header("Set-Cookie"), "");
    {
        StateLock lock;
        EXPECT_FALSE(shadow.view(lock).isPasswordSet());
    }
    // No Location of a client's choosing.
    EXPECT_EQ(plain("GET", "/db", "evil.example/x?").status, 400);
    EXPECT_EQ(plain("GET", "/db", "").status, 400);
}

TEST_F(Https, MonitoringKeepsReadingPlainHttp) {
    const HttpAnswer health = plain("GET", "/healthz", "player");
    EXPECT_NE(health.status, 308);
    EXPECT_EQ(health.header("Location"), "");
}

TEST_F(Https, TheSessionCookieOverHttpsIsSecure) {
    testing::TlsClient client(tlsPort);
    ASSERT_TRUE(client.established());
    const std::string body = "\"secret\"";
    ASSERT_TRUE(client.send("POST /auth/chpasswd HTTP/1.1\r\nHost: player\r\nContent-Type: application/json\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body));
    const auto changed = client.receive();
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->body, "ok");
    const std::string setCookie = changed->header("Set-Cookie");
    EXPECT_NE(setCookie.find("; Secure"), std::string::npos) << setCookie;
    EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos) << setCookie;
    ASSERT_TRUE(client.send("GET /db HTTP/1.1\r\nHost: player\r\nCookie: " + setCookie.substr(0, setCookie.find(';')) + "\r\n\r\n"));
    const auto database = client.receive();
    ASSERT_TRUE(database);
    EXPECT_EQ(database->status, 200);
}

TEST(HostName, OnlyNamesAndAddressesPass) {
    EXPECT_EQ(web::hostNameOf("player"), "player");
    EXPECT_EQ(web::hostNameOf("Player.School-1.example:5000"), "Player.School-1.example");
    EXPECT_EQ(web::hostNameOf("192.168.1.20:80"), "192.168.1.20");
    EXPECT_EQ(web::hostNameOf("[::1]"), "[::1]");
    EXPECT_EQ(web::hostNameOf("[2001:db8::7]:5000"), "[2001:db8::7]");
    for (const char* bad : {"", ":5000", "player:", "player:abc", "player:123456", "pla yer", "player/x", "a@b", "[::1", "[::1]x", "[::1]:", "[]",
                            "[zz::1]", "player:80:80", "%2e"})
        EXPECT_FALSE(web::hostNameOf(bad).has_value()) << bad;
    EXPECT_FALSE(web::hostNameOf(std::string(254, 'a')).has_value());
}

}  // namespace
}  // namespace quorvane
