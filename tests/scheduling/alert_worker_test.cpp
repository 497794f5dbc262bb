#include "scheduling/alert_worker.h"

#include <gtest/gtest.h>

#include "audio/journal_sink.h"
#include "scheduling/alert_worker_parts.h"
#include "scheduling/bell_journal.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::failedBell;
using testing::RecordedAlerts;
using Time = AlertWorker::Time;

TEST(AlertWorker, SendsAFailedBellOnEveryWayThatIsSetAndNotesEachSend) {
    RecordedAlerts recorded;
    AlertWorker worker(recorded.parts());
    const Time start{};
    worker.notice(failedBell(), start);
    worker.step(start);
    ASSERT_EQ(recorded.sends.size(), 2u);
    EXPECT_EQ(recorded.sends[0].channel, AlertChannel::WEBHOOK);
    EXPECT_EQ(recorded.sends[1].channel, AlertChannel::MAIL);
    EXPECT_EQ(recorded.sends[0].message.event, "bellFailed");
    ASSERT_EQ(recorded.notes.size(), 2u);
    EXPECT_EQ(recorded.notes[0].kind, PlayKind::ALERT);
    EXPECT_EQ(recorded.notes[0].outcome, PlayOutcome::NOTE);
    EXPECT_EQ(recorded.notes[0].due, "2026-12-11T08:00:05");
    EXPECT_EQ(recorded.notes[0].detail, "Alert by webhook sent: " + recorded.sends[0].message.message);
    EXPECT_EQ(recorded.notes[1].detail.rfind("Alert by mail to it@district.example sent: ", 0), 0u) << recorded.notes[1].detail;
    EXPECT_EQ(worker.waiting(), 0u);
}

TEST(AlertWorker, RetriesAFailedSendAfterOneFiveAndThirtyMinutesAndJournalsEachAttempt) {
    RecordedAlerts recorded;
    recorded.addresses.alerts.mailTo = "";  // the webhook only
    for (int i = 0; i < 4; ++i) recorded.outcomes.push_back({false, "Connection refused"});
    AlertWorker worker(recorded.parts());
    const Time start{};
    worker.notice(failedBell(), start);
    worker.step(start);
    worker.step(start + 59s);
    EXPECT_EQ(recorded.sends.size(), 1u) << "not before its minute";
    worker.step(start + 1min);
    worker.step(start + 1min + 5min);
    worker.step(start + 6min + 29min);
    EXPECT_EQ(recorded.sends.size(), 3u);
    worker.step(start + 6min + 30min);
    ASSERT_EQ(recorded.sends.size(), 4u);
    worker.step(start + 24h);
    EXPECT_EQ(recorded.sends.size(), 4u) << "given up after the fourth attempt";
    EXPECT_EQ(worker.waiting(), 0u);

    ASSERT_EQ(recorded.notes.size(), 4u);
    const std::string alert = recorded.sends[0].message.message;
    EXPECT_EQ(recorded.notes[0].detail, "Alert by webhook not sent (attempt 1 of 4, next in 1 min): Connection refused. The alert: " + alert);
    EXPECT_EQ(recorded.notes[1].detail, "Alert by webhook not sent (attempt 2 of 4, next in 5 min): Connection refused. The alert: " + alert);
    EXPECT_EQ(recorded.notes[2].detail, "Alert by webhook not sent (attempt 3 of 4, next in 30 min): Connection refused. The alert: " + alert);
    EXPECT_EQ(recorded.notes[3].detail, "Alert by webhook not sent (attempt 4 of 4, given up): Connection refused. The alert: " + alert);
    EXPECT_EQ(recorded.notes[3].code, 4);
}

TEST(AlertWorker, ASuccessAfterAFailureEndsTheRetries) {
    RecordedAlerts recorded;
    recorded.addresses.alerts.mailTo = "";
    recorded.outcomes.push_back({false, "The webhook answered 503"});
    AlertWorker worker(recorded.parts());
    const Time start{};
    worker.notice(failedBell(), start);
    worker.step(start);
    worker.step(start + 1min);
    worker.step(start + 2h);
    EXPECT_EQ(recorded.sends.size(), 2u);
    ASSERT_EQ(recorded.notes.size(), 2u);
    EXPECT_EQ(recorded.notes[1].detail.rfind("Alert by webhook sent: ", 0), 0u);
}

