#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "remote/log_lines.h"
#include "remote/service_double.h"
#include "scheduling/calendar_sync.h"
#include "scheduling/heartbeat_worker.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"
#include "support/fake_time_source.h"
#include "support/log_capture.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::FakeTimeSource;
using testing::hasLogLine;
using testing::LogCapture;
using testing::logLines;
using testing::logLinesContaining;
using testing::reading;
using testing::ServiceDouble;
using testing::ServiceUrlOverride;

Json namedRegion(const std::string& name) { return Json{{"name", name}, {"holidays", Json::array({"2026-12-24"})}}; }

class HeartbeatTest : public ::testing::Test {
protected:
    HeartbeatTest() {
        clock->push(reading(2026, 12, 8, 7, 59, 55));
        updateClock();
        StateLock lock;
        cache.edit(lock) = Cache{};
        cache.edit(lock).calendarVersion = 1;
    }
    ~HeartbeatTest() override {
        service.release();
        EXPECT_TRUE(waitForHeartbeatIdle(20s));
        setTimeSource(previousClock);
    }

    std::shared_ptr<FakeTimeSource> clock = std::make_shared<FakeTimeSource>();
    std::shared_ptr<TimeSource> previousClock = setTimeSource(clock);
    ServiceDouble service;
    ServiceUrlOverride url{service.url()};
    LogCapture log;
};

TEST_F(HeartbeatTest, ASlowServiceDoesNotDelayTheBells) {
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    service.hold("ping");  // the service would take 8 s

    SchedulerSteps steps;
    steps.phoneHome = startHeartbeat;
    std::vector<std::string> rung;
    steps.processSecond = [&](const struct_time& now) {
        rung.push_back(dateStringOf(now) + " " + std::to_string(now.tm_min) + ":" + std::to_string(now.tm_sec));
    };
    Scheduler scheduler(steps);

    // Counted seconds 1..5 are 07:59:56..08:00:00; the fifth starts the heartbeat, the bell is due at 08:00:00
    // and the next seconds follow while the service is still silent.
    for (int second = 56; second <= 59; ++second) {
        clock->push(reading(2026, 12, 8, 7, 59, second));
        scheduler.runPass();
    }
    for (int second = 0; second <= 4; ++second) {
        clock->push(reading(2026, 12, 8, 8, 0, second));
        scheduler.runPass();
        if (second == 0) {
            ASSERT_TRUE(service.waitForHeldRequests(1, 10s)) << "the heartbeat went out";
        }
    }
    EXPECT_TRUE(heartbeatRunning()) << "the answer is still outstanding";
    ASSERT_EQ(rung.size(), 9u);
    EXPECT_EQ(rung[4], "2026-12-08 0:0");
    EXPECT_EQ(rung.back(), "2026-12-08 0:4");

    service.release();
    ASSERT_TRUE(waitForHeartbeatIdle(20s));
    StateLock lock;
    EXPECT_EQ(cache.view(lock).calendarLastUpdated, "2026-12-08") << "the late answer is still used";
}

TEST_F(HeartbeatTest, AHeartbeatDueWhileOneRunsIsSkipped) {
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    service.hold("ping");
    startHeartbeat();
    ASSERT_TRUE(service.waitForHeldRequests(1, 10s));
    startHeartbeat();
    startHeartbeat();
    EXPECT_EQ(logLinesContaining(log, "Heartbeat skipped").size(), 2u);
    service.release();
    ASSERT_TRUE(waitForHeartbeatIdle(20s));
    EXPECT_EQ(service.requestCount("ping"), 1);

    startHeartbeat();  // the worker is free again
    ASSERT_TRUE(waitForHeartbeatIdle(20s));
    EXPECT_EQ(service.requestCount("ping"), 2);
}

TEST_F(HeartbeatTest, ReadersSeeAWholeRegistryWhileItIsReplaced) {
    // Registry version v holds regions named "v<v>" only: a reader that sees a version with regions of
    // another one has caught a half-done replacement.
    std::atomic<int> offered{2};
    service.on("ping", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(toJsonText(Json{{"calendarVersion", offered.load()}}), "application/json");
    });
    service.on("getCalendarRegistry", [&](const httplib::Request&, httplib::Response& response) {
        const std::string name = "v" + std::to_string(offered.load());
        Json entries = Json::object();
        for (int i = 0; i < 20; ++i) entries["r" + std::to_string(i)] = namedRegion(name);
        response.set_content(toJsonText(Json{{"entries", entries}, {"version", offered.load()}}), "application/json");
    });

    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        while (!done) {
            StateLock lock;
            const Cache& now = cache.view(lock);
            const std::string expected = "v" + std::to_string(now.calendarVersion);
            for (const auto& [id, region] : now.calendarRegions)
                if (region.name != expected) ++torn;
            ++reads;
        }
    });
    for (int version = 2; version <= 8; ++version) {
        offered = version;
        startHeartbeat();
        ASSERT_TRUE(waitForHeartbeatIdle(20s));
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    StateLock lock;
    EXPECT_EQ(cache.view(lock).calendarVersion, 8);
    EXPECT_EQ(cache.view(lock).calendarRegions.size(), 20u);
}

}  // namespace
}  // namespace quorvane
