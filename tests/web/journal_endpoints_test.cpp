// The journal, health and monitoring answers over real HTTP, and the test ring.
#include "web/journal_endpoints.h"

#include <gtest/gtest.h>

#include "audio/playback_doubles.h"
#include "audio/player.h"
#include "core/clock.h"
#include "scheduling/bell_journal.h"
#include "storage/journal_files.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::waitUntil;

class JournalEndpoints : public testing::WebServerTest {
protected:
    void SetUp() override {
        WebServerTest::SetUp();
        openJournal(writer);
    }
    void TearDown() override {
        web::setHealthSources(std::nullopt);
        openJournal(nullptr);
        WebServerTest::TearDown();
    }
    std::vector<JournalEntry> today() {
        EXPECT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); }));
        writer->flush();
        return readJournalDay(journalFolder(), getDateString());
    }
    // Health sources that only the scheduler's last pass makes unhealthy.
    HealthSources passedAgo(std::chrono::milliseconds age) {
        HealthSources sources = HealthSources::ofThisProcess();
        const auto now = std::chrono::steady_clock::now();
        sources.steadyNow = [now] { return now; };
        sources.lastPass = [now, age] { return std::optional(now - age); };
        sources.saveError = [] { return std::optional<std::string>(); };
        return sources;
    }

    std::shared_ptr<JournalWriter> writer = std::make_shared<JournalWriter>(journalFolder());
};

JournalEntry entry(const std::string& due, PlayOutcome outcome) {
    JournalEntry e;
    e.due = due;
    e.outcome = outcome;
    return e;
}

TEST_F(JournalEndpoints, ADayAnswersItsEntriesInOrderAndTheirSummary) {
    writer->submit(entry("2024-09-02T09:00:00", PlayOutcome::MISSED));
    writer->submit(entry("2024-09-02T08:00:00", PlayOutcome::RANG));
    writer->submit(entry("2024-09-02T08:30:00", PlayOutcome::FAILED));
    writer->submit(entry("2024-09-03T08:00:00", PlayOutcome::STOPPED));
    writer->flush();
    testing::Browser browser = loggedInBrowser();
    const auto answer = browser.get("/api/get/journal?date=2024-09-02");
    ASSERT_EQ(answer.status, 200) << answer.body;
    const Json day = parseJson(answer.body);
    EXPECT_EQ(day["date"], "2024-09-02");
    ASSERT_EQ(day["entries"].size(), 3u);
    EXPECT_EQ(day["entries"][0]["due"], "2024-09-02T08:00:00");
    EXPECT_EQ(day["entries"][0]["outcome"], "rang");
    EXPECT_EQ(day["entries"][2]["outcome"], "missed");
    EXPECT_EQ(day["summary"], parseJson(R"({"rang": 1, "failed": 1, "missed": 1, "stopped": 0})"));
}

TEST_F(JournalEndpoints, ABadDateIsRefusedAndNoDateMeansToday) {
    testing::Browser browser = loggedInBrowser();
    for (const char* bad : {"2024-02-30", "..%2F..%2Fetc%2Fpasswd", "2024-9-2", "", "20240902"}) {
        const auto answer = browser.get(std::string("/api/get/journal?date=") + bad);
        EXPECT_EQ(answer.status, 400) << bad;
        EXPECT_EQ(answer.body, "Bad date: use the form 2024-09-02");
    }
    const auto today = browser.get("/api/get/journal");
    ASSERT_EQ(today.status, 200);
    EXPECT_EQ(parseJson(today.body)["date"], getDateString());
}

TEST_F(JournalEndpoints, JournalAndHealthNeedALoginButMonitoringDoesNot) {
    loggedInBrowser();
    testing::Browser stranger = browser();
    EXPECT_EQ(stranger.get("/api/get/journal").body, "No auth");
    EXPECT_EQ(stranger.get("/api/get/health").body, "No auth");

    web::setHealthSources(passedAgo(std::chrono::milliseconds(200)));
    auto answer = stranger.get("/healthz");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "ok");
    web::setHealthSources(passedAgo(std::chrono::seconds(5)));
    answer = stranger.get("/healthz");
    EXPECT_EQ(answer.status, 503);
    EXPECT_EQ(answer.body, "stalled");
}

TEST_F(JournalEndpoints, HealthListsEveryCheckForAPerson) {
    web::setHealthSources(passedAgo(std::chrono::seconds(10)));
    testing::Browser browser = loggedInBrowser();
    const auto answer = browser.get("/api/get/health");
    ASSERT_EQ(answer.status, 200);
    const Json checks = parseJson(answer.body);
    ASSERT_TRUE(checks.is_array());
    std::vector<std::string> names;
    for (const Json& check : checks) {
        names.push_back(check["name"]);
        EXPECT_EQ(check.size(), 4u);
        EXPECT_FALSE(check["message"].get<std::string>().empty());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"scheduler", "bells", "clock", "players", "soundOutput", "dataFolder", "calendarSync", "calendarData",
                                               "journal"}));
    EXPECT_EQ(checks[0]["status"], "error");
}

TEST_F(JournalEndpoints, ATestRingPlaysLikeABellAndIsJournaledAsATest) {
    testing::Browser browser = loggedInBrowser();
    EXPECT_EQ(browser.get("/api/trigger/testRing/ID_ping").body, "ok");
    EXPECT_TRUE(players.waitForTrace("ping"));
    {
        StateLock lock;
        db.edit(lock).signals.find("ID_melody")->filename = "gone.mp3";
    }
    const auto missing = browser.get("/api/trigger/testRing/ID_melody");
    EXPECT_EQ(missing.status, 400);
    EXPECT_EQ(browser.get("/api/trigger/testRing/ID_unknown").status, 400);

    const auto entries = today();
    ASSERT_EQ(entries.size(), 2u);
    const auto rang = entries[0].outcome == PlayOutcome::RANG ? entries[0] : entries[1];
    const auto failed = entries[0].outcome == PlayOutcome::RANG ? entries[1] : entries[0];
    EXPECT_EQ(rang.kind, PlayKind::TEST);
    EXPECT_EQ(rang.signalId, "ID_ping");
    EXPECT_EQ(rang.outcome, PlayOutcome::RANG);
    EXPECT_EQ(failed.kind, PlayKind::TEST);
    EXPECT_EQ(failed.reason, OutcomeReason::FILE_MISSING);
}

}  // namespace
}  // namespace quorvane
