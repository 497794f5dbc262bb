// The real executable in a temporary installation, attacked over a loopback port the way a student on
// the school network could: what each attack costs it is read from /proc/<pid>/status (VmHWM, the
// peak resident size), and bells must still ring on time. Sanitizer builds have memory figures of
// their own and skip these.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "model/json_text.h"
#include "support/child_process.h"
#include "support/emulator.h"
#include "support/process_memory.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"
#include "support/wave_bytes.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using http::testing::FORM_BOUNDARY;
using http::testing::formContentType;
using http::testing::get;
using http::testing::HttpReply;
using http::testing::post;
using http::testing::RawClient;

using testing::MiB;
using testing::SANITIZED;
constexpr size_t KiB_PER_MiB = 1024;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A multipart upload of a WAVE file: a header, then `dataBytes` of filler as its samples.
struct WaveUpload {
    std::string head, tail;
    uint64_t dataBytes;

    WaveUpload(uint64_t bytes, int sampleRate) : dataBytes(bytes) {
        head = std::string("--") + FORM_BOUNDARY + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"big.wav\"\r\n\r\n" +
               testing::waveHeader(static_cast<uint32_t>(bytes), sampleRate);
        tail = std::string("\r\n--") + FORM_BOUNDARY + "--\r\n";
    }
    std::string headers(const std::string& extra = "") const {
        return "POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + formContentType() +
               "\r\nContent-Length: " + std::to_string(head.size() + dataBytes + tail.size()) + "\r\n" + extra + "\r\n";
    }
    // The answer, or "" when the upload could not be sent whole.
    std::string send(int port) const {
        RawClient client(port);
        if (!client.send(headers() + head) || !client.sendFiller(dataBytes) || !client.send(tail)) return "";
        const auto reply = client.receive(60s);
        return reply ? std::to_string(reply->status) + " " + reply->body : "";
    }
};

