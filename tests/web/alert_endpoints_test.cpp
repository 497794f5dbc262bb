// "Send a test alert" over real HTTP, to a webhook receiver and an SMTP stand-in on loopback.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "remote/alert_receivers.h"
#include "scheduling/bell_journal.h"
#include "storage/journal_files.h"
#include "storage/stored_records.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::SmtpStandIn;
using testing::WebhookReceiver;

class AlertEndpoints : public testing::WebServerTest {
protected:
    void SetUp() override {
        WebServerTest::SetUp();
        openJournal(writer);
    }
    void TearDown() override {
        openJournal(nullptr);
        WebServerTest::TearDown();
    }
    std::vector<JournalEntry> alertNotes() {
        writer->flush();
        std::vector<JournalEntry> notes;
        for (const JournalEntry& entry : readJournalDay(journalFolder(), getDateString()))
            if (entry.kind == PlayKind::ALERT) notes.push_back(entry);
        return notes;
    }
    std::shared_ptr<JournalWriter> writer = std::make_shared<JournalWriter>(journalFolder());
};

TEST_F(AlertEndpoints, ATestAlertReachesTheWebhookAndTheMailAndIsJournaled) {
    WebhookReceiver receiver;
    SmtpStandIn mailServer;
    Browser client = loggedInBrowser();
    ASSERT_EQ(client
                  .postJson("/db/settings/update",
                            {{"playerName", "North building"},
                             {"alerts", {{"webhookUrl", receiver.url()}, {"mailTo", "it@district.example"}, {"smtpServer", mailServer.url()}}}})
                  .body,
              "true");
    const auto answer = client.post("/api/alerts/test", "", "text/plain");
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(Json::parse(answer.body), Json({{"webhook", {{"sent", true}, {"error", ""}}}, {"mail", {{"sent", true}, {"error", ""}}}}));

    ASSERT_EQ(receiver.received().size(), 1u);
    const Json sent = Json::parse(receiver.received()[0].body);
    EXPECT_EQ(sent["event"], "test");
    EXPECT_EQ(sent["player"], "North building");
    EXPECT_EQ(sent["time"].get<std::string>().substr(0, 10), getDateString());
    ASSERT_EQ(mailServer.mails().size(), 1u);
    EXPECT_EQ(mailServer.mails()[0].from, "<quorvane-player@localhost>");
    EXPECT_NE(mailServer.mails()[0].data.find("Subject: North building: test alert\r\n"), std::string::npos) << mailServer.mails()[0].data;

    const auto notes = alertNotes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].detail.rfind("Alert by webhook sent: ", 0), 0u) << notes[0].detail;
    EXPECT_EQ(notes[1].detail.rfind("Alert by mail to it@district.example sent: ", 0), 0u) << notes[1].detail;
}

TEST_F(AlertEndpoints, AFailedTestSaysWhyAndNothingSetIsAClientError) {
    Browser client = loggedInBrowser();
    const auto unset = client.post("/api/alerts/test", "", "text/plain");
    EXPECT_EQ(unset.status, 400);
    EXPECT_EQ(unset.body, "Set a webhook address or an e-mail address for alerts first");

    WebhookReceiver receiver(500);
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alerts.webhookUrl", receiver.url()}}).body, "true");
    const auto failed = client.post("/api/alerts/test", "", "text/plain");
    ASSERT_EQ(failed.status, 200);
    EXPECT_EQ(Json::parse(failed.body), Json({{"webhook", {{"sent", false}, {"error", "The webhook answered 500"}}}}));
    ASSERT_EQ(alertNotes().size(), 1u);
    EXPECT_NE(alertNotes()[0].detail.find("not sent (a test, not tried again): The webhook answered 500."), std::string::npos);

    EXPECT_EQ(browser().post("/api/alerts/test", "", "text/plain").body, "No auth") << "a stranger sends nothing";
    EXPECT_EQ(receiver.received().size(), 1u);
}

TEST_F(AlertEndpoints, StoredAddressesWithALineBreakAreNeverSent) {
    // A restored backup or an edited file is not checked as the settings page is: a line break in an
    // address would write headers or SMTP commands of its own.
    SmtpStandIn mailServer;
    {
        StateLock lock;
        AlertSettings& alerts = db.edit(lock).settings.alerts;
        alerts.mailTo = "it@district.example>\r\nRCPT TO:<everyone@district.example";
        alerts.smtpServer = mailServer.url();
    }
    Browser client = loggedInBrowser();
    const auto answer = client.post("/api/alerts/test", "", "text/plain");
    ASSERT_EQ(answer.status, 200) << answer.body;
    const Json mail = Json::parse(answer.body)["mail"];
    EXPECT_FALSE(mail["sent"].get<bool>());
    EXPECT_EQ(mail["error"].get<std::string>().rfind("The alert settings are not usable (mailTo: expected", 0), 0u) << mail;
    EXPECT_TRUE(mailServer.mails().empty());
}

}  // namespace
}  // namespace quorvane
