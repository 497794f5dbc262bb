// Revisions of timetables and settings, and changes refused with 409 when made against an older one,
// over real HTTP: two browsers must not silently overwrite each other.
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

const char* const CHANGED_ELSEWHERE = "Changed elsewhere: reload to see the other change";

std::string tomorrow() { return dateText(dayNumberOf(getClock()) + 1); }

Json timetableEntry(Browser& client, const std::string& id) {
    for (const Json& entry : Json::parse(client.get("/db/timetables").body))
        if (entry["id"] == id) return entry;
    return nullptr;
}

std::string timetableRevision(Browser& client, const std::string& id) {
    const Json entry = timetableEntry(client, id);
    return entry.is_null() ? "" : entry["revision"].get<std::string>();
}

std::string settingsRevision(Browser& client) {
    const std::string tag = client.get("/api/get/settings").header("ETag");
    return tag.size() > 2 ? tag.substr(1, tag.size() - 2) : "";
}

httplib::Headers ifMatch(const std::string& value) { return {{"If-Match", value}}; }

// One change that a browser makes against a revision of its record.
struct RevisedChange {
    std::string name;
    // The record the change is made against: a timetable (true) or the settings.
    bool ofTimetable = true;
    // The change; each call changes the record again (or deletes it).
    std::function<HttpAnswer(Browser&, const std::string& id, const httplib::Headers&)> change;
    // Whether a successful change leaves the record, whose new revision then comes with the answer.
    bool recordRemains = true;
};

// Failures name the route, not the bytes of its description.
void PrintTo(const RevisedChange& change, std::ostream* out) { *out << change.name; }

int changeCount = 0;  // so that every change differs from the one before

HttpAnswer updateTimetable(Browser& client, const std::string& id, const httplib::Headers& headers) {
    Json timetable = timetableEntry(client, id);
    timetable.erase("revision");
    timetable["name"] = "Changed " + std::to_string(++changeCount);
    return client.postJson("/db/timetables/update/" + id, timetable, headers);
}

const std::vector<RevisedChange>& revisedChanges() {
    static const std::vector<RevisedChange> changes = {
        {"TimetableUpdate", true, updateTimetable},
        {"TimetableDelete", true,
         [](Browser& client, const std::string& id, const httplib::Headers& headers) {
             return client.postJson("/db/timetables/delete/" + id, {{"confirm", true}}, headers);
         },
         false},
        {"DeleteTimetableTrigger", true,
         [](Browser& client, const std::string& id, const httplib::Headers& headers) {
             return client.get("/api/trigger/deleteTimetable/" + id, headers);
         },
         false},
        {"SettingsUpdate", false,
         [](Browser& client, const std::string&, const httplib::Headers& headers) {
             return client.postJson("/db/settings/update", {{"alarmDelaySec", ++changeCount}}, headers);
         }},
        {"PlanDays", false,
         [](Browser& client, const std::string& id, const httplib::Headers& headers) {
             // Alternately planned and cleared, so that every call changes the plan.
             return client.postJson("/db/plan/days", {{"from", tomorrow()}, {"timetableId", ++changeCount % 2 ? Json(id) : Json(nullptr)}}, headers);
         }},
        {"PlanWeekdays", false,
         [](Browser& client, const std::string& id, const httplib::Headers& headers) {
             std::vector<std::string> perWeekday(7);
             perWeekday[static_cast<size_t>(++changeCount % 7)] = id;
             return client.postJson("/db/plan/weekdays", {{"weekdayTimetables", perWeekday}}, headers);
         }},
    };
    return changes;
}

class RevisedChanges : public WebServerTest, public ::testing::WithParamInterface<RevisedChange> {
protected:
    void SetUp() override {
        WebServerTest::SetUp();
        session.emplace(loggedInBrowser());
        id = Json::parse(client().postJson("/db/timetables/create", {{"name", "Shared"}}).body).get<std::string>();
    }

    Browser& client() { return *session; }
    // Another browser of the same user, as a second tab is.
    Browser otherTab() {
        Browser other = browser();
        other.cookie = client().cookie;
        return other;
    }
    // What another tab saves meanwhile: a timetable's content (not only its plans), or the settings.
    HttpAnswer changeElsewhere() {
        Browser other = otherTab();
        return GetParam().ofTimetable ? updateTimetable(other, id, {}) : change(other);
    }

    std::string revision() { return GetParam().ofTimetable ? timetableRevision(client(), id) : settingsRevision(client()); }
    HttpAnswer change(Browser& from, const httplib::Headers& headers = {}) { return GetParam().change(from, id, headers); }
    // Everything a change could touch, as the browser and the disk see it.
    Json everything() { return {{"memory", Json::parse(client().get("/db").body)}, {"disk", to_dict(storedDb())}}; }

    std::optional<Browser> session;
    std::string id;
};

