// The real executable with HTTPS: it names its certificate's fingerprint, serves HTTPS beside the
// redirecting plain port, ends start-up with one line when the files do not load, and stays answering
// while hundreds of clients hang in their handshakes.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "http/tls_context.h"
#include "support/child_process.h"
#include "support/player_service.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;

struct HttpsPlayer {
    HttpsPlayer() : pair(testing::writeSelfSignedPair(player.root())) {}
    std::vector<std::string> command(const std::vector<std::string>& more = {}) const {
        std::vector<std::string> arguments{
            player.executable().string(), "--port",    std::to_string(port), "--tls-port", std::to_string(tlsPort), "--tls-cert",
            pair.certificate.string(),    "--tls-key", pair.key.string()};
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
    const std::string fingerprint = http::certificateFingerprint(https.pair.certificate);
    ASSERT_TRUE(run.waitForStderr("TLS certificate SHA-256 fingerprint: " + fingerprint + "\n", 10s)) << run.standardError();
    const std::string log = run.standardError();
    EXPECT_NE(log.find("navigate to ----> https://localhost:" + std::to_string(https.tlsPort) + "/ <----"), std::string::npos) << log;
    testing::TlsClient client(https.tlsPort);
    ASSERT_TRUE(client.established());
    EXPECT_EQ(client.peerFingerprint(), http::certificateFingerprint(https.pair.certificate));
    ASSERT_TRUE(client.send(http::testing::get("/login")));
    const auto page = client.receive(10s);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 302) << "served, not redirected: with no password the login page sends to the app";
    EXPECT_EQ(page->header("Location"), "/");
    const auto redirected = http::testing::roundTrip(https.port, http::testing::get("/login"));
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

TEST(HttpsStartUp, HalfAPairIsAUsageError) {
    HttpsPlayer https;
    const std::string certificate = https.pair.certificate.string(), key = https.pair.key.string();
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--tls-cert", certificate},
                                                      {"--tls-key", key},
                                                      {"--tls-cert", certificate, "--tls-key", ""},
                                                      {"--tls-cert", "", "--tls-key", key},
                                                      {"--tls-self-signed"},
                                                      {"--tls-cert", "", "--tls-key", "", "--tls-self-signed"}}) {
        std::vector<std::string> command{https.player.executable().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildProcess run(command, {}, https.player.root());
        ASSERT_EQ(run.waitForExit(10s), 2) << arguments.front();
        EXPECT_NE(run.standardError().find("--tls-"), std::string::npos) << run.standardError();
        EXPECT_NE(run.standardError().find("Usage"), std::string::npos) << run.standardError();
    }
    EXPECT_FALSE(std::filesystem::exists(https.player.userData())) << "nothing may happen before the command line is read";
}

// The service passes its defaults' TLS_CERT and TLS_KEY as they are; emptied, they mean plain HTTP.
TEST(HttpsStartUp, EmptyFilesServePlainHttpOnly) {
    HttpsPlayer https;
    ChildProcess run({https.player.executable().string(), "--port", std::to_string(https.port), "--tls-port", std::to_string(https.tlsPort),
                      "--tls-cert", "", "--tls-key", ""},
                     {}, https.player.root());
    ASSERT_TRUE(testing::waitUntilServing(https.port)) << run.standardError();
    EXPECT_NE(run.standardError().find("navigate to ----> http://localhost:" + std::to_string(https.port) + "/"), std::string::npos);
    EXPECT_EQ(run.standardError().find("TLS"), std::string::npos) << run.standardError();
    EXPECT_EQ(http::testing::roundTrip(https.port, http::testing::get("/login")).header("Location"), "/");
    EXPECT_FALSE(testing::TlsClient(https.tlsPort).established());
}

// As the Windows installer starts it: a pair in the data folder, made by the first start, kept after.
TEST(HttpsStartUp, ASelfSignedPairIsMadeOnceWhenNeitherFileExists) {
    InstalledPlayer player;
    const std::filesystem::path folder = player.root() / "tls";
    const auto certificate = folder / "certificate.pem", key = folder / "private.key";
    const int port = testing::freePort(), tlsPort = testing::freePort();
    const std::vector<std::string> command{
        player.executable().string(), "--port",    std::to_string(port), "--tls-port",       std::to_string(tlsPort), "--tls-cert",
        certificate.string(),         "--tls-key", key.string(),         "--tls-self-signed"};
    std::string fingerprint;
    {
        ChildProcess first(command, {}, player.root());
        ASSERT_TRUE(first.waitForStderr("TLS certificate SHA-256 fingerprint: ", 10s)) << first.standardError();
        ASSERT_TRUE(first.waitForStderr(" <----", 10s));
        EXPECT_NE(first.standardError().find("Made a self-signed TLS certificate for "), std::string::npos) << first.standardError();
        EXPECT_EQ(std::filesystem::status(key).permissions() & std::filesystem::perms::all, std::filesystem::perms(0600));
        fingerprint = http::certificateFingerprint(certificate);
        testing::TlsClient client(tlsPort);
        ASSERT_TRUE(client.established());
        EXPECT_EQ(client.peerFingerprint(), fingerprint);
    }
    ChildProcess again(command, {}, player.root());
    ASSERT_TRUE(again.waitForStderr("TLS certificate SHA-256 fingerprint: " + fingerprint + "\n", 10s)) << again.standardError();
    EXPECT_EQ(again.standardError().find("Made a self-signed"), std::string::npos) << "the pair of the first start is kept";
}

TEST(HttpsStartUp, APairWithAFileMissingIsNotMadeAgainButReported) {
    HttpsPlayer https;
    std::filesystem::remove(https.pair.certificate);
    ChildProcess run(https.command({"--tls-self-signed"}), {}, https.player.root());
    ASSERT_EQ(run.waitForExit(10s), 1) << run.standardError();
    EXPECT_NE(run.standardError().find("Start-up failed: cannot load the TLS certificate " + https.pair.certificate.string()), std::string::npos)
        << run.standardError();
    EXPECT_FALSE(std::filesystem::exists(https.pair.certificate)) << "the key that is there may be the school's own";
}

TEST(HttpsStartUp, HundredsOfHangingHandshakesLeaveOthersAnswered) {
    HttpsPlayer https;
    ChildProcess run(https.command(), {}, https.player.root());
    ASSERT_TRUE(run.waitForStderr("TLS certificate SHA-256 fingerprint: ", 10s)) << run.standardError();
    std::vector<std::unique_ptr<http::testing::RawClient>> hanging;
    for (int i = 0; i < 300; ++i) {
        hanging.push_back(std::make_unique<http::testing::RawClient>(https.tlsPort));
        if (i % 3 == 0) hanging.back()->send(std::string("\x16\x03\x01\x02\x00\x01", 6));  // a ClientHello that never ends
    }
    testing::TlsClient client(https.tlsPort);
    ASSERT_TRUE(client.established());
    ASSERT_TRUE(client.send(http::testing::get("/healthz")));
    const auto health = client.receive(10s);
    ASSERT_TRUE(health);
    EXPECT_NE(health->status, 0);
    EXPECT_EQ(http::testing::roundTrip(https.port, http::testing::get("/healthz")).header("Location"), "");
    // Each hanging client is dropped within the header time.
    for (auto& stalled : hanging) EXPECT_TRUE(stalled->closedWithin(15s));
    EXPECT_FALSE(run.waitForExit(10ms).has_value());
}

}  // namespace
}  // namespace quorvane
