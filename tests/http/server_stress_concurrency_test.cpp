// Every request gets exactly one complete answer: thousands of short and keep-alive connections, with
// and without bodies, answered, refused and closed, from several threads at once. A client sends its
// bytes the moment it is connected or has read the previous answer, which is when the server is
// between waits and a readiness it does not watch for would leave the request unanswered.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "running_server.h"
#include "support/raw_http_client.h"

namespace quorvane::http {
namespace {

using namespace testing;

// One request and the answer it must get: its status and, when known, its body.
struct Exchange {
    std::string request;
    int status;
    std::string body;
    bool closes;  // the server closes the connection after this answer
};

Exchange exchangeNumber(int n, const std::string& tag) {
    switch (n % 6) {
        case 0: return {get("/inline"), 200, "ok", false};
        case 1: return {get("/echo?tag=" + tag), 200, "method=GET\npath=/echo\nquery=[tag=" + tag + "]\nbody=", false};
        case 2: return {post("/echo", tag), 200, "method=POST\npath=/echo\nquery=\nbody=" + tag, false};
        case 3: return {post("/refuse", std::string(3000, 'r')), 403, "", true};
        case 4: return {"POST /echo HTTP/1.1\r\nHost: test\r\nContent-Length: 104857601\r\n\r\n", 413, "", true};  // never sent
        default: return {post("/upload", formBody({{"f", tag + ".bin", tag}}), formContentType()), 200, "", false};
    }
}

class Tally {
public:
    void good() { ++_good; }
    void bad(const std::string& what) {
        std::lock_guard lock(_mutex);
        if (_failures.size() < 10) _failures.push_back(what);
        ++_bad;
    }
    int goodCount() const { return _good; }
    int badCount() const { return _bad; }
    std::string failures() const {
        std::lock_guard lock(_mutex);
        std::string text;
        for (const auto& failure : _failures) text += failure + "\n";
        return text;
    }

private:
    std::atomic<int> _good{0}, _bad{0};
    mutable std::mutex _mutex;
    std::vector<std::string> _failures;
};

// Checks one answer; true when it is the expected one.
bool checkAnswer(const std::optional<HttpReply>& reply, const Exchange& exchange, const std::string& where, Tally& tally) {
    if (!reply) {
        tally.bad(where + ": no answer");
        return false;
    }
    if (reply->status != exchange.status || (!exchange.body.empty() && reply->body != exchange.body)) {
        tally.bad(where + ": answered " + std::to_string(reply->status) + " " + reply->body.substr(0, 80));
        return false;
    }
    return true;
}

TEST(ServerStress, EveryRequestGetsExactlyOneCompleteAnswer) {
    Limits limits;
    limits.uncappedAddresses = {"127.0.0.1"};  // as the player has it: closing connections linger a moment
    RunningServer server(limits);
    constexpr int THREADS = 8, SHORT_CONNECTIONS = 250, KEEP_ALIVE_CONNECTIONS = 10, KEEP_ALIVE_REQUESTS = 30;
    Tally tally;
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            // One request per connection, closed by the client's Connection: close or by the refusal.
            for (int c = 0; c < SHORT_CONNECTIONS; ++c) {
                const std::string tag = "s" + std::to_string(t) + "-" + std::to_string(c);
                Exchange exchange = exchangeNumber(t + c, tag);
                exchange.request.insert(exchange.request.find("\r\n") + 2, "Connection: close\r\n");
                RawClient client(server.port);
                if (!client.connected()) {
                    tally.bad(tag + ": not connected");
                    continue;
                }
                client.send(exchange.request);  // a refused body may be cut off: the answer still comes
                if (!checkAnswer(client.receive(20s), exchange, tag, tally)) continue;
                if (!client.closedWithin(20s)) tally.bad(tag + ": not closed after Connection: close");
                else if (!client.unparsed().empty()) tally.bad(tag + ": more than one answer");
                else tally.good();
            }
            // Requests one after another on a connection, each sent as soon as the previous answer is in.
            for (int c = 0; c < KEEP_ALIVE_CONNECTIONS; ++c) {
                RawClient client(server.port);
                for (int r = 0; r < KEEP_ALIVE_REQUESTS; ++r) {
                    const std::string tag = "k" + std::to_string(t) + "-" + std::to_string(c) + "-" + std::to_string(r);
                    const bool last = r == KEEP_ALIVE_REQUESTS - 1;
                    Exchange exchange = last ? exchangeNumber(3, tag) : exchangeNumber(r % 3 == 2 ? 5 : r % 3, tag);
                    client.send(exchange.request);
                    if (!checkAnswer(client.receive(20s), exchange, tag, tally)) break;
                    if (!last) {
                        tally.good();
                        continue;
                    }
                    if (!client.closedWithin(20s)) tally.bad(tag + ": not closed after a refusal");
                    else if (!client.unparsed().empty()) tally.bad(tag + ": more than one answer");
                    else tally.good();
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(tally.badCount(), 0) << tally.failures();
    EXPECT_EQ(tally.goodCount(), THREADS * (SHORT_CONNECTIONS + KEEP_ALIVE_CONNECTIONS * KEEP_ALIVE_REQUESTS));
    EXPECT_TRUE(server.app.takeErrors().empty());
    EXPECT_TRUE(waitUntil([&] { return server.server.openConnections() == 0; }));
}

}  // namespace
}  // namespace quorvane::http