TEST_P(RevisedChanges, AChangeAgainstAnOlderRevisionIsRefusedAndChangesNothing) {
    const std::string seen = revision();
    ASSERT_EQ(seen.size(), 16u);
    ASSERT_EQ(changeElsewhere().status, 200);
    ASSERT_NE(revision(), seen);
    const Json before = everything();

    const HttpAnswer refused = change(client(), ifMatch("\"" + seen + "\""));
    EXPECT_EQ(refused.status, 409);
    EXPECT_EQ(refused.body, CHANGED_ELSEWHERE);
    EXPECT_EQ(refused.header("ETag"), "");
    EXPECT_EQ(everything(), before);
}

TEST_P(RevisedChanges, AChangeAgainstTheCurrentRevisionGoesOnAndAnswersTheNewOne) {
    const std::string seen = revision();
    const HttpAnswer answer = change(client(), ifMatch("\"" + seen + "\""));
    ASSERT_EQ(answer.status, 200) << answer.body;
    if (!GetParam().recordRemains) {
        EXPECT_TRUE(timetableEntry(client(), id).is_null());
        return;
    }
    const std::string now = revision();
    EXPECT_NE(now, seen);
    EXPECT_EQ(answer.header("ETag"), "\"" + now + "\"");
    // The browser goes on with the answered revision, without reloading.
    EXPECT_EQ(change(client(), ifMatch(answer.header("ETag"))).status, 200);
}

TEST_P(RevisedChanges, WithoutIfMatchAChangeGoesOnAsBefore) {
    ASSERT_EQ(changeElsewhere().status, 200);
    const HttpAnswer answer = change(client());
    EXPECT_EQ(answer.status, 200) << answer.body;
    if (GetParam().recordRemains) {
        EXPECT_EQ(answer.header("ETag"), "\"" + revision() + "\"");
    }
}

TEST_P(RevisedChanges, AStarMatchesAnyRevisionAndAListMatchesByAnyOfItsTags) {
    EXPECT_EQ(change(client(), ifMatch("*")).status, 200);
    if (!GetParam().recordRemains) return;
    EXPECT_EQ(change(client(), ifMatch("\"0000000000000000\", \"" + revision() + "\"")).status, 200);
}

TEST_P(RevisedChanges, AnIfMatchThatNamesNoCurrentRevisionIsStale) {
    const std::string current = revision();
    const Json before = everything();
    // Unquoted, weak (never equal under strong comparison), empty, garbage, a tag of another record.
    for (const std::string& value : {current, "W/\"" + current + "\"", std::string("\"\""), std::string(""), std::string("nonsense, 42"),
                                     "\"" + (GetParam().ofTimetable ? settingsRevision(client()) : timetableRevision(client(), id)) + "\""}) {
        const HttpAnswer answer = change(client(), ifMatch(value));
        EXPECT_EQ(answer.status, 409) << "If-Match: " << value;
        EXPECT_EQ(answer.body, CHANGED_ELSEWHERE) << "If-Match: " << value;
    }
    EXPECT_EQ(everything(), before);
}

INSTANTIATE_TEST_SUITE_P(EveryCheckedRoute, RevisedChanges, ::testing::ValuesIn(revisedChanges()),
                         [](const ::testing::TestParamInfo<RevisedChange>& route) { return route.param.name; });

using Revisions = WebServerTest;

TEST_F(Revisions, FollowTheContentAndAreNeverStored) {
    Browser client = loggedInBrowser();
    const std::string factory = FACTORY_DEFAULT_TIMETABLE_ID;
    const std::string first = timetableRevision(client, factory);
    const std::string settings = settingsRevision(client);
    const Json database = Json::parse(client.get("/db").body);
    EXPECT_EQ(database["timetables"][factory]["revision"], first);
    EXPECT_EQ(database["settingsRevision"], settings);

    // Saved unchanged, a record keeps its revision; a settings change leaves the timetables' alone.
    Json timetable = timetableEntry(client, factory);
    ASSERT_EQ(client.postJson("/db/timetables/update/" + factory, timetable, ifMatch("\"" + first + "\"")).header("ETag"), "\"" + first + "\"");
    ASSERT_EQ(client.postJson("/db/settings/update", {{"schedulerEnable", false}}).status, 200);
    EXPECT_EQ(timetableRevision(client, factory), first);
    EXPECT_NE(settingsRevision(client), settings);
    // Changed back, the content (and so the revision) is what it was.
    ASSERT_EQ(client.postJson("/db/settings/update", {{"schedulerEnable", true}}).status, 200);
    EXPECT_EQ(settingsRevision(client), settings);

    const std::string stored = testing::readFile(layout.userData() / "_db.json");
    EXPECT_EQ(stored.find("evision"), std::string::npos);
    EXPECT_EQ(client.get("/db/timetables/export/" + factory).body.find("evision"), std::string::npos);
}

TEST_F(Revisions, AnUnknownTimetableIsStillNotFound) {
    Browser client = loggedInBrowser();
    EXPECT_EQ(client.postJson("/db/timetables/update/gone", Json::object(), ifMatch("*")).body, "ID not found");
    EXPECT_EQ(client.postJson("/db/timetables/delete/gone", Json::object(), ifMatch("\"0000000000000000\"")).body, "ID not found");
    EXPECT_EQ(client.get("/api/trigger/deleteTimetable/gone", ifMatch("\"0000000000000000\"")).status, 400);
}

}  // namespace
}  // namespace quorvane
