// Each way a client could tie the server up, replayed against a real server with short limits: every
// read is bounded while it happens, slow clients are cut off on time, caps hold, and none of it is
// logged as an error.
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "http/connection_slots.h"
#include "running_server.h"
#include "support/raw_http_client.h"

namespace quorvane::http {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;

Limits shortLimits() {
    Limits limits;
    limits.headerTimeout = 600ms;
    limits.bodyRateWindow = 400ms;
    limits.minBodyBytesPerSecond = 10 * 1024;
    limits.keepAliveIdle = 300ms;
    limits.writeStall = 400ms;
    limits.maxConnections = 8;
    limits.maxConnectionsPerAddress = 4;
    limits.workerThreads = 1;
    limits.maxQueuedRequests = 1;
    limits.maxInMemoryBody = 64 * 1024;
    return limits;
}

class ServerAttacks : public ::testing::Test {
protected:
    void TearDown() override {
        const auto errors = server.app.takeErrors();
        EXPECT_TRUE(errors.empty()) << "a client's misbehaviour is no error of ours: " << errors.front();
        server.app.release();
    }

    // The answer, and that the server closed the connection after it.
    void expectAnsweredAndClosed(RawClient& client, int status) {
        const auto reply = client.receive(3s);
        ASSERT_TRUE(reply) << "no answer, expected " << status;
        EXPECT_EQ(reply->status, status);
        EXPECT_EQ(reply->header("Connection"), "close");
        EXPECT_EQ(reply->header("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0") << "passed through finish";
        EXPECT_TRUE(client.closedWithin(3s));
    }

    static double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

    RunningServer server{shortLimits()};
};

TEST_F(ServerAttacks, AnEndlessRequestLineIsCutAfterItsLimit) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("GET /"));
    uint64_t sent = 0;
    client.sendFiller(64 * 1024 * 1024, &sent);
    EXPECT_LT(sent, 16u * 1024 * 1024) << "the server stopped reading soon after 8 KB";
    const auto reply = client.receive(3s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 414);
}

TEST_F(ServerAttacks, TenThousandHeaderLinesStopAtTheHundredAndFirst) {
    RawClient client(server.port);
    std::string request = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 10'000; ++i) request += "X-Line-" + std::to_string(i) + ": " + std::string(50, 'v') + "\r\n";
    client.send(request);  // may fail midway: the server closes after line 101
    expectAnsweredAndClosed(client, 431);

    RawClient longLine(server.port);
    longLine.send("GET / HTTP/1.1\r\nCookie: " + std::string(9000, 'c') + "\r\n\r\n");
    expectAnsweredAndClosed(longLine, 431);
}

TEST_F(ServerAttacks, ACompressedBodyIsRefusedUninflated) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Encoding: gzip\r\nContent-Length: 20\r\n\r\n"));
    expectAnsweredAndClosed(client, 415);
    RawClient identity(server.port);
    ASSERT_TRUE(identity.send(post("/echo", "plain", "text/plain", "Content-Encoding: identity\r\n")));
    EXPECT_EQ(identity.receive()->status, 200);
}

