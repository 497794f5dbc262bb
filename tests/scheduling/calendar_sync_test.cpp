#include "scheduling/calendar_sync.h"

#include <gtest/gtest.h>

#include "remote/api.h"
#include "remote/log_lines.h"
#include "remote/service_double.h"
#include "scheduling/heartbeat_worker.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"
#include "support/fake_time_source.h"
#include "support/log_capture.h"

namespace quorvane {
namespace {

using testing::FakeTimeSource;
using testing::hasLogLine;
using testing::LogCapture;
using testing::logLines;
using testing::logLinesContaining;
using testing::reading;
using testing::ServiceDouble;
using testing::ServiceUrlOverride;

Json region(const std::string& name, const std::vector<std::string>& holidays) {
    return Json{{"name", name},         {"preferredWorkdayMode", 15},    {"provideHolidays", true},       {"validUntil", "2028-08-31"},
                {"holidays", holidays}, {"schoolBreaks", Json::array()}, {"extraWorkdays", Json::array()}};
}

Json registry(const Json& entries, int64_t version) { return Json{{"entries", entries}, {"version", version}}; }

Cache cacheNow() {
    StateLock lock;
    return cache.view(lock);
}

class CalendarSyncTest : public ::testing::Test {
protected:
    CalendarSyncTest() {
        clock->push(reading(2026, 12, 8, 10, 0, 0));
        updateClock();
        StateLock lock;
        Cache& stored = cache.edit(lock);
        stored = Cache{};
        stored.loadCalendarEntires(Json{{"old", region("Old region", {"2026-12-24"})}}, 3, "2026-01-05");
        before = stored;
    }
    ~CalendarSyncTest() override { setTimeSource(previousClock); }

