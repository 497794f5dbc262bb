// The real executable with HTTPS: it names its certificate's fingerprint, serves HTTPS beside the
// redirecting plain port, ends start-up with one line when the files do not load, and stays answering
// while hundreds of clients hang in their handshakes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/child_process.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"
#include "web/http/tls_context.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;

struct HttpsPlayer {
    HttpsPlayer() : pair(testing::writeSelfSignedPair(player.root())) {}
    std::vector<std::string> command(const std::vector<std::string>& more = {}) const {
        std::vector<std::string> arguments{player.executable().string(), "--port", std::to_string(port), "--tls-port", std::to_string(tlsPort),
                                           "--tls-cert", pair.certificate.string(), "--tls-key", pair.key.string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }
    InstalledPlayer player;
    testing::TlsFiles pair;
    int port = testing::freePort();
    int tlsPort = testing::freePort();
};

TEST(HttpsStartUp, NamesTheFingerprintAndServesHttpsBesideTheRedirect) {
    HttpsPlayer https;
    ChildProcess run(https.command(), {}, https.player.root());
    const std::string fingerprint = web::http::certificateFingerprint(https.pair.certificate);
    ASSERT_TRUE(run.waitForStderr("TLS certificate SHA-256 fingerprint: " + fingerprint + "\n", 10s)) << run.standardError();
    const std::string log = run.standardError();
    EXPECT_NE(log.find("navigate to ----> https://localhost:" + std::to_string(https.tlsPort) + "/ <----"), std::string::npos) << log;
    testing::TlsClient client(https.tlsPort);
    ASSERT_TRUE(client.established());
    EXPECT_EQ(client.peerFingerprint(), web::http::certificateFingerprint(https.pair.certificate));
    ASSERT_TRUE(client.send(web::http::testing::get("/login")));
    const auto page = client.receive(10s);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 302) << "served, not redirected: with no password the login page sends to the app";
    EXPECT_EQ(page->header("Location"), "/");
    const auto redirected = web::http::testing::roundTrip(https.port, web::http::testing::get("/login"));
    EXPECT_EQ(redirected.status, 308);
    EXPECT_EQ(redirected.header("Location"), "https://test:" + std::to_string(https.tlsPort) + "/login");
}

TEST(HttpsStartUp, FilesThatDoNotLoadEndStartUpWithOneLine) {
    HttpsPlayer https;
    testing::writeFile(https.pair.key, "not a key");
    ChildProcess run(https.command(), {}, https.player.root());
    ASSERT_EQ(run.waitForExit(10s), 1) << run.standardError();
    const std::string log = run.standardError();
    const size_t failure = log.find("Start-up failed: cannot load the TLS key " + https.pair.key.string() + ": ");
    ASSERT_NE(failure, std::string::npos) << log;
    EXPECT_EQ(log.find('\n', failure), log.size() - 1) << "one line, the last: " << log;
}

TEST(HttpsStartUp, ACertificateWithoutItsKeyIsAUsageError) {
    HttpsPlayer https;
    ChildProcess run({https.player.executable().string(), "--tls-cert", https.pair.certificate.string()}, {}, https.player.root());
    ASSERT_EQ(run.waitForExit(10s), 2);
    EXPECT_NE(run.standardError().find("--tls-key"), std::string::npos) << run.standardError();
}

TEST(HttpsStartUp, HundredsOfHangingHandshakesLeaveOthersAnswered) {
    HttpsPlayer https;
    ChildProcess run(https.command(), {}, https.player.root());
    ASSERT_TRUE(run.waitForStderr("TLS certificate SHA-256 fingerprint: ", 10s)) << run.standardError();
    std::vector<std::unique_ptr<web::http::testing::RawClient>> hanging;
    for (int i = 0; i < 300; ++i) {
        hanging.push_back(std::make_unique<web::http::testing::RawClient>(https.tlsPort));
        if (i % 3 == 0) hanging.back()->send(std::string("\x16\x03\x01\x02\x00\x01", 6));  // a ClientHello that never ends
    }
    testing::TlsClient client(https.tlsPort);
    ASSERT_TRUE(client.established());
    ASSERT_TRUE(client.send(web::http::testing::get("/healthz")));
    const auto health = client.receive(10s);
    ASSERT_TRUE(health);
    EXPECT_NE(health->status, 0);
    EXPECT_EQ(web::http::testing::roundTrip(https.port, web::http::testing::get("/healthz")).header("Location"), "");
    // Each hanging client is dropped within the header time.
    for (auto& stalled : hanging) EXPECT_TRUE(stalled->closedWithin(15s));
    EXPECT_FALSE(run.waitForExit(10ms).has_value());
}

}  // namespace
}  // namespace quorvane