class PlayerUnderAttack : public ::testing::Test {
protected:
    void SetUp() override {
        if (SANITIZED) GTEST_SKIP() << "memory is measured in plain builds only";
        // Players that only note what they were asked to play, and when.
        for (const char* name : {"mpg123", "aplay"}) {
            const auto script = stubs / name;
            testing::writeFile(script, std::string("#!/bin/sh\necho \"") + name + " $(date +%s.%N) $1\" >> '" + trace().string() + "'\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
        port = testing::freePort();
        const std::map<std::string, std::string> environment = {{"PATH", stubs.path().string() + ":" + std::getenv("PATH")},
                                                                // The remote service is a closed port: nothing leaves the machine.
                                                                {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}};
        std::vector<std::string> command{installation.executable().string(), "--port", std::to_string(port)};
        command.insert(command.end(), moreArguments.begin(), moreArguments.end());
        player = std::make_unique<testing::ChildProcess>(command, environment, installation.root());
        for (int attempt = 0; attempt < 200 && !serving(); ++attempt) std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(serving()) << player->standardError();
        idleKiB = statusKiB("VmRSS");
    }

    bool serving() const { return request(get("/api/get/status"), 2s).status == 200; }

    std::filesystem::path trace() const { return stubs / "trace"; }

    size_t statusKiB(const std::string& field) const {
        const size_t kiB = testing::statusKiB(player->pid(), field);
        EXPECT_GT(kiB, 0u) << "no " << field << " in the player's status";
        return kiB;
    }
    // Under emulation the process also holds qemu's translator and its code cache (some 30 MiB), which
    // are no part of the player; there the ceilings hold for what an attack adds to the idle process.
    size_t peakKiB() const {
        const size_t peak = statusKiB("VmHWM");
        return testing::runsUnderEmulator() ? peak - std::min(peak, idleKiB) : peak;
    }
    // The peak starts again from the present size (so that one attack is measured alone).
    void resetPeak() const {
        std::ofstream clear("/proc/" + std::to_string(player->pid()) + "/clear_refs");
        clear << "5";
        clear.close();
        ASSERT_TRUE(clear) << "cannot reset the player's peak memory";
    }
    void report(const std::string& what, size_t peak) {
        const size_t peakMiB = peak / KiB_PER_MiB, idleMiB = idleKiB / KiB_PER_MiB;
        if (testing::runsUnderEmulator())
            std::cout << "[ memory   ] " << what << ": " << peakMiB << " MiB above the idle " << idleMiB << " MiB (under emulation)\n";
        else std::cout << "[ memory   ] " << what << ": peak " << peakMiB << " MiB (idle " << idleMiB << " MiB)\n";
        RecordProperty(what, std::to_string(peak) + " KiB");
    }
    // One request on a connection of its own, as the school's browser sends it.
    virtual HttpReply request(const std::string& bytes, std::chrono::milliseconds timeout = 5s) const {
        RawClient client(port);
        if (!client.connected() || !client.send(bytes)) return {};
        return client.receive(timeout).value_or(HttpReply{});
    }

    // A timetable with one bell, due a few seconds from now, chosen for today: its due time, or none
    // when the day would end before it.
    std::optional<std::time_t> bellDueIn(std::chrono::seconds delay) {
        const std::time_t due = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + delay);
        std::tm local{};
        localtime_r(&due, &local);
        if (local.tm_hour == 23 && local.tm_min == 59) return std::nullopt;
        char slot[16];
        std::strftime(slot, sizeof slot, "%H:%M:%S", &local);
        const Json timetable = {{"name", "Attack day"},
                                {"chA", {{"lessons", Json::array()}}},
                                {"chB", {{"lessons", Json::array()}}},
                                {"customPlays", {{{"desc", {{"id", "ID_ping"}, {"doRepeat", false}}}, {"slots", {slot}}}}}};
        const HttpReply created = request(post("/db/timetables/create", toJsonText(timetable), "application/json"));
        EXPECT_EQ(created.status, 200) << created.body;
        const Json choice = {{"dailyPreferences.selectedTimetableId", Json::parse(created.body)}};
        EXPECT_EQ(request(post("/db/settings/update", toJsonText(choice), "application/json")).body, "true");
        return due;
    }

    // The bell due at `due` rang within its second.
    void expectRangOnTime(std::time_t due) {
        const std::string plays = std::filesystem::exists(trace()) ? testing::readFile(trace()) : "";
        ASSERT_EQ(plays.rfind("mpg123 ", 0), 0u) << "the bell did not ring: " << plays;
        const double late = std::stod(plays.substr(7)) - static_cast<double>(due);
        std::cout << "[ time     ] the bell rang " << late * 1000 << " ms after its second began\n";
        EXPECT_GE(late, 0.0);
        EXPECT_LT(late, 1.0);
    }

    // The school's browser asks for the status every half second, the crowd doing `meanwhile(round)`
    // before each, until the bell's second is over; the crowd must still be there then. Returns the
    // slowest answer's time.
    double browserBesideTheCrowd(std::vector<RawClient>& crowd, std::chrono::system_clock::time_point dueAt,
                                 const std::function<void(size_t round)>& meanwhile, const std::string& crowdName) {
        double slowest = 0;
        int answered = 0;
        for (size_t round = 0; std::chrono::system_clock::now() < dueAt + 1200ms; ++round) {
            meanwhile(round);
            const auto start = Clock::now();
            const HttpReply status = request(get("/api/get/status"));
            slowest = std::max(slowest, secondsSince(start));
            EXPECT_EQ(status.status, 200);
            ++answered;
            std::this_thread::sleep_for(500ms);
        }
        size_t open = 0;
        for (auto& client : crowd) open += client.closedWithin(0ms) ? 0 : 1;
        EXPECT_EQ(open, crowd.size()) << "the crowd was still there when the bell was due";
        std::cout << "[ time     ] " << answered << " answers beside " << crowdName << ", the slowest in " << slowest * 1000 << " ms\n";
        return slowest;
    }

    std::vector<std::string> moreArguments;  // for the player's command line, set before SetUp

    testing::InstalledPlayer installation;
    testing::TempDir stubs;
    int port = 0;
    std::unique_ptr<testing::ChildProcess> player;
    size_t idleKiB = 0;
};

TEST_F(PlayerUnderAttack, AnEndlessRequestLineIsCutAfter8KB) {
    RawClient endless(port);
    ASSERT_TRUE(endless.send("GET /"));
    uint64_t sent = 0;
    EXPECT_FALSE(endless.sendFiller(512 * MiB, &sent)) << "the player stopped taking the line";
    EXPECT_LT(sent, 16 * MiB) << "what the sockets' buffers hold, and what the player read and dropped after its answer";
    EXPECT_TRUE(endless.closedWithin(5s));
    const size_t peak = peakKiB();
    report("an endless request line", peak);
    EXPECT_LT(peak, 64 * 1024u);
    EXPECT_TRUE(serving());
}

TEST_F(PlayerUnderAttack, TenThousandHeaderLines) {
    RawClient headers(port);
    std::string lines = "GET /api/get/status HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 10'000; ++i) lines += "X-Line-" + std::to_string(i) + ": " + std::string(1000, 'v') + "\r\n";
    headers.send(lines + "\r\n");
    EXPECT_EQ(headers.receive(5s).value_or(HttpReply{}).status, 431);
    EXPECT_TRUE(headers.closedWithin(5s));
    const size_t peak = peakKiB();
    report("10,000 header lines", peak);
    EXPECT_LT(peak, 64 * 1024u);
}

TEST_F(PlayerUnderAttack, AGzipBombIsNeverInflated) {
    // 100 MiB of zeros in about 100 KB.
    std::string bomb;
    FILE* gzip = popen("head -c 104857600 /dev/zero | gzip -9c", "r");
    ASSERT_NE(gzip, nullptr);
    char buffer[65536];
    while (const size_t count = std::fread(buffer, 1, sizeof buffer, gzip)) bomb.append(buffer, count);
    ASSERT_EQ(pclose(gzip), 0);
    ASSERT_LT(bomb.size(), 200'000u);
    const HttpReply refused = request(post("/db/settings/update", bomb, "application/json", "Content-Encoding: gzip\r\n"));
    EXPECT_EQ(refused.status, 415);
    EXPECT_EQ(refused.header("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0");
    const size_t peak = peakKiB();
    report("a gzip bomb of 100 MiB", peak);
    EXPECT_LT(peak, 64 * 1024u);
}

// Students' machines holding connections open with a header line now and then: the school's own
// browser still gets its answers, and the bells ring on time.
TEST_F(PlayerUnderAttack, FiveHundredSlowConnectionsLeaveTheInterfaceAndTheBellsAlone) {
    const auto due = bellDueIn(6s);
    if (!due) GTEST_SKIP() << "the choice of the day ends at midnight";
    const auto dueAt = std::chrono::system_clock::from_time_t(*due);

    std::vector<RawClient> crowd;
    for (int address = 2; crowd.size() < 500; ++address)
        for (int i = 0; i < 25; ++i) crowd.emplace_back(port, "127.0.0." + std::to_string(address));
    for (auto& client : crowd) ASSERT_TRUE(client.connected());
    for (auto& client : crowd) client.send("GET /api/get/status HTTP/1.1\r\nHost: x\r\n");

    const auto slowLines = [&crowd](size_t line) {
        for (auto& client : crowd) client.send("X-Slow-" + std::to_string(line) + ": 1\r\n");
    };
    EXPECT_LT(browserBesideTheCrowd(crowd, dueAt, slowLines, "500 slow connections"), 1.0);
    expectRangOnTime(*due);
    const size_t peak = peakKiB();
    report("500 slow connections", peak);
    EXPECT_LT(peak, 64 * 1024u);
}

TEST_F(PlayerUnderAttack, SixteenUploadsOf99MiBAtOnce) {
    constexpr int UPLOADS = 16;
    std::vector<std::string> answers(UPLOADS);
    std::vector<std::thread> clients;
    const auto start = Clock::now();
    // Each another sample rate: other bytes, another digest.
    for (int i = 0; i < UPLOADS; ++i) clients.emplace_back([&, i] { answers[i] = WaveUpload(99 * MiB, 8000 + i).send(port); });
    for (auto& client : clients) client.join();
    const double seconds = secondsSince(start);
    std::set<std::string> keys;
    for (int i = 0; i < UPLOADS; ++i) {
        ASSERT_EQ(answers[i].rfind("200 \"", 0), 0u) << i << ": " << answers[i];
        keys.insert(answers[i]);
    }
    EXPECT_EQ(keys.size(), size_t{UPLOADS});
    const size_t peak = peakKiB();
    report("16 uploads of 99 MiB at once", peak);
    std::cout << "[ time     ] 16 uploads of 99 MiB in " << seconds << " s\n";
    EXPECT_LT(peak, 100 * 1024u);
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(installation.userData())) {
        EXPECT_NE(entry.path().filename().string().rfind(".upload-", 0), 0u) << entry.path();
        kept += entry.path().extension() == ".wav" && entry.file_size() > 99 * MiB ? 1 : 0;
    }
    EXPECT_EQ(kept, size_t{UPLOADS});
}

TEST_F(PlayerUnderAttack, ARangeOfA99MiBSignalFile) {
    const std::string uploaded = WaveUpload(99 * MiB, 8000).send(port);
    ASSERT_EQ(uploaded.rfind("200 \"", 0), 0u) << uploaded;
    const std::string key = Json::parse(uploaded.substr(4));
    resetPeak();
    const HttpReply part = request(get("/get_signal_file/" + key, "Range: bytes=50000000-50000001\r\n"));
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, "xx");
    EXPECT_EQ(part.header("Content-Type"), "audio/wav");
    // The whole file too, read by a client as it comes.
    RawClient whole(port);
    whole.send(get("/get_signal_file/" + key, "Connection: close\r\n"));
    const auto reply = whole.receive(60s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body.size(), 44 + 99 * MiB);
    const size_t peak = peakKiB();
    report("a range and the whole of a 99 MiB signal file", peak);
    EXPECT_LT(peak, 32 * 1024u);
}

TEST_F(PlayerUnderAttack, AnUploadWithoutLoginIsClosedUnread) {
    ASSERT_EQ(request(post("/auth/chpasswd", "\"secret\"", "application/json")).body, "ok");
    const WaveUpload upload(100 * MiB - 200, 8000);
    RawClient client(port);
    const auto start = Clock::now();
    ASSERT_TRUE(client.send(upload.headers() + upload.head));
    uint64_t sent = 0;
    EXPECT_FALSE(client.sendFiller(upload.dataBytes, &sent)) << "the player closed the connection";
    const auto refused = client.receive(5s);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    EXPECT_EQ(refused->body, "No auth");
    EXPECT_EQ(refused->header("Connection"), "close");
    std::cout << "[ bytes    ] " << sent / 1024 << " KiB of 100 MiB sent before the player closed, in " << secondsSince(start) << " s\n";
    EXPECT_LT(sent, 16 * MiB);
    size_t userFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(installation.userData())) userFiles += entry.path().extension() == ".wav";
    EXPECT_EQ(userFiles, 0u);
}

