// Day previews, planned days, weekday timetables and deletes that know about plans, over real HTTP.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

using PlanEndpoints = WebServerTest;

const char* const FACTORY = "ID_factory_default_timetable";

std::string daysFromToday(int64_t days) { return dateText(dayNumberOf(getClock()) + days); }

Json settingsOf(Browser& client) { return Json::parse(client.get("/api/get/settings").body); }

TEST_F(PlanEndpoints, TodaysPreviewIsWhatTheDashboardShows) {
    Browser client = loggedInBrowser();
    const Json overview = Json::parse(client.get("/api/get/overview").body);
    const Json day = Json::parse(client.get("/api/get/day?date=" + getDateString()).body);
    for (const char* member : {"id", "source", "date", "dayOfWeek", "typeOfDay"})
        EXPECT_EQ(day[member], overview["activeTimetableInfo"][member]) << member;
    EXPECT_TRUE(day["bells"].is_array());
    EXPECT_TRUE(day.contains("dayReason"));
}

TEST_F(PlanEndpoints, PlannedDayShowsItsBellsWithSignalNames) {
    Browser client = loggedInBrowser();
    const std::string date = daysFromToday(3);
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", date}, {"timetableId", FACTORY}}).status, 200);
    const Json day = Json::parse(client.get("/api/get/day?date=" + date).body);
    EXPECT_EQ(day["source"], "PLANNED");
    EXPECT_EQ(day["timetableName"], "Default");
    ASSERT_EQ(day["bells"].size(), 24u) << "six lessons, four bells each";
    EXPECT_EQ(day["bells"][0]["time"], "07:55");
    EXPECT_EQ(day["bells"][0]["kind"], "preStart");
    EXPECT_EQ(day["bells"][0]["lesson"], 0);
    EXPECT_EQ(day["bells"][0]["desc"]["id"], "ID_ping");
    EXPECT_EQ(day["bells"][0]["signalName"], "ping");

    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", date}, {"timetableId", "NULL"}}).status, 200);
    const Json silent = Json::parse(client.get("/api/get/day?date=" + date).body);
    EXPECT_EQ(silent["id"], "NULL");
    EXPECT_EQ(silent["source"], "PLANNED");
    EXPECT_EQ(silent["bells"], Json::array());

    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", date}, {"timetableId", nullptr}}).status, 200);
    EXPECT_EQ(settingsOf(client)["plannedDays"], Json::array());
}

// A week from the next Monday on, with a holiday on its Wednesday and its Saturday an extra working day.
TEST_F(PlanEndpoints, ARangeOfWorkingDaysOnlyLeavesHolidaysAndWeekendsAsTheyWere) {
    Browser client = loggedInBrowser();
    int64_t monday = dayNumberOf(getClock()) + 1;
    while (midnightOf(monday).tm_wday != 0) ++monday;
    const auto day = [&](int64_t offset) { return dateText(monday + offset); };
    {
        StateLock lock;
        CalendarRegion region;
        region.holidays = {day(2)};
        region.extraWorkdays = {day(5)};
        cache.edit(lock).calendarRegions.add(region, "hu");
    }
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", day(6)}, {"timetableId", "NULL"}}).body, "true");

    const Json types = Json::parse(client.get("/api/get/dayTypes?from=" + day(0) + "&to=" + day(7)).body);
    ASSERT_EQ(types.size(), 8u);
    std::string working;
    for (const Json& type : types) working += type["working"].get<bool>() ? 'W' : '-';
    EXPECT_EQ(working, "WW-WWW-W");
    EXPECT_EQ(types[2], Json({{"date", day(2)}, {"typeOfDay", "HOLIDAY"}, {"working", false}}));
    EXPECT_EQ(types[5]["typeOfDay"], "REPLACED_WORKDAY");
    EXPECT_EQ(types[6]["typeOfDay"], "NON_WORKDAY");

    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", day(0)}, {"to", day(7)}, {"timetableId", FACTORY}, {"workingDaysOnly", true}}).body, "true");
    std::string planned;
    const Json settings = settingsOf(client);
    for (const Json& plan : settings["plannedDays"])
        planned += plan["date"].get<std::string>().substr(8) + plan["timetableId"].get<std::string>().substr(0, 2) + " ";
    EXPECT_EQ(planned, day(0).substr(8) + "ID " + day(1).substr(8) + "ID " + day(3).substr(8) + "ID " + day(4).substr(8) + "ID " + day(5).substr(8) +
                           "ID " + day(6).substr(8) + "NU " + day(7).substr(8) + "ID ")
        << "the Sunday keeps its own plan and the holiday has none; the extra working day is planned";

    // Clearing the working days only leaves the Sunday's plan too; a plain clear takes everything.
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", day(0)}, {"to", day(7)}, {"timetableId", nullptr}, {"workingDaysOnly", true}}).body, "true");
    ASSERT_EQ(settingsOf(client)["plannedDays"].size(), 1u);
    EXPECT_EQ(settingsOf(client)["plannedDays"][0]["date"], day(6));

    EXPECT_EQ(client.postJson("/db/plan/days", {{"from", day(0)}, {"timetableId", FACTORY}, {"workingDaysOnly", "yes"}}).body,
              "Invalid workingDaysOnly: expected true or false");
    EXPECT_EQ(client.get("/api/get/dayTypes?from=" + day(7) + "&to=" + day(0)).body, "Invalid range: at most 366 days, from before to");
    EXPECT_EQ(client.get("/api/get/dayTypes?from=" + day(0) + "&to=" + dateText(monday + 366)).status, 400);
    EXPECT_EQ(client.get("/api/get/dayTypes?from=" + day(0) + "&to=" + dateText(monday + 365)).status, 200);
    EXPECT_EQ(client.get("/api/get/dayTypes?from=2026-02-30&to=" + day(0)).body, "Invalid date: 2026-02-30");
}

