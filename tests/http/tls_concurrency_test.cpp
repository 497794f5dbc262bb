// HTTPS under many clients at once: handshakes, requests inside TLS, handshakes that time out while
// their bytes arrive, and a stop while handshakes are midway.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "running_server.h"
#include "support/raw_http_client.h"
#include "support/tls_test_pair.h"

namespace quorvane::http {
namespace {

using namespace testing;
using quorvane::testing::TlsClient;

// The start of a ClientHello: its record header and the first bytes of the message.
const std::string HELLO_START("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);

TEST(TlsConcurrency, RequestsAndTimingOutHandshakesAtOnce) {
    Limits limits;
    limits.headerTimeout = 150ms;
    limits.keepAliveIdle = 2s;
    RunningServer server(limits, RunningServer::Tls::alsoOn);
    constexpr int CLIENTS = 6, ROUNDS = 10, STALLERS = 6;
    std::atomic<int> answered{0}, cutOff{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < CLIENTS; ++c)
        threads.emplace_back([&, c] {
            TlsClient client(server.tlsPort);
            for (int r = 0; r < ROUNDS && client.established(); ++r) {
                const std::string tag = std::to_string(c) + "-" + std::to_string(r);
                if (!client.send(post("/echo", tag))) return;
                const auto reply = client.receive(10s);
                answered += reply && reply->body == "method=POST\npath=/echo\nquery=\nbody=" + tag ? 1 : 0;
            }
        });
    for (int s = 0; s < STALLERS; ++s)
        threads.emplace_back([&, s] {
            // A byte now and then, until the server has had enough of the handshake.
            RawClient client(server.tlsPort);
            for (size_t i = 0; i < 200 && !client.closedWithin(std::chrono::milliseconds(1 + (s + i) % 5)); ++i)
                client.send(HELLO_START.substr(i % HELLO_START.size(), 1));
            if (client.closedWithin(2s)) ++cutOff;
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(answered, CLIENTS * ROUNDS);
    EXPECT_EQ(cutOff, STALLERS);
    EXPECT_TRUE(server.app.takeErrors().empty());
}

TEST(TlsConcurrency, StopEndsHandshakesMidway) {
    auto server = std::make_unique<RunningServer>(Limits{}, RunningServer::Tls::alsoOn);
    std::vector<RawClient> silent, halfway;
    for (int i = 0; i < 4; ++i) {
        silent.emplace_back(server->tlsPort);
        halfway.emplace_back(server->tlsPort);
        halfway.back().send(HELLO_START);
    }
    auto established = std::make_unique<TlsClient>(server->tlsPort);
    ASSERT_TRUE(established->established());
    ASSERT_TRUE(waitUntil([&] { return server->server.openConnections() == 9; }));
    std::thread stopper([&] { server.reset(); });
    stopper.join();
    for (auto& client : silent) EXPECT_TRUE(client.closedWithin(2s));
    for (auto& client : halfway) EXPECT_TRUE(client.closedWithin(2s));
    EXPECT_TRUE(established->closedWithin(2s));
}

}  // namespace
}  // namespace quorvane::http
