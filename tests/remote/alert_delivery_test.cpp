#include "remote/alert_delivery.h"

#include <chrono>

#include <gtest/gtest.h>

#include "remote/alert_receivers.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::SilentListener;
using testing::SmtpStandIn;
using testing::WebhookReceiver;

TEST(WebhookDelivery, PostsTheJsonAndCountsOnlyA2xxAnswerAsSent) {
    WebhookReceiver receiver;
    const DeliveryOutcome sent = postJsonToWebhook(receiver.url(), R"({"event": "test"})");
    EXPECT_TRUE(sent.sent) << sent.error;
    EXPECT_EQ(sent.error, "");
    ASSERT_EQ(receiver.received().size(), 1u);
    EXPECT_EQ(receiver.received()[0].body, R"({"event": "test"})");
    EXPECT_EQ(receiver.received()[0].contentType, "application/json");

    receiver.answerWith(500);
    const DeliveryOutcome refused = postJsonToWebhook(receiver.url(), "{}");
    EXPECT_FALSE(refused.sent);
    EXPECT_EQ(refused.error, "The webhook answered 500");
}

TEST(WebhookDelivery, FollowsNoRedirect) {
    // A redirect could send the alert anywhere, and a 3xx did not take it.
    WebhookReceiver receiver(302);
    const DeliveryOutcome outcome = postJsonToWebhook(receiver.url(), "{}");
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.error, "The webhook answered 302");
    EXPECT_EQ(receiver.redirectsFollowed(), 0);
}

TEST(WebhookDelivery, AReceiverThatIsAbsentOrHangsFailsInTime) {
    int closedPort = 0;
    {
        SilentListener gone;
        closedPort = gone.port();
    }
    const DeliveryOutcome absent = postJsonToWebhook("http://127.0.0.1:" + std::to_string(closedPort) + "/hook", "{}", 2s);
    EXPECT_FALSE(absent.sent);
    EXPECT_NE(absent.error, "");

    SilentListener silent;
    const auto started = std::chrono::steady_clock::now();
    const DeliveryOutcome hung = postJsonToWebhook("http://127.0.0.1:" + std::to_string(silent.port()) + "/hook", "{}", 300ms);
    EXPECT_FALSE(hung.sent);
    EXPECT_NE(hung.error, "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "the time limit holds for a receiver that never answers";
}

TEST(WebhookDelivery, TakesOnlyWebAddresses) {
    for (const char* url : {"file:///etc/passwd", "smtp://127.0.0.1:1", "ftp://127.0.0.1/x"}) {
        const DeliveryOutcome outcome = postJsonToWebhook(url, "{}", 1s);
        EXPECT_FALSE(outcome.sent) << url;
        EXPECT_NE(outcome.error, "") << url;
    }
}

TEST(MailDelivery, HandsTheMailToTheServerWithItsEnvelope) {
    SmtpStandIn server;
    const std::string message =
        "From: <bells@school.example>\r\nTo: <caretaker@school.example>\r\nSubject: test\r\n\r\nA bell failed.\r\n"
        ".A line that starts with a dot\r\n";
    const DeliveryOutcome outcome = sendMail({server.url(), "bells@school.example", "caretaker@school.example", message});
    ASSERT_TRUE(outcome.sent) << outcome.error;
    const auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].from, "<bells@school.example>");
    ASSERT_EQ(mails[0].to.size(), 1u);
    EXPECT_EQ(mails[0].to[0], "<caretaker@school.example>");
    // The dot of the last line was doubled on the way and undone at the far end: the body is whole.
    EXPECT_EQ(mails[0].data, message);
}

TEST(MailDelivery, ARefusedRecipientOrAnAbsentServerIsNotSent) {
    SmtpStandIn refusing(true);
    const DeliveryOutcome refused = sendMail({refusing.url(), "bells@school.example", "nobody@school.example", "Subject: x\r\n\r\nx\r\n"});
    EXPECT_FALSE(refused.sent);
    EXPECT_NE(refused.error, "");
    EXPECT_TRUE(refusing.mails().empty());

    int closedPort = 0;
    {
        SilentListener gone;
        closedPort = gone.port();
    }
    const DeliveryOutcome absent =
        sendMail({"smtp://127.0.0.1:" + std::to_string(closedPort), "bells@school.example", "a@school.example", "Subject: x\r\n\r\nx\r\n"}, 2s);
    EXPECT_FALSE(absent.sent);
    EXPECT_NE(absent.error, "");
}

}  // namespace
}  // namespace quorvane
