// HTTPS on the transport's second listener: requests inside TLS are served like plain ones, only TLS
// 1.2 and 1.3 are spoken, and a client that stalls or sends garbage in its handshake is dropped
// within the header time, holding a connection slot meanwhile, without an error of ours.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "http/server.h"
#include "http/tls_context.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"
#include "support/wait_until.h"
#include "test_application.h"

namespace quorvane::http {
namespace {

using namespace testing;
using quorvane::testing::TlsClient;
using quorvane::testing::TlsFiles;
using Clock = std::chrono::steady_clock;
using quorvane::testing::waitUntil;

Limits tlsLimits() {
    Limits limits;
    limits.headerTimeout = 600ms;
    limits.keepAliveIdle = 400ms;
    limits.maxConnections = 8;
    limits.maxConnectionsPerAddress = 4;
    return limits;
}

class TlsServing : public ::testing::Test {
protected:
    TlsServing() : pair(quorvane::testing::writeSelfSignedPair(folder.path())), app(folder.path()), server(app, tlsLimits()) {
        plainPort = server.bind("127.0.0.1", 0);
        tlsPort = server.bindTls("127.0.0.1", 0, loadTlsContext(pair.certificate, pair.key));
        thread = std::thread([this] { server.run(); });
    }
    ~TlsServing() override {
        server.stop();
        thread.join();
    }
    void TearDown() override {
        const auto errors = app.takeErrors();
        EXPECT_TRUE(errors.empty()) << "a client's misbehaviour is no error of ours: " << errors.front();
    }

    quorvane::testing::TempDir folder;
    TlsFiles pair;
    TestApplication app;
    Server server;
    int plainPort = 0, tlsPort = 0;
    std::thread thread;
};

TEST_F(TlsServing, RequestsInsideTlsAreServedAndMarkedSecure) {
    TlsClient client(tlsPort);
    ASSERT_TRUE(client.established());
    EXPECT_EQ(client.peerFingerprint(), certificateFingerprint(pair.certificate));
    // Two requests on one connection: the second is read after the connection went idle.
    ASSERT_TRUE(client.send(get("/secure")));
    auto first = client.receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, "yes");
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(client.send(post("/echo", "inside")));
    auto second = client.receive();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->body, "method=POST\npath=/echo\nquery=\nbody=inside");
    // Pipelined: both in one record.
    ASSERT_TRUE(client.send(get("/echo?n=1") + get("/echo?n=2")));
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=[n=1]\nbody=");
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=[n=2]\nbody=");
    // The plain listener keeps serving plain HTTP.
    EXPECT_EQ(roundTrip(plainPort, get("/secure")).body, "no");
}

TEST_F(TlsServing, AnIdleTlsConnectionClosesAfterTheKeepAliveTime) {
    TlsClient client(tlsPort);
    ASSERT_TRUE(client.send(get("/secure")));
    ASSERT_TRUE(client.receive());
    EXPECT_TRUE(client.closedWithin(3s));
}

TEST_F(TlsServing, OnlyTls12AndNewerAreSpoken) {
    TlsClient modern(tlsPort);
    ASSERT_TRUE(modern.established());
    EXPECT_EQ(modern.version(), "TLSv1.3");
    TlsClient twelve(tlsPort, TLS1_2_VERSION);
    ASSERT_TRUE(twelve.established());
    EXPECT_EQ(twelve.version(), "TLSv1.2");
    TlsClient eleven(tlsPort, TLS1_1_VERSION);
    EXPECT_FALSE(eleven.established());
    TlsClient ten(tlsPort, TLS1_VERSION);
    EXPECT_FALSE(ten.established());
}

TEST_F(TlsServing, GarbageInsteadOfAHandshakeClosesTheConnection) {
    for (const std::string& garbage :
         {get("/secure"), std::string(20'000, '\x16'), std::string("\x16\x03\x01\xff\xff", 5) + std::string(300, 'x'), std::string(1, '\0')}) {
        RawClient client(tlsPort);
        ASSERT_TRUE(client.connected());
        client.send(garbage);
        EXPECT_TRUE(client.closedWithin(3s)) << garbage.size();
        EXPECT_EQ(client.unparsed().find("HTTP/1.1"), std::string::npos) << "no plain answer inside a TLS port";
    }
    TlsClient after(tlsPort);
    ASSERT_TRUE(after.send(get("/secure")));
    EXPECT_EQ(after.receive()->body, "yes");
}

TEST_F(TlsServing, AStalledHandshakeIsDroppedOnTimeAndHoldsASlotMeanwhile) {
    const auto started = Clock::now();
    std::vector<std::unique_ptr<RawClient>> stalled;
    for (int i = 0; i < 4; ++i) stalled.push_back(std::make_unique<RawClient>(tlsPort));
    ASSERT_TRUE(waitUntil([&] { return server.openConnections() == 4; }, 3s));
    // The address's cap is reached by handshakes alone.
    RawClient refused(plainPort);
    EXPECT_TRUE(refused.closedWithin(3s));
    for (auto& client : stalled) EXPECT_TRUE(client->closedWithin(5s));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 5.0);
    ASSERT_TRUE(waitUntil([&] { return server.openConnections() == 0; }, 3s));
    EXPECT_EQ(roundTrip(plainPort, get("/secure")).body, "no");
}

TEST(TlsContext, FilesThatDoNotLoadAreNamed) {
    quorvane::testing::TempDir folder;
    const TlsFiles pair = quorvane::testing::writeSelfSignedPair(folder.path(), "one");
    const TlsFiles other = quorvane::testing::writeSelfSignedPair(folder.path(), "two");
    EXPECT_NO_THROW(loadTlsContext(pair.certificate, pair.key));
    const auto message = [](const std::filesystem::path& certificate, const std::filesystem::path& key) {
        try {
            loadTlsContext(certificate, key);
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("loaded");
    };
    const std::string missing = message(folder.path() / "none.pem", pair.key);
    EXPECT_NE(missing.find("cannot load the TLS certificate"), std::string::npos) << missing;
    EXPECT_NE(missing.find("none.pem"), std::string::npos) << missing;
    EXPECT_NE(message(pair.key, pair.key).find("cannot load the TLS certificate"), std::string::npos) << "a key is no certificate";
    EXPECT_NE(message(pair.certificate, pair.certificate).find("cannot load the TLS key"), std::string::npos);
    const std::string mismatch = message(pair.certificate, other.key);
    EXPECT_TRUE(mismatch.find("does not belong") != std::string::npos || mismatch.find("cannot load the TLS key") != std::string::npos) << mismatch;
}

TEST(TlsContext, TheFingerprintIsTheCertificatesSha256AsBrowsersShowIt) {
    quorvane::testing::TempDir folder;
    const TlsFiles one = quorvane::testing::writeSelfSignedPair(folder.path(), "one");
    const TlsFiles two = quorvane::testing::writeSelfSignedPair(folder.path(), "two");
    const std::string fingerprint = certificateFingerprint(one.certificate);
    EXPECT_EQ(fingerprint.size(), 32u * 3 - 1);
    for (size_t i = 0; i < fingerprint.size(); ++i)
        EXPECT_TRUE(i % 3 == 2 ? fingerprint[i] == ':' : std::isxdigit(static_cast<unsigned char>(fingerprint[i])) && !std::islower(fingerprint[i]))
            << fingerprint;
    EXPECT_NE(fingerprint, certificateFingerprint(two.certificate));
    EXPECT_THROW(certificateFingerprint(one.key), std::runtime_error);
}

}  // namespace
}  // namespace quorvane::http