TEST_F(ServerAttacks, ChunkedBodiesAreRefusedAndWhatFollowsIsNeverARequest) {
    RawClient client(server.port);
    ASSERT_TRUE(
        client.send("POST /echo HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                    "5\r\nhello\r\n0\r\n\r\nGET /hold HTTP/1.1\r\nHost: x\r\n\r\n"));
    expectAnsweredAndClosed(client, 411);
    EXPECT_EQ(client.unparsed(), "") << "one answer only";
    EXPECT_EQ(server.app.holding(), 0u);
    RawClient both(server.port);  // the parser itself would refuse this pair; the answer is still 411
    ASSERT_TRUE(both.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"));
    expectAnsweredAndClosed(both, 411);
}

TEST_F(ServerAttacks, AHeaderLineNowAndThenIsCutOffAtTheHeaderTimeout) {
    RawClient client(server.port);
    const auto start = Clock::now();
    ASSERT_TRUE(client.send("GET / HTTP/1.1\r\n"));
    std::optional<HttpReply> reply;
    for (int i = 0; i < 20 && !reply; ++i) {
        client.send("X-Slow-" + std::to_string(i) + ": 1\r\n");
        reply = client.receive(150ms);
    }
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 408);
    EXPECT_GT(secondsSince(start), 0.5);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_TRUE(client.closedWithin(3s));
}

TEST_F(ServerAttacks, ATricklingBodyIsCutOff) {
    RawClient client(server.port);
    const auto start = Clock::now();
    ASSERT_TRUE(client.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 60000\r\n\r\n"));
    std::optional<HttpReply> reply;
    for (int i = 0; i < 40 && !reply; ++i) {  // 100 bytes every 50 ms: 2 KB/s, well under 10 KB/s
        client.send(std::string(100, 'b'));
        reply = client.receive(50ms);
    }
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 408);
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_TRUE(client.closedWithin(3s));

    RawClient silent(server.port);  // a body announced and never sent
    ASSERT_TRUE(silent.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 10\r\n\r\n"));
    expectAnsweredAndClosed(silent, 408);
}

TEST_F(ServerAttacks, ABodyAtTheMinimumRateGetsThrough) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 24000\r\n\r\n"));
    for (int i = 0; i < 6; ++i) {  // 4000 bytes every 200 ms: 20 KB/s
        ASSERT_TRUE(client.send(std::string(4000, 'b')));
        std::this_thread::sleep_for(200ms);
    }
    const auto reply = client.receive(2s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
}

TEST_F(ServerAttacks, IdleConnectionsClose) {
    RawClient kept(server.port);
    ASSERT_TRUE(kept.send(get("/")));
    ASSERT_TRUE(kept.receive());
    const auto start = Clock::now();
    EXPECT_TRUE(kept.closedWithin(3s)) << "idle after an answer";
    EXPECT_GT(secondsSince(start), 0.2);
    RawClient silent(server.port);
    EXPECT_TRUE(silent.closedWithin(3s)) << "idle from the start";
    EXPECT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; }));
}

TEST_F(ServerAttacks, AClientThatStopsReadingIsDropped) {
    const auto big = server.folder / "big.bin";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, 256 * 1024 * 1024), 0);
    ::close(fd);
    RawClient client(server.port);
    client.shrinkReceiveBuffer();
    ASSERT_TRUE(client.send(get("/file?name=big.bin")));
    ASSERT_TRUE(waitUntil([&] { return server.server.openConnections() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; }, 5s)) << "dropped once its writes stalled";
}

TEST_F(ServerAttacks, ConnectionsPerAddressAndInAllAreCapped) {
    std::vector<RawClient> clients;
    for (int i = 0; i < 4; ++i) clients.emplace_back(server.port, "127.0.0.1");
    ASSERT_TRUE(waitUntil([&] { return server.server.openConnections() == 4; }));
    RawClient fifth(server.port, "127.0.0.1");
    EXPECT_TRUE(fifth.closedWithin(1s)) << "a fifth from one address is closed at once";
    for (int i = 0; i < 4; ++i) clients.emplace_back(server.port, "127.0.0.2");
    ASSERT_TRUE(waitUntil([&] { return server.server.openConnections() == 8; }));
    RawClient ninth(server.port, "127.0.0.3");
    EXPECT_TRUE(ninth.closedWithin(1s)) << "beyond the total, closed at once";
    ASSERT_TRUE(clients[0].send(get("/")));
    EXPECT_EQ(clients[0].receive()->body, "ok") << "those within the caps are served";
    clients.clear();
    ASSERT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; }));
    RawClient again(server.port, "127.0.0.1");
    ASSERT_TRUE(again.send(get("/")));
    EXPECT_EQ(again.receive()->body, "ok") << "closed connections give their places back";
}