TEST_F(PlanEndpoints, BadRequestsAnswer400AndChangeNothing) {
    Browser client = loggedInBrowser();
    for (const char* bad : {"2026-02-30", "tomorrow", "", "2026-1-01"}) {
        const HttpAnswer answer = client.get(std::string("/api/get/day?date=") + bad);
        EXPECT_EQ(answer.status, 400) << bad;
        EXPECT_EQ(answer.body, std::string("Invalid date: ") + bad);
    }
    const Json before = settingsOf(client);
    const std::vector<std::pair<Json, std::string>> refused = {
        {{{"from", daysFromToday(-1)}, {"timetableId", FACTORY}}, "Date in the past: " + daysFromToday(-1)},
        {{{"from", daysFromToday(1)}, {"timetableId", "gone"}}, "Unknown timetable in timetableId: gone"},
        {{{"from", daysFromToday(1)}, {"to", daysFromToday(400)}, {"timetableId", FACTORY}},
         "Range longer than a year: " + daysFromToday(1) + " to " + daysFromToday(400)},
        {{{"from", 5}, {"timetableId", FACTORY}}, "Invalid from: expected a text"},
        {{{"from", daysFromToday(1)}, {"timetableId", 3}}, "Invalid timetableId: expected a text or null"},
    };
    for (const auto& [body, message] : refused) {
        const HttpAnswer answer = client.postJson("/db/plan/days", body);
        EXPECT_EQ(answer.status, 400) << body;
        EXPECT_EQ(answer.body, message);
    }
    EXPECT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", {"", "", "", "", "", "gone", ""}}}).body,
              "Unknown timetable in weekdayTimetables[5]: gone");
    EXPECT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", {"", ""}}}).status, 400);
    // The generic settings update does not bypass the checks.
    const HttpAnswer generic = client.postJson("/db/settings/update", {{"plannedDays", Json::array({{{"date", "1999-01-01"}}})}});
    EXPECT_EQ(generic.status, 400);
    EXPECT_EQ(generic.body, "Setting plannedDays is changed through /db/plan/days");
    EXPECT_EQ(settingsOf(client), before);
}

TEST_F(PlanEndpoints, WeekdayTimetableAnswersForItsWeekday) {
    Browser client = loggedInBrowser();
    const std::string other = Json::parse(client.postJson("/db/timetables/create", {{"name", "Other"}}).body);
    // Every day of the week the same, so that whichever weekday comes next counts (unless a day off).
    ASSERT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", std::vector<std::string>(7, other)}}).status, 200);
    ASSERT_EQ(client.postJson("/db/settings/update", {{"calendar.workdayMode", 7}}).status, 200);
    const Json day = Json::parse(client.get("/api/get/day?date=" + daysFromToday(2)).body);
    EXPECT_EQ(day["source"], "WEEKDAY");
    EXPECT_EQ(day["id"], other);
}

