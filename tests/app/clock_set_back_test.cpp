// The real executable under libfaketime: the test sets its wall clock back while it runs, as time
// synchronisation does to a clock that ran fast. The steady clock stays real.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "model/json_text.h"
#include "support/child_process.h"
#include "support/player_service.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Debian's place of the library for the architecture the player is built for (multiarch, so that a
// cross build finds the target's own beside the build machine's).
std::optional<std::filesystem::path> fakeTimeLibrary() {
    const std::filesystem::path path = std::filesystem::path("/usr/lib") / QUORVANE_LIBRARY_ARCHITECTURE / "faketime/libfaketime.so.1";
    if (std::filesystem::exists(path)) return path;
    return std::nullopt;
}

// Seconds since the epoch of a UTC time.
int64_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<int64_t>(timegm(&tm));
}

class ClockSetBack : public ::testing::Test {
protected:
    void SetUp() override {
        const auto library = fakeTimeLibrary();
        if (!library) GTEST_SKIP() << "libfaketime is not installed (Debian package faketime)";
        for (const char* name : {"mpg123", "aplay"}) {
            const auto stub = stubs / name;
            testing::writeFile(stub, std::string("#!/bin/sh\necho \"") + name + " $1\" >> '" + trace().string() + "'\n");
            std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
        }
        // Monday 2026-09-07, 07:59:56 UTC: the factory timetable's melody rings at 08:00:00.
        setWallClockTo(utc(2026, 9, 7, 7, 59, 56));
        port = testing::freePort();
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::map<std::string, std::string> environment = {
            {"PATH", stubs.path().string() + ":" + std::getenv("PATH")},
            {"TZ", "UTC"},
            {"LD_PRELOAD", library->string()},
            {"FAKETIME_TIMESTAMP_FILE", offsetFile().string()},
            {"FAKETIME_NO_CACHE", "1"},
            {"FAKETIME_DONT_FAKE_MONOTONIC", "1"},
            // The sanitizer's runtime would otherwise insist on coming before the preloaded library.
            {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"},
            {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}};
        player = std::make_unique<testing::ChildProcess>(std::vector<std::string>{installation.executable().string(), "--port", std::to_string(port)},
                                                         environment, installation.root());
        ASSERT_TRUE(testing::waitUntilServing(port)) << player->standardError();
    }

    // From now on the player's wall clock reads `moment` (seconds since the epoch) and runs on from there.
    void setWallClockTo(int64_t moment) {
        const int64_t offset = moment - static_cast<int64_t>(std::time(nullptr));
        // Replaced whole, by a rename: the player reads the file at every look at the clock.
        const auto next = offsetFile().string() + ".next";
        testing::writeFile(next, (offset >= 0 ? "+" : "") + std::to_string(offset) + "\n");
        std::filesystem::rename(next, offsetFile());
    }

    std::string statusTime() {
        const auto reply = testing::playerClient(port).Get("/api/get/status");
        if (!reply || reply->status != 200) return "";
        return parseJson(reply->body)["time"].get<std::string>();
    }
    int healthz() {
        const auto reply = testing::playerClient(port).Get("/healthz");
        return reply ? reply->status : 0;
    }
    // Polls the player's clock until it reads at least `time`; false after the limit.
    bool waitForTime(const std::string& time, std::chrono::milliseconds limit) {
        for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(50ms))
            if (statusTime() >= time) return true;
        return false;
    }
    std::string traceText() const { return std::filesystem::exists(trace()) ? testing::readFile(trace()) : ""; }
    static size_t lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

    std::filesystem::path trace() const { return stubs / "trace"; }
    std::filesystem::path offsetFile() const { return clockDir / "faketime"; }

    testing::TempDir clockDir;
    testing::TempDir stubs;
    testing::InstalledPlayer installation;
    int port = 0;
    std::unique_ptr<testing::ChildProcess> player;
};

TEST_F(ClockSetBack, By33SecondsThePassesGoOnAndTheBellRingsOnce) {
    ASSERT_TRUE(waitForTime("08:00:02", 10s)) << statusTime() << "\n" << player->standardError();
    EXPECT_EQ(lines(traceText()), 1u) << traceText();

    setWallClockTo(utc(2026, 9, 7, 7, 59, 29));  // 33 s back
    // Under a wall-clock sleep the scheduler would stand still for 33 s; /healthz says "stalled" after 3 s.
    std::string seen = "";
    const auto stepped = Clock::now();
    for (int poll = 0; poll < 20 && Clock::now() - stepped < 4s; ++poll) {
        std::this_thread::sleep_for(200ms);
        const std::string time = statusTime();
        EXPECT_LT(time, "08:00:00") << "the scheduler did not take the new reading";
        EXPECT_GE(time, seen) << "the clock ran back again";
        seen = time;
        EXPECT_EQ(healthz(), 200) << "after " << std::chrono::duration<double>(Clock::now() - stepped).count() << " s";
    }
    EXPECT_GE(seen, "07:59:32") << "the passes kept coming";
    EXPECT_TRUE(std::regex_search(player->standardError(), std::regex("The clock was set back by 3[23] s\n"))) << player->standardError();

    // On to the bell's second again, by a jump forward too small to skip a bell (rather than 30 s of waiting).
    setWallClockTo(utc(2026, 9, 7, 7, 59, 59));
    ASSERT_TRUE(waitForTime("08:00:02", 5s)) << statusTime();
    EXPECT_EQ(lines(traceText()), 1u) << "the bell of 08:00:00 rang again: " << traceText();
    EXPECT_EQ(healthz(), 200);

    const std::string journal = testing::readFile(installation.userData() / "journal" / "2026-09-07.jsonl");
    EXPECT_TRUE(
        std::regex_search(journal, std::regex("\"kind\": ?\"clockStep\", ?\"outcome\": ?\"note\", ?\"reason\": ?\"setBack\", ?\"code\": ?3[23]")))
        << journal;
}

}  // namespace
}  // namespace quorvane