// The same player serving HTTPS: the school's browser speaks TLS, and students' machines open
// handshakes they never finish.
class PlayerUnderTlsAttack : public PlayerUnderAttack {
protected:
    PlayerUnderTlsAttack() : pair(testing::writeSelfSignedPair(installation.root())) {
        moreArguments = {"--tls-port", std::to_string(tlsPort), "--tls-cert", pair.certificate.string(), "--tls-key", pair.key.string()};
    }
    HttpReply request(const std::string& bytes, std::chrono::milliseconds timeout = 5s) const override {
        testing::TlsClient client(tlsPort);
        if (!client.established() || !client.send(bytes)) return {};
        return client.receive(timeout).value_or(HttpReply{});
    }

    int tlsPort = testing::freePort();
    testing::TlsFiles pair;
};

TEST_F(PlayerUnderTlsAttack, FiveHundredUnfinishedHandshakesLeaveTheInterfaceAndTheBellsAlone) {
    const auto due = bellDueIn(6s);
    if (!due) GTEST_SKIP() << "the choice of the day ends at midnight";
    const auto dueAt = std::chrono::system_clock::from_time_t(*due);

    // Silent after connecting, a ClientHello cut short, or one sent a byte at a time: each holds a
    // handshake open.
    const std::string hello("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    std::vector<RawClient> crowd;
    for (int address = 2; crowd.size() < 500; ++address)
        for (int i = 0; i < 25; ++i) crowd.emplace_back(tlsPort, "127.0.0." + std::to_string(address));
    const auto crowdSince = Clock::now();
    for (size_t i = 0; i < crowd.size(); ++i) {
        ASSERT_TRUE(crowd[i].connected());
        if (i % 3 == 1) crowd[i].send(hello);
    }

    const auto helloByteByByte = [&crowd, &hello](size_t byte) {
        for (size_t i = 2; i < crowd.size() && byte < hello.size(); i += 3) crowd[i].send(hello.substr(byte, 1));
    };
    EXPECT_LT(browserBesideTheCrowd(crowd, dueAt, helloByteByByte, "500 unfinished handshakes (over HTTPS)"), 1.0);
    expectRangOnTime(*due);
    const HttpReply health = http::testing::roundTrip(port, get("/healthz"));
    EXPECT_TRUE(health.status == 200 || health.status == 503) << "monitoring still reads plain HTTP: " << health.status;

    // Dropped within the handshake's 10 s, counted from its connection.
    for (auto& client : crowd) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(crowdSince + 12s - Clock::now());
        EXPECT_TRUE(client.closedWithin(std::max(left, 0ms)));
    }
    std::cout << "[ time     ] the last of them was dropped " << secondsSince(crowdSince) << " s after they connected\n";
    EXPECT_TRUE(serving());
    const size_t peak = peakKiB();
    report("500 unfinished handshakes", peak);
    EXPECT_LT(peak, 64 * 1024u);
}

