// The transport under many clients at once, and stopped while it is busy.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "running_server.h"
#include "support/raw_http_client.h"

namespace quorvane::http {
namespace {

using namespace testing;

TEST(ServerConcurrency, ManyClientsGetTheirOwnAnswers) {
    RunningServer server;
    constexpr int CLIENTS = 8, ROUNDS = 40;
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < CLIENTS; ++c) {
        clients.emplace_back([&, c] {
            RawClient client(server.port);
            for (int r = 0; r < ROUNDS; ++r) {
                const std::string tag = std::to_string(c) + "-" + std::to_string(r);
                std::string request;
                if (r % 4 == 0) request = post("/upload", formBody({{"f", tag + ".bin", std::string(5000, 'x') + tag}}), formContentType());
                else request = get("/echo?tag=" + tag) + post("/echo", tag);  // two pipelined
                if (!client.send(request)) return;
                const auto first = client.receive(10s);
                if (!first) return;
                if (r % 4 == 0) {
                    good += first->body.find("f|" + tag + ".bin|size=" + std::to_string(5000 + tag.size())) == 0 ? 1 : 0;
                    continue;
                }
                const auto second = client.receive(10s);
                if (!second) return;
                good += first->body == "method=GET\npath=/echo\nquery=[tag=" + tag + "]\nbody=" &&
                        second->body == "method=POST\npath=/echo\nquery=\nbody=" + tag;
            }
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(good, CLIENTS * ROUNDS);
    EXPECT_TRUE(server.app.takeErrors().empty());
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::is_empty(server.folder.path()); }));
}

TEST(ServerConcurrency, TimeoutsRaceWithArrivingBytes) {
    Limits limits;
    limits.headerTimeout = 100ms;
    limits.bodyRateWindow = 60ms;
    limits.keepAliveIdle = 80ms;
    RunningServer server(limits);
    std::atomic<int> cutOff{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 12; ++c) {
        clients.emplace_back([&, c] {
            RawClient client(server.port);
            const std::string start = c % 2 ? "GET / HTTP/1.1\r\n" : "POST /echo HTTP/1.1\r\nContent-Length: 100000\r\n\r\n";
            client.send(start);
            std::optional<HttpReply> reply;
            for (int i = 0; i < 100 && !reply; ++i) {  // a byte now and then, until the server has had enough
                if (!client.send(c % 2 ? "X" : "b")) break;
                reply = client.receive(std::chrono::milliseconds(1 + (c + i) % 4));
            }
            if (reply && reply->status == 408 && client.closedWithin(2s)) ++cutOff;
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(cutOff, 12);
    EXPECT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; }));
}

TEST(ServerConcurrency, StopEndsEverythingWhileClientsAreMidway) {
    auto server = std::make_unique<RunningServer>();
    std::vector<RawClient> clients;
    for (int i = 0; i < 6; ++i) clients.emplace_back(server->port);
    clients[0].send("GET /echo HTTP/1.1\r\nHost:");                                             // half a header block
    clients[1].send(post("/upload", "", formContentType()).substr(0, 60));                      // half an upload header
    clients[2].send("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + formContentType() +  // half an upload body
                    "\r\nContent-Length: 100000\r\n\r\n" + formBody({{"f", "a.bin", std::string(50000, 'a')}}).substr(0, 20000));
    clients[3].send(get("/hold"));  // a handler that waits
    clients[4].send(get("/"));      // answered, kept alive
    ASSERT_TRUE(clients[4].receive());
    ASSERT_TRUE(waitUntil([&] { return server->app.holding() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !std::filesystem::is_empty(server->folder.path()); }));

    std::thread stopper([&] { server->server.stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server->app.release();  // run() returns once the running handler has
    stopper.join();
    server->thread.join();
    server->thread = std::thread([] {});
    EXPECT_FALSE(server->server.isRunning());
    EXPECT_EQ(server->server.openConnections(), 0u);
    for (size_t i = 0; i < clients.size(); ++i) EXPECT_TRUE(clients[i].closedWithin(2s)) << i;
    EXPECT_TRUE(std::filesystem::is_empty(server->folder.path())) << "the half upload's file is gone";
}

TEST(ServerConcurrency, StopBeforeRunAndFromManyThreads) {
    quorvane::testing::TempDir folder;
    TestApplication app(folder.path());
    {
        Server server(app);
        server.bind("127.0.0.1", 0);
        server.stop();
        server.run();  // returns at once
        EXPECT_FALSE(server.isRunning());
    }
    Server server(app);
    server.bind("127.0.0.1", 0);
    std::thread runner([&] { server.run(); });
    ASSERT_TRUE(waitUntil([&] { return server.isRunning(); }));
    std::vector<std::thread> stoppers;
    for (int i = 0; i < 4; ++i) stoppers.emplace_back([&] { server.stop(); });
    for (auto& stopper : stoppers) stopper.join();
    runner.join();
    EXPECT_FALSE(server.isRunning());
}

}  // namespace
}  // namespace quorvane::http