TEST(ConnectionSlots, AnUncappedAddressCountsOnlyTowardsTheTotal) {
    ConnectionSlots slots(6, 2, {"127.0.0.1"});
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(slots.tryAcquire("127.0.0.1")) << i;
    EXPECT_TRUE(slots.tryAcquire("127.0.0.2"));
    EXPECT_FALSE(slots.tryAcquire("127.0.0.1")) << "the total still counts";
    slots.release("127.0.0.1");
    slots.release("127.0.0.1");
    EXPECT_TRUE(slots.tryAcquire("127.0.0.2"));
    EXPECT_FALSE(slots.tryAcquire("127.0.0.2")) << "other addresses keep their cap";
}

TEST_F(ServerAttacks, AFullWorkerQueueAnswers503ButInlineRequestsGoOn) {
    RawClient running(server.port), queued(server.port), refused(server.port), quick(server.port);
    ASSERT_TRUE(running.send(get("/hold")));
    ASSERT_TRUE(waitUntil([&] { return server.app.holding() == 1; }));
    ASSERT_TRUE(queued.send(get("/hold")));
    std::this_thread::sleep_for(50ms);  // let it reach the queue
    ASSERT_TRUE(refused.send(get("/")));
    expectAnsweredAndClosed(refused, 503);
    // A request handled on the I/O thread needs no worker.
    ASSERT_TRUE(quick.send(get("/inline")));
    const auto reply = quick.receive(1s);
    ASSERT_TRUE(reply) << "not answered while the only worker is held and the queue is full";
    EXPECT_EQ(reply->body, "ok");
    EXPECT_EQ(reply->header("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0") << "passed through finish";
    server.app.release();
    EXPECT_EQ(running.receive()->body, "held");
    EXPECT_EQ(queued.receive()->body, "held");
}

// Each refusal on a connection of its own, closed before the next: a refused connection lingers on the
// server for a moment, and four open ones fill the address's cap, which closes the next at once.
TEST_F(ServerAttacks, OversizedBodiesAreRefusedFromTheirHeaders) {
    const auto nextClient = [this] {
        EXPECT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; })) << "an earlier connection is still open";
        return RawClient(server.port);
    };
    {
        RawClient huge = nextClient();
        ASSERT_TRUE(huge.send("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + formContentType() + "\r\nContent-Length: 104857601\r\n\r\n"));
        expectAnsweredAndClosed(huge, 413);
    }
    {
        RawClient refusedUpload = nextClient();  // sends its 100 MiB body anyway
        ASSERT_TRUE(refusedUpload.send("POST /refuse HTTP/1.1\r\nHost: x\r\nContent-Length: 104857600\r\n\r\n"));
        const auto refusal = refusedUpload.receive(3s);
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->status, 403);
        uint64_t sent = 0;
        EXPECT_FALSE(refusedUpload.sendFiller(100 * 1024 * 1024, &sent));
        EXPECT_LT(sent, 16u * 1024 * 1024) << "closed without reading the body";
    }
    {
        RawClient inMemory = nextClient();
        ASSERT_TRUE(inMemory.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 65537\r\n\r\n"));
        expectAnsweredAndClosed(inMemory, 413);
    }
    {
        RawClient unexpected = nextClient();
        ASSERT_TRUE(unexpected.send("GET /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 65537\r\n\r\n"));
        expectAnsweredAndClosed(unexpected, 413);
    }
    RawClient field = nextClient();
    ASSERT_TRUE(field.send(post("/upload", formBody({{"f", "", std::string(65 * 1024, 'v')}}), formContentType())));
    expectAnsweredAndClosed(field, 413);
}

TEST_F(ServerAttacks, ASmallUnexpectedBodyIsDropped) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("GET /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello" + get("/echo?next")));
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=\nbody=");
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=[next=]\nbody=") << "the body was not taken for a request";
}

}  // namespace
}  // namespace quorvane::http
