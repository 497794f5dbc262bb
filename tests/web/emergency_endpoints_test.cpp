// The emergency routines over real HTTP: who may start them and how deliberately, the bells they
// silence, how they end, and their spoken sentences made when a routine is saved.
#include <mutex>

#include <gtest/gtest.h>

#include "audio/emergency.h"
#include "audio/journal_sink.h"
#include "audio/spoken_sentence.h"
#include "core/clock.h"
#include "model/calendar_date.h"
#include "scheduling/active_timetable.h"
#include "support/fake_time_source.h"
#include "support/stub_speech.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::WebServerTest;

// A Monday, 2026-09-07, on the shared clock; the journal kept by the test.
class EmergencyEndpoints : public WebServerTest {
protected:
    void beforeServing() override {
        _previousTime = setTimeSource(time);
        time->push(at(6 * 3600));
        updateClock();
        _previousSink = setJournalSink([this](JournalEntry entry) {
            std::lock_guard lock(_journalMutex);
            _journal.push_back(std::move(entry));
        });
        // A stub player ends at once: a routine that repeats without end would spin through them.
        StateLock lock;
        db.edit(lock).settings.emergencyRoutines.lockdown.repeat = 1;
        db.edit(lock).settings.emergencyRoutines.evacuation.repeat = 1;
    }
    void TearDown() override {
        Emergency::stop(OutcomeReason::SHUTDOWN);
        WebServerTest::TearDown();
        setJournalSink(_previousSink);
        setTimeSource(_previousTime);
    }
    struct_time at(int64_t secondOfDay) const { return wallReading(wallSeconds(midnightOf(monday)) + secondOfDay); }
    static Json emergencyOf(Browser& client) { return Json::parse(client.get("/api/get/status").body)["emergency"]; }
    std::vector<JournalEntry> journalOf(PlayKind kind) {
        return journalWhere([kind](const JournalEntry& entry) { return entry.kind == kind; });
    }
    std::vector<JournalEntry> journalWhere(const std::function<bool(const JournalEntry&)>& wanted) {
        std::lock_guard lock(_journalMutex);
        std::vector<JournalEntry> found;
        for (const JournalEntry& entry : _journal)
            if (wanted(entry)) found.push_back(entry);
        return found;
    }

    const int64_t monday = parseDate("2026-09-07").value();
    std::shared_ptr<testing::FakeTimeSource> time = std::make_shared<testing::FakeTimeSource>();

private:
    std::shared_ptr<TimeSource> _previousTime;
    JournalSink _previousSink;
    std::mutex _journalMutex;
    std::vector<JournalEntry> _journal;
};

TEST_F(EmergencyEndpoints, ARoutineNeedsALoginAKnownNameAndADeliberateDrillMark) {
    Browser client = loggedInBrowser();
    EXPECT_EQ(browser().postJson("/api/emergency/lockdown", {{"drill", true}}).body, "No auth");
    EXPECT_EQ(browser().send("POST", "/api/emergency/stop").body, "No auth");

    const auto refused = [&](const std::string& path, const Json& body) { return client.postJson(path, body); };
    EXPECT_EQ(refused("/api/emergency/fire", {{"drill", true}}).status, 404);
    EXPECT_EQ(refused("/api/emergency/fire", {{"drill", true}}).body, "Unknown emergency routine: fire");
    EXPECT_EQ(refused("/api/emergency/lockdown", Json::object()).body, "Invalid drill: expected true or false");
    EXPECT_EQ(refused("/api/emergency/lockdown", {{"drill", "yes"}}).body, "Invalid drill: expected true or false");
    EXPECT_EQ(refused("/api/emergency/lockdown", {{"drill", 1}}).status, 400);
    EXPECT_EQ(refused("/api/emergency/lockdown", Json::array()).status, 400);
    EXPECT_EQ(refused("/api/emergency/lockdown", {{"drill", false}, {"silent", true}}).body, "Unknown member of the request: silent");
    EXPECT_EQ(emergencyOf(client), nullptr) << "nothing refused started anything";
    EXPECT_TRUE(journalOf(PlayKind::EMERGENCY_START).empty());
}