    std::shared_ptr<FakeTimeSource> clock = std::make_shared<FakeTimeSource>();
    std::shared_ptr<TimeSource> previousClock = setTimeSource(clock);
    ServiceDouble service;
    ServiceUrlOverride url{service.url()};
    LogCapture log;
    Cache before;
};

TEST_F(CalendarSyncTest, EqualVersionOnlyStampsTheDate) {
    service.answerJson("ping", Json{{"calendarVersion", 3}});
    phoneHome();
    Cache expected = before;
    expected.calendarLastUpdated = "2026-12-08";
    EXPECT_EQ(cacheNow(), expected);
    EXPECT_EQ(service.requestCount("getCalendarRegistry"), 0);
    EXPECT_TRUE(logLinesContaining(log, "Attempting").empty());
}

TEST_F(CalendarSyncTest, LowerVersionIsTreatedLikeAnEqualOne) {
    service.answerJson("ping", Json{{"calendarVersion", 2}});
    phoneHome();
    EXPECT_EQ(cacheNow().calendarLastUpdated, "2026-12-08");
    EXPECT_EQ(cacheNow().calendarVersion, 3);
    EXPECT_EQ(service.requestCount("getCalendarRegistry"), 0);
}

TEST_F(CalendarSyncTest, HigherVersionFetchesAndReplacesAllRegions) {
    service.answerJson("ping", Json{{"calendarVersion", 4}});
    service.answerJson("getCalendarRegistry",
                       registry(Json{{"hu", region("Hungary", {"2026-12-25"})}, {"at", region("Austria", {"2026-12-08"})}}, 4));
    phoneHome();
    const Cache now = cacheNow();
    EXPECT_EQ(now.calendarVersion, 4);
    EXPECT_EQ(now.calendarLastUpdated, "2026-12-08");
    ASSERT_EQ(now.calendarRegions.size(), 2u);
    EXPECT_FALSE(now.calendarRegions.contains("old"));
    ASSERT_TRUE(now.calendarRegions.contains("hu") && now.calendarRegions.contains("at"));
    EXPECT_EQ(now.calendarRegions.find("hu")->name, "Hungary");
    EXPECT_EQ(now.calendarRegions.find("at")->holidays, std::vector<std::string>{"2026-12-08"});

    const auto lines = logLines(log);
    const auto attempt = std::find(lines.begin(), lines.end(), "Attempting to update calendar");
    const auto synchronized = std::find(lines.begin(), lines.end(), "Calendar has been synchronized");
    ASSERT_NE(attempt, lines.end());
    ASSERT_NE(synchronized, lines.end());
    EXPECT_LT(attempt, synchronized);
}

TEST_F(CalendarSyncTest, FreshCacheFetchesAnyPositiveVersion) {
    {
        StateLock lock;
        cache.edit(lock) = Cache{};
    }
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    service.answerJson("getCalendarRegistry", registry(Json::object(), 1));
    phoneHome();
    EXPECT_EQ(cacheNow().calendarVersion, 1);
    EXPECT_EQ(cacheNow().calendarLastUpdated, "2026-12-08");
    EXPECT_TRUE(hasLogLine(log, "Calendar has been synchronized"));
}

TEST_F(CalendarSyncTest, FailedFetchLeavesTheCacheAsItWas) {
    service.answerJson("ping", Json{{"calendarVersion", 4}});
    service.answer("getCalendarRegistry", 503, "Down for maintenance", "text/plain");
    phoneHome();
    EXPECT_EQ(cacheNow(), before);
    EXPECT_TRUE(hasLogLine(log, "Attempting to update calendar"));
    EXPECT_FALSE(hasLogLine(log, "Calendar has been synchronized"));
    EXPECT_TRUE(logLinesContaining(log, "Ignoring").empty()) << "an error status is no malformed answer";
}

TEST_F(CalendarSyncTest, UnreachableServiceLeavesTheCacheAndRecordsTheError) {
    testing::RefusingAddress refusing;
    ServiceUrlOverride nowhere(refusing.url());
    phoneHome();
    EXPECT_EQ(cacheNow(), before);
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
}

struct MalformedAnswer {
    std::string label;
    std::string command;  // which answer is malformed; the other one is fine
    std::string contentType;
    std::string body;
    std::string warningPart;
};

void PrintTo(const MalformedAnswer& answer, std::ostream* out) { *out << answer.label; }

class MalformedAnswerTest : public CalendarSyncTest, public ::testing::WithParamInterface<MalformedAnswer> {};

TEST_P(MalformedAnswerTest, ChangesNothingAndNamesWhatWasWrong) {
    const MalformedAnswer& bad = GetParam();
    service.answerJson("ping", Json{{"calendarVersion", 4}});
    service.answerJson("getCalendarRegistry", registry(Json{{"hu", region("Hungary", {})}}, 4));
    service.answer(bad.command, 200, bad.body, bad.contentType);

    phoneHome();
    EXPECT_EQ(cacheNow(), before);
    const auto warnings = logLinesContaining(log, "Ignoring");
    ASSERT_EQ(warnings.size(), 1u) << log.text();
    EXPECT_NE(warnings[0].find(bad.warningPart), std::string::npos) << warnings[0];
    EXPECT_FALSE(hasLogLine(log, "Calendar has been synchronized"));
}

const std::string JSON_TYPE = "application/json";
const std::string GOOD_REGION = toJsonText(region("Fine", {"2026-12-24"}));

INSTANTIATE_TEST_SUITE_P(
    Answers, MalformedAnswerTest,
    ::testing::Values(MalformedAnswer{"ping_text", "ping", "text/plain", "4", "not a JSON object"},
                      MalformedAnswer{"ping_array", "ping", JSON_TYPE, "[4]", "not a JSON object"},
                      MalformedAnswer{"ping_raw", "ping", "application/octet-stream", "4", "not a JSON object"},
                      MalformedAnswer{"ping_without_version", "ping", JSON_TYPE, "{\"version\": 4}", "\"calendarVersion\" is missing"},
                      MalformedAnswer{"ping_version_text", "ping", JSON_TYPE, "{\"calendarVersion\": \"4\"}",
                                      "\"calendarVersion\" is not an integer"},
                      MalformedAnswer{"ping_version_real", "ping", JSON_TYPE, "{\"calendarVersion\": 4.5}", "\"calendarVersion\" is not an integer"},
                      MalformedAnswer{"ping_version_huge", "ping", JSON_TYPE, "{\"calendarVersion\": 18446744073709551615}",
                                      "\"calendarVersion\" is not an integer"},
                      MalformedAnswer{"registry_without_entries", "getCalendarRegistry", JSON_TYPE, "{\"version\": 4}", "\"entries\" is missing"},
                      MalformedAnswer{"registry_entries_array", "getCalendarRegistry", JSON_TYPE, "{\"entries\": [], \"version\": 4}",
                                      "\"entries\" is not an object"},
                      MalformedAnswer{"registry_without_version", "getCalendarRegistry", JSON_TYPE, "{\"entries\": {}}", "\"version\" is missing"},
                      MalformedAnswer{"registry_version_null", "getCalendarRegistry", JSON_TYPE, "{\"entries\": {}, \"version\": null}",
                                      "\"version\" is not an integer"},
                      // The first region decodes, the second does not: nothing of either may reach the cache.
                      MalformedAnswer{"registry_fails_part_way", "getCalendarRegistry", JSON_TYPE,
                                      "{\"entries\": {\"aa\": " + GOOD_REGION + ", \"zz\": {\"holidays\": 5}}, \"version\": 4}", "zz"},
                      MalformedAnswer{"registry_unknown_workday_mode", "getCalendarRegistry", JSON_TYPE,
                                      "{\"entries\": {\"aa\": {\"preferredWorkdayMode\": 3}}, \"version\": 4}", "aa"}),
    [](const ::testing::TestParamInfo<MalformedAnswer>& testInfo) { return testInfo.param.label; });

// The scheduler's own steps hand the heartbeat to the worker; a malformed answer must not stop the bells.
TEST_F(CalendarSyncTest, SchedulerKeepsRingingAfterAMalformedAnswer) {
    service.answer("ping", 200, "{\"calendarVersion\": {}}", JSON_TYPE);
    SchedulerSteps steps = defaultSchedulerSteps();
    std::vector<int> rung;
    steps.processSecond = [&](const struct_time& now) { rung.push_back(now.tm_sec); };
    steps.saveStoredRecords = nullptr;
    Scheduler scheduler(steps);
    for (int second = 1; second <= 5; ++second) {
        clock->push(reading(2026, 12, 8, 10, 0, second));
        scheduler.runPass();
    }
    ASSERT_TRUE(waitForHeartbeatIdle(std::chrono::seconds(20)));
    EXPECT_EQ(service.requestCount("ping"), 1) << "the fifth counted second sends the heartbeat";
    for (int second = 6; second <= 8; ++second) {
        clock->push(reading(2026, 12, 8, 10, 0, second));
        scheduler.runPass();
    }
    EXPECT_EQ(rung, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(cacheNow(), before);
    EXPECT_EQ(logLinesContaining(log, "Ignoring the heartbeat answer").size(), 1u);
    EXPECT_TRUE(logLinesContaining(log, "Scheduler thread error").empty());
}

}  // namespace
}  // namespace quorvane
