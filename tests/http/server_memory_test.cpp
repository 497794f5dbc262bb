// What attacks cost the server in memory, measured as the peak resident size (VmHWM) of a server in a
// process of its own with the product's limits. Sanitizer builds have memory figures of their own and
// skip these.
#include <chrono>
#include <iostream>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/process_memory.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"
#include "test_application.h"

namespace quorvane::http {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;

using quorvane::testing::MiB;
using quorvane::testing::SANITIZED;

class ServerMemory : public ::testing::Test {
protected:
    void SetUp() override {
        if (SANITIZED) GTEST_SKIP() << "memory is measured in plain builds only";
        for (int i = 0; i < 500 && port == 0; ++i) {
            const std::string out = server.standardOutput();
            if (out.rfind("listening ", 0) == 0 && out.find('\n') != std::string::npos) port = std::stoi(out.substr(10));
            else std::this_thread::sleep_for(10ms);
        }
        ASSERT_NE(port, 0) << server.standardError();
        baselineKiB = peakKiB();
    }

    // The server's peak resident size so far, in KiB.
    size_t peakKiB() {
        const HttpReply reply = roundTrip(port, get("/memory"));
        EXPECT_EQ(reply.status, 200);
        return reply.status == 200 ? std::stoul(reply.body) : 0;
    }

    void report(const std::string& what, size_t peak) {
        std::cout << "[ memory   ] " << what << ": peak " << peak / 1024 << " MiB (at start " << baselineKiB / 1024 << " MiB)\n";
        RecordProperty(what, std::to_string(peak) + " KiB");
    }

    quorvane::testing::TempDir folder;
    quorvane::testing::ChildProcess server{{HTTP_TEST_SERVER, folder.path().string()}};
    int port = 0;
    size_t baselineKiB = 0;
};

TEST_F(ServerMemory, SixteenUploadsOf99MiBAtOnce) {
    constexpr uint64_t FILE_BYTES = 99 * MiB;
    constexpr int UPLOADS = 16;
    const std::string head = std::string("--") + FORM_BOUNDARY + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"big.mp3\"\r\n\r\n";
    const std::string tail = std::string("\r\n--") + FORM_BOUNDARY + "--\r\n";
    std::vector<std::string> answers(UPLOADS);
    std::vector<std::thread> clients;
    const auto start = Clock::now();
    for (int i = 0; i < UPLOADS; ++i) {
        clients.emplace_back([&, i] {
            RawClient client(port);
            const uint64_t length = head.size() + FILE_BYTES + tail.size();
            client.send("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + formContentType() + "\r\nContent-Length: " + std::to_string(length) +
                        "\r\n\r\n" + head);
            if (client.sendFiller(FILE_BYTES) && client.send(tail))
                if (auto reply = client.receive(60s)) answers[i] = std::to_string(reply->status) + " " + reply->body;
        });
    }
    for (auto& client : clients) client.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string expected = "200 file|big.mp3|size=" + std::to_string(FILE_BYTES) + "|observed=" + std::to_string(FILE_BYTES);
    for (int i = 0; i < UPLOADS; ++i) EXPECT_EQ(answers[i].substr(0, expected.size()), expected) << i;
    const size_t peak = peakKiB();
    report("16 uploads of 99 MiB", peak);
    std::cout << "[ time     ] 16 uploads of 99 MiB in " << seconds << " s\n";
    EXPECT_LT(peak, 100 * 1024u);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "the spooled files went with their requests";
}

TEST_F(ServerMemory, TwoBytesOfA99MiBFile) {
    const int fd = ::open((folder / "big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::pwrite(fd, "AB", 2, 50'000'000), 2);
    ASSERT_EQ(::ftruncate(fd, 99 * MiB), 0);
    ::close(fd);
    const HttpReply part = roundTrip(port, get("/file?name=big.bin", "Range: bytes=50000000-50000001\r\n"));
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, "AB");
    EXPECT_EQ(part.header("Content-Range"), "bytes 50000000-50000001/" + std::to_string(99 * MiB));
    const size_t peak = peakKiB();
    report("a range of 2 bytes from a 99 MiB file", peak);
    EXPECT_LT(peak, 32 * 1024u);
}

TEST_F(ServerMemory, FiveHundredTricklingConnectionsLeaveRoomForOthers) {
    std::vector<RawClient> crowd;
    for (int address = 2; crowd.size() < 500; ++address)
        for (int i = 0; i < 20; ++i) crowd.emplace_back(port, "127.0.0." + std::to_string(address));
    for (auto& client : crowd) ASSERT_TRUE(client.connected());
    for (auto& client : crowd) client.send("GET /echo HTTP/1.1\r\nHost: x\r\n");
    for (auto& client : crowd) client.send("X-Slow: 1\r\n");

    const auto start = Clock::now();
    const HttpReply answer = roundTrip(port, get("/"));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(answer.body, "ok");
    EXPECT_LT(seconds, 1.0);
    std::cout << "[ time     ] an answer beside 500 trickling connections in " << seconds * 1000 << " ms\n";

    for (auto& client : crowd) client.send("X-Slower: 2\r\n");
    size_t open = 0;
    for (auto& client : crowd) open += client.closedWithin(0ms) ? 0 : 1;
    EXPECT_EQ(open, 500u) << "all of them are still waited for";
    const size_t peak = peakKiB();
    report("500 trickling connections", peak);
    EXPECT_LT(peak, 48 * 1024u);
}

TEST_F(ServerMemory, RefusedFloodsCostNothing) {
    RawClient endless(port);
    endless.send("GET /");
    uint64_t sent = 0;
    endless.sendFiller(512 * MiB, &sent);
    EXPECT_LT(sent, 16 * MiB);
    EXPECT_EQ(endless.receive(3s).value_or(HttpReply{}).status, 414);

    RawClient headers(port);
    std::string request = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 10'000; ++i) request += "X-Line-" + std::to_string(i) + ": " + std::string(8000, 'v') + "\r\n";
    headers.send(request);
    EXPECT_EQ(headers.receive(3s).value_or(HttpReply{}).status, 431);

    RawClient gzip(port);
    gzip.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Encoding: gzip\r\nContent-Length: 1000000\r\n\r\n");
    EXPECT_EQ(gzip.receive(3s).value_or(HttpReply{}).status, 415);
    EXPECT_FALSE(gzip.sendFiller(100 * MiB));

    RawClient upload(port);
    upload.send("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + formContentType() + "\r\nContent-Length: 104857601\r\n\r\n");
    EXPECT_EQ(upload.receive(3s).value_or(HttpReply{}).status, 413);
    EXPECT_FALSE(upload.sendFiller(100 * MiB));

    const size_t peak = peakKiB();
    report("endless request line, 10,000 header lines of 8 KB, refused gzip and 100 MiB bodies", peak);
    EXPECT_LT(peak, 32 * 1024u);
}

}  // namespace
}  // namespace quorvane::http