// Real handshakes, all at once: each costs the player a key exchange and the stream's buffers.
TEST_F(PlayerUnderTlsAttack, FiveHundredHandshakesAtOnce) {
    const auto due = bellDueIn(5s);
    if (!due) GTEST_SKIP() << "the choice of the day ends at midnight";
    constexpr int CLIENTS = 500, THREADS = 10;
    std::vector<std::unique_ptr<testing::TlsClient>> clients(CLIENTS);
    std::atomic<int> established{0}, running{THREADS};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < CLIENTS; i += THREADS) {
                clients[i] = std::make_unique<testing::TlsClient>(tlsPort);
                established += clients[i]->established() ? 1 : 0;
            }
            --running;
        });
    double handshakes = 0, slowest = 0;
    while (running > 0 || std::chrono::system_clock::now() < std::chrono::system_clock::from_time_t(*due) + 1200ms) {
        if (running == 0 && handshakes == 0) handshakes = secondsSince(start);
        const auto asked = Clock::now();
        EXPECT_EQ(request(get("/api/get/status")).status, 200);
        slowest = std::max(slowest, secondsSince(asked));
        std::this_thread::sleep_for(200ms);
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(established, CLIENTS);
    std::cout << "[ time     ] " << CLIENTS << " handshakes from " << THREADS << " threads in " << handshakes
              << " s; the browser's slowest answer meanwhile " << slowest * 1000 << " ms\n";
    EXPECT_LT(slowest, 1.0);
    expectRangOnTime(*due);
    const size_t peak = peakKiB();
    report("500 TLS connections", peak);
    EXPECT_LT(peak, 96 * 1024u);
}

}  // namespace
}  // namespace quorvane