TEST_F(EmergencyEndpoints, ALockdownShowsInTheStatusSilencesTheBellsAndEndsByStopOrStopAll) {
    Browser client = loggedInBrowser();
    const auto started = client.postJson("/api/emergency/lockdown", {{"drill", true}});
    ASSERT_EQ(started.status, 200);
    const Json expected = {{"routine", "lockdown"}, {"drill", true}, {"since", "2026-09-07T06:00:00"}};
    EXPECT_EQ(Json::parse(started.body), expected);
    EXPECT_EQ(emergencyOf(client), expected);
    EXPECT_TRUE(players.waitForTrace("e-lockdown.mp3"));

    // The first bell of the day comes due during the lockdown.
    const Json day = Json::parse(client.get("/api/get/day?date=2026-09-07").body);
    const TimeOfDay firstBell = TimeOfDay::decode(day["bells"][0]["time"].get<std::string>());
    int rang = 0;
    {
        StateLock lock;
        triggerScheduledSoundsAt(lock, at(firstBell.toSecondsOfDay()), [&](const StateLock&, const PlayDesc&) { ++rang; });
    }
    EXPECT_EQ(rang, 0);
    const auto missed = journalWhere([](const JournalEntry& entry) { return entry.outcome == PlayOutcome::MISSED; });
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_EQ(missed[0].due, "2026-09-07T" + firstBell.asString() + ":00");
    EXPECT_EQ(enumText(missed[0].reason), std::string("emergency"));

    EXPECT_EQ(client.send("POST", "/api/emergency/stop").body, R"({"stopped": true})");
    EXPECT_EQ(client.send("POST", "/api/emergency/stop").body, R"({"stopped": false})");
    EXPECT_EQ(emergencyOf(client), nullptr);
    {
        StateLock lock;
        triggerScheduledSoundsAt(lock, at(firstBell.toSecondsOfDay()), [&](const StateLock&, const PlayDesc&) { ++rang; });
    }
    EXPECT_EQ(rang, 1) << "the bells ring again";

    ASSERT_EQ(client.postJson("/api/emergency/evacuation", {{"drill", false}}).status, 200);
    EXPECT_EQ(emergencyOf(client)["routine"], "evacuation");
    EXPECT_EQ(client.get("/api/trigger/stopAll/any").body, "ok");
    EXPECT_EQ(emergencyOf(client), nullptr) << "Stop all sounds ends the routine too";
    const auto stops = journalOf(PlayKind::EMERGENCY_STOP);
    ASSERT_EQ(stops.size(), 2u);
    EXPECT_EQ(stops[0].routine, "lockdown");
    EXPECT_TRUE(stops[0].drill);
    EXPECT_EQ(enumText(stops[0].reason), std::string("emergencyStop"));
    EXPECT_EQ(stops[1].routine, "evacuation");
    EXPECT_FALSE(stops[1].drill);
    EXPECT_EQ(enumText(stops[1].reason), std::string("stopAll"));
}

TEST_F(EmergencyEndpoints, TheAllClearEndsTheRoutineAndItsSignalCannotBeDeleted) {
    Browser client = loggedInBrowser();
    ASSERT_EQ(client.postJson("/api/emergency/shelter", {{"drill", false}}).status, 200);
    const auto allClear = client.postJson("/api/emergency/allClear", {{"drill", false}});
    EXPECT_EQ(Json::parse(allClear.body)["routine"], "allClear");
    EXPECT_EQ(emergencyOf(client), nullptr);
    EXPECT_TRUE(players.waitForTrace("e-allclear.mp3"));

    const auto refused = client.get("/api/trigger/deleteSignal/ID_allClear");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body,
              "'all clear' is the signal of the allClear routine and cannot be deleted: choose another signal for it in Settings first");
    EXPECT_TRUE(Json::parse(client.get("/db").body)["signals"].contains("ID_allClear"));
}

TEST_F(EmergencyEndpoints, ASavedSentenceIsMadeBeforeTheAnswerAndAFailureKeepsTheOldRoutine) {
    Browser client = loggedInBrowser();
    {
        testing::StubSpeech speech;
        ASSERT_EQ(client.postJson("/db/settings/update", {{"emergencyRoutines.lockdown.spokenText", "Lockdown. Lock the doors."}}).body, "true");
        EXPECT_TRUE(std::filesystem::exists(spokenSentencePath("lockdown", "en", "Lockdown. Lock the doors.")));
        EXPECT_EQ(storedDb().settings.emergencyRoutines.lockdown.spokenText, "Lockdown. Lock the doors.");

        // Another language is another file; the old one goes.
        ASSERT_EQ(client.postJson("/db/settings/update", {{"speechLanguage", "de"}}).body, "true");
        EXPECT_TRUE(std::filesystem::exists(spokenSentencePath("lockdown", "de", "Lockdown. Lock the doors.")));
        EXPECT_FALSE(std::filesystem::exists(spokenSentencePath("lockdown", "en", "Lockdown. Lock the doors.")));
        const std::string calls = speech.calls();
        EXPECT_NE(calls.find("-v en"), std::string::npos);
        EXPECT_NE(calls.find("-v de"), std::string::npos);

        // Saving something else does not make the sentences again.
        const std::string before = speech.calls();
        ASSERT_EQ(client.postJson("/db/settings/update", {{"schoolName", "North"}}).body, "true");
        EXPECT_EQ(speech.calls(), before);
    }
    {
        testing::StubSpeech failing(1);
        const auto refused =
            client.postJson("/db/settings/update", {{"emergencyRoutines", {{"lockdown", {{"spokenText", "Hide."}, {"repeat", 5}}}}}});
        EXPECT_EQ(refused.status, 400);
        EXPECT_EQ(refused.body, "Could not make the spoken sentence of lockdown: espeak-ng failed (status 1); is 'de' one of its voices?");
        EXPECT_EQ(storedDb().settings.emergencyRoutines.lockdown.spokenText, "Lockdown. Lock the doors.");
        EXPECT_EQ(storedDb().settings.emergencyRoutines.lockdown.repeat, 1) << "the whole update is refused";
    }
    const auto badLanguage = client.postJson("/db/settings/update", {{"speechLanguage", "-w /etc/passwd"}});
    EXPECT_EQ(badLanguage.status, 400);
    EXPECT_EQ(storedDb().settings.speechLanguage, "de");
    EXPECT_EQ(client.postJson("/db/settings/update", {{"emergencyRoutines.shelter.repeat", 101}}).status, 400);
}

}  // namespace
}  // namespace quorvane
