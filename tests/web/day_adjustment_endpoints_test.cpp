// A late start or an early end for one date, over real HTTP: what the preview shows is what rings.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "scheduling/scheduler.h"
#include "support/fake_time_source.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

// The shared clock on a Monday morning, 2026-09-07 06:00, moved by the test alone.
class DayAdjustmentEndpoints : public WebServerTest {
protected:
    void beforeServing() override {
        _previous = setTimeSource(time);
        time->push(at(6 * 3600));
        updateClock();
    }
    void TearDown() override {
        WebServerTest::TearDown();
        setTimeSource(_previous);
    }
    struct_time at(int64_t secondOfDay) const { return wallReading(wallSeconds(midnightOf(monday)) + secondOfDay); }
    Json dayOf(Browser& client, const std::string& date = "2026-09-07") { return Json::parse(client.get("/api/get/day?date=" + date).body); }

    const int64_t monday = parseDate("2026-09-07").value();
    std::shared_ptr<testing::FakeTimeSource> time = std::make_shared<testing::FakeTimeSource>();
    std::shared_ptr<TimeSource> _previous;
};

std::string bellText(const std::string& time, const std::string& signalId) { return time + " " + signalId; }

TEST_F(DayAdjustmentEndpoints, TheAdjustedDayRingsBellForBellWhatItsMorningPreviewShowed) {
    Browser client = loggedInBrowser();
    ASSERT_EQ(client.postJson("/db/plan/adjust", {{"shiftMinutes", 90}, {"from", "09:00"}}).body, "true");
    ASSERT_EQ(client.postJson("/db/plan/adjust", {{"endAfter", "13:20"}}).body, "true");
    const Json day = dayOf(client);
    EXPECT_EQ(day["adjustment"], Json::parse(R"({"date": "2026-09-07", "shiftMinutes": 90, "from": "09:00", "endAfter": "13:20"})"));
    std::vector<std::string> previewed;
    for (const Json& bell : day["bells"]) previewed.push_back(bellText(bell["time"], bell["desc"]["id"]));
    ASSERT_FALSE(previewed.empty());
    EXPECT_EQ(day["bells"][0]["planned"], nullptr) << "the first lesson keeps its time";
    EXPECT_EQ(day["bells"][4]["time"], "10:25");
    EXPECT_EQ(day["bells"][4]["planned"], "08:55");

    std::vector<std::string> rang;
    SchedulerSteps steps = defaultSchedulerSteps(
        [&](const StateLock&, const PlayDesc& desc) { rang.push_back(bellText(TimeOfDay::fromTimeStruct(getClock()).asString(), desc.id)); });
    steps.phoneHome = [] {};
    steps.saveStoredRecords = [] {};
    Scheduler scheduler(steps);
    // Every second of the rest of the day.
    for (int64_t second = 6 * 3600 + 1; second < SECONDS_IN_A_DAY; ++second) {
        time->push(at(second));
        scheduler.runPass();
    }
    EXPECT_EQ(rang, previewed);
}

TEST_F(DayAdjustmentEndpoints, TheAdjustmentIsOnDiskWhenAnsweredAndClearUndoesIt) {
    Browser client = loggedInBrowser();
    ASSERT_EQ(client.postJson("/db/plan/adjust", {{"date", "2026-09-09"}, {"endAfter", "12:30"}}).body, "true");
    ASSERT_EQ(storedDb().settings.dayAdjustments.size(), 1u);
    EXPECT_EQ(storedDb().settings.dayAdjustments[0].endAfter, "12:30");
    EXPECT_EQ(dayOf(client, "2026-09-09")["bells"].back()["time"], "12:00") << "the lesson from 12:00 to 12:45 ends after it";

    ASSERT_EQ(client.postJson("/db/plan/adjust", {{"date", "2026-09-09"}, {"clear", true}}).body, "true");
    EXPECT_TRUE(storedDb().settings.dayAdjustments.empty());
    EXPECT_EQ(dayOf(client, "2026-09-09")["adjustment"], nullptr);
    EXPECT_EQ(dayOf(client, "2026-09-09")["bells"].back()["time"], "13:45");
}

TEST_F(DayAdjustmentEndpoints, WrongAdjustmentsAnswer400NamingTheMemberAndChangeNothing) {
    Browser client = loggedInBrowser();
    const Json before = Json::parse(client.get("/api/get/settings").body);
    const std::vector<std::pair<Json, std::string>> refused = {
        {{{"shiftMinutes", "90"}}, "Invalid shiftMinutes: expected a whole number of minutes"},
        {{{"shiftMinutes", 1.5}}, "Invalid shiftMinutes: expected a whole number of minutes"},
        {{{"shiftMinutes", 0}}, "Invalid shiftMinutes: expected minutes from -240 to 240, not 0, found 0"},
        {{{"shiftMinutes", 300}}, "Invalid shiftMinutes: expected minutes from -240 to 240, not 0, found 300"},
        {{{"shiftMinutes", 30}, {"from", 800}}, "Invalid from: expected a text or null"},
        {{{"endAfter", nullptr}}, "Invalid endAfter: expected a text"},
        {{{"endAfter", "12.30"}}, "Invalid endAfter: expected a time written HH:MM, found 12.30"},
        {{{"date", "2026-09-06"}, {"clear", true}}, "Date in the past: 2026-09-06"},
        {{{"date", "2027-09-09"}, {"endAfter", "12:00"}}, "Date more than a year ahead: 2027-09-09"},
        {{{"date", 20260908}, {"endAfter", "12:00"}}, "Invalid date: expected a text or null"},
        {{{"clear", false}}, "Invalid clear: expected true"},
        {{{"minutes", 30}}, "Unknown member of the adjustment: minutes"},
        {Json::object(), "An adjustment gives shiftMinutes, endAfter or both, or clear alone"},
        {Json::array({30}), "The adjustment must be a JSON object"},
    };
    for (const auto& [body, message] : refused) {
        const HttpAnswer answer = client.postJson("/db/plan/adjust", body);
        EXPECT_EQ(answer.status, 400) << body;
        EXPECT_EQ(answer.body, message);
    }
    const HttpAnswer generic = client.postJson("/db/settings/update", {{"dayAdjustments", Json::array()}});
    EXPECT_EQ(generic.status, 400);
    EXPECT_EQ(generic.body, "Setting dayAdjustments is changed through /db/plan/adjust");
    EXPECT_EQ(Json::parse(client.get("/api/get/settings").body), before);

    Browser stranger = browser();
    EXPECT_EQ(stranger.postJson("/db/plan/adjust", {{"endAfter", "12:00"}}).body, "No auth");
}

}  // namespace
}  // namespace quorvane