TEST_F(PlanEndpoints, DeletingAPlannedTimetableAsksFirstTheOldRouteDoesNot) {
    Browser client = loggedInBrowser();
    const std::string exam = Json::parse(client.postJson("/db/timetables/create", {{"name", "Exam"}}).body);
    const std::string unused = Json::parse(client.postJson("/db/timetables/create", {{"name", "Unused"}}).body);
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", daysFromToday(1)}, {"to", daysFromToday(2)}, {"timetableId", exam}}).status, 200);
    ASSERT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", {"", "", "", "", "", exam, ""}}}).status, 200);

    Json answer = Json::parse(client.postJson("/db/timetables/delete/" + exam, Json::object()).body);
    EXPECT_EQ(answer["deleted"], false);
    EXPECT_EQ(answer["uses"]["dates"], Json({daysFromToday(1), daysFromToday(2)}));
    EXPECT_EQ(answer["uses"]["weekdays"], Json({5}));
    EXPECT_TRUE(Json::parse(client.get("/db").body)["timetables"].contains(exam));

    answer = Json::parse(client.postJson("/db/timetables/delete/" + exam, {{"confirm", true}}).body);
    EXPECT_EQ(answer["deleted"], true);
    const Json settings = settingsOf(client);
    EXPECT_EQ(settings["plannedDays"], Json::array());
    EXPECT_EQ(settings["weekdayTimetables"][5], "");
    EXPECT_FALSE(Json::parse(client.get("/db").body)["timetables"].contains(exam));

    EXPECT_EQ(Json::parse(client.postJson("/db/timetables/delete/" + unused, Json::object()).body)["deleted"], true);
    EXPECT_EQ(client.postJson("/db/timetables/delete/" + unused, Json::object()).body, "ID not found");

    // The older trigger deletes at once and takes the plans with it.
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", daysFromToday(1)}, {"timetableId", FACTORY}}).status, 200);
    EXPECT_EQ(client.get(std::string("/api/trigger/deleteTimetable/") + FACTORY).body, "ok");
    EXPECT_EQ(settingsOf(client)["plannedDays"], Json::array());
}

TEST_F(PlanEndpoints, NextBellDaySkipsDaysPlannedWithoutBells) {
    Browser client = loggedInBrowser();
    ASSERT_EQ(client.postJson("/db/settings/update", {{"calendar.workdayMode", 7}}).status, 200);
    EXPECT_EQ(Json::parse(client.get("/api/get/nextBellDay").body),
              Json::parse(R"({"date": ")" + daysFromToday(1) + R"(", "dayOfWeek": )" +
                          std::to_string(midnightOf(dayNumberOf(getClock()) + 1).tm_wday) + R"(, "time": "07:55"})"));
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", daysFromToday(1)}, {"to", daysFromToday(2)}, {"timetableId", "NULL"}}).status, 200);
    EXPECT_EQ(Json::parse(client.get("/api/get/nextBellDay").body)["date"], daysFromToday(3));
    ASSERT_EQ(client.postJson("/db/settings/update", {{"schedulerEnable", false}}).status, 200);
    EXPECT_EQ(client.get("/api/get/nextBellDay").body, "null");
}

TEST_F(PlanEndpoints, PlansAreOnDiskWhenAnswered) {
    Browser client = loggedInBrowser();
    const auto stored = [&] { return storedDb().settings; };
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", daysFromToday(4)}, {"timetableId", "NULL"}}).body, "true");
    ASSERT_EQ(stored().plannedDays.size(), 1u);
    EXPECT_EQ(stored().plannedDays[0].date, daysFromToday(4));
    ASSERT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", {"", "", "", "", "", FACTORY, ""}}}).body, "true");
    EXPECT_EQ(stored().weekdayTimetables[5], FACTORY);
}

TEST_F(PlanEndpoints, LoginRequired) {
    loggedInBrowser();
    Browser stranger = browser();
    EXPECT_EQ(stranger.get("/api/get/day?date=" + getDateString()).body, "No auth");
    EXPECT_EQ(stranger.postJson("/db/plan/days", {{"from", daysFromToday(1)}, {"timetableId", FACTORY}}).body, "No auth");
}

}  // namespace
}  // namespace quorvane