TEST(AlertWorker, AStopEndsTheRoundBetweenTwoSends) {
    // A receiver that is down makes every send wait its time limit: the stop must not wait for them all.
    RecordedAlerts recorded;
    std::stop_source stopping;
    AlertWorkerParts parts = recorded.parts();
    const auto send = parts.deliver;
    parts.deliver = [&](const AlertWorkerParts::Addresses& addresses, AlertChannel channel, const AlertMessage& message) {
        stopping.request_stop();
        return send(addresses, channel, message);
    };
    AlertWorker worker(std::move(parts));
    const Time start{};
    for (int i = 0; i < 3; ++i) worker.notice(failedBell(), start);
    worker.step(start, stopping.get_token());
    EXPECT_EQ(recorded.sends.size(), 1u);
}

TEST(AlertWorker, NothingIsSentOrNotedWhenNoWayIsSetOrNothingWentWrong) {
    RecordedAlerts recorded;
    recorded.addresses.alerts = {};
    AlertWorker worker(recorded.parts());
    const Time start{};
    worker.notice(failedBell(), start);
    JournalEntry rang = failedBell();
    rang.outcome = PlayOutcome::RANG;
    worker.notice(rang, start);
    worker.step(start);
    worker.step(start + 2h);
    EXPECT_TRUE(recorded.sends.empty());
    EXPECT_TRUE(recorded.notes.empty());
    EXPECT_EQ(worker.waiting(), 0u);
}

TEST(AlertWorker, WatchesTheHealthChecksAfterStartUpAndTellsOfEachChange) {
    RecordedAlerts recorded;
    recorded.addresses.alerts.mailTo = "";
    recorded.checks = {{"soundOutput", HealthStatus::ERROR, "No sound card", "Connect the loudspeakers"}};
    AlertWorker worker(recorded.parts(true));
    const Time start{};
    worker.step(start);
    worker.step(start + 59s);
    EXPECT_EQ(recorded.healthLooks, 0) << "the checks settle first";
    worker.step(start + 60s);
    ASSERT_EQ(recorded.sends.size(), 1u);
    EXPECT_EQ(recorded.sends[0].message.event, "checkError");
    EXPECT_EQ(recorded.sends[0].message.remedy, "Connect the loudspeakers");
    worker.step(start + 75s);
    worker.step(start + 90s);
    EXPECT_EQ(recorded.healthLooks, 2) << "every 30 seconds";
    EXPECT_EQ(recorded.sends.size(), 1u) << "an error that stays is told once";
    recorded.checks[0].status = HealthStatus::OK;
    worker.step(start + 120s);
    ASSERT_EQ(recorded.sends.size(), 2u);
    EXPECT_EQ(recorded.sends[1].message.event, "checkRecovered");
}

TEST(AlertWorker, BellsReachTheInstalledWorkerThroughTheJournal) {
    RecordedAlerts recorded;
    const auto worker = std::make_shared<AlertWorker>(recorded.parts());
    const testing::TempDir folder;
    const auto writer = std::make_shared<JournalWriter>(folder / "journal");
    openJournal(writer);
    installAlertWorker(worker);
    toJournal(failedBell());
    installAlertWorker(nullptr);
    toJournal(failedBell());
    openJournal(nullptr);
    EXPECT_EQ(worker->waiting(), 2u) << "one delivery per way, and none once the worker is gone";
}

TEST(TestAlert, GoesOutOnceOnEachWayThatIsSetAndSaysHowItWent) {
    RecordedAlerts recorded;
    recorded.outcomes = {{true, ""}, {false, "Login denied"}};
    const auto results = sendTestAlert(recorded.parts());
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].channel, AlertChannel::WEBHOOK);
    EXPECT_TRUE(results[0].outcome.sent);
    EXPECT_EQ(results[1].channel, AlertChannel::MAIL);
    EXPECT_EQ(results[1].outcome.error, "Login denied");
    EXPECT_EQ(recorded.sends[0].message.event, "test");
    ASSERT_EQ(recorded.notes.size(), 2u);
    EXPECT_EQ(recorded.notes[1].detail.rfind("Alert by mail to it@district.example not sent (a test, not tried again): Login denied.", 0), 0u)
        << recorded.notes[1].detail;

    RecordedAlerts none;
    none.addresses.alerts = {};
    EXPECT_TRUE(sendTestAlert(none.parts()).empty());
    EXPECT_TRUE(none.sends.empty());
}

}  // namespace
}  // namespace quorvane
