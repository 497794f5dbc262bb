#include "model/alert_settings.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

AlertSettings withWebhook(const std::string& url) {
    AlertSettings settings;
    settings.webhookUrl = url;
    return settings;
}

AlertSettings withMail(const std::string& to, const std::string& server = "smtp://mail.school.example:25", const std::string& from = "") {
    AlertSettings settings;
    settings.mailTo = to;
    settings.smtpServer = server;
    settings.mailFrom = from;
    return settings;
}

TEST(AlertSettings, NothingSetOrUsableAddressesAreFine) {
    EXPECT_EQ(alertSettingsProblem({}), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withWebhook("https://hooks.district.example/bells?key=a1")), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withWebhook("http://127.0.0.1:8080/hook")), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withWebhook("http://[::1]:8080/hook")), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withWebhook("https://hooks.example/x?reply=caretaker@school.example")), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withMail("caretaker@school.example")), std::nullopt);
    EXPECT_EQ(alertSettingsProblem(withMail("it+bells@district.example", "smtps://relay.district.example", "bells@school.example")), std::nullopt);
}

TEST(AlertSettings, AWebhookMustBeAWebAddressWithAHost) {
    for (const char* url : {"ftp://x.example/", "file:///etc/passwd", "hooks.example/x", "http://", "http:///path", "https://user:pw@host/x",
                            "http://host/a b", "http://host/\r\nX-Injected: 1", "http://host/caf\xc3\xa9"}) {
        const auto problem = alertSettingsProblem(withWebhook(url));
        ASSERT_TRUE(problem) << url;
        EXPECT_EQ(problem->rfind("webhookUrl: expected ", 0), 0u) << *problem;
    }
    EXPECT_TRUE(alertSettingsProblem(withWebhook("https://x.example/" + std::string(2000, 'a'))));
}

TEST(AlertSettings, MailAddressesCannotCarryHeaderLinesOrSeveralRecipients) {
    // These reach the mail's header lines and the SMTP envelope.
    for (const char* to : {"caretaker", "@school.example", "caretaker@", "a@b@c", "caretaker@school.example\r\nBcc: all@district.example",
                           "a@school.example, b@school.example", "Care Taker <c@school.example>", "a b@school.example"}) {
        const auto problem = alertSettingsProblem(withMail(to));
        ASSERT_TRUE(problem) << to;
        EXPECT_EQ(problem->rfind("mailTo: expected ", 0), 0u) << *problem;
    }
    EXPECT_EQ(alertSettingsProblem(withMail("c@school.example", "smtp://m.example", "bells\n@school.example"))->rfind("mailFrom: ", 0), 0u);
}

TEST(AlertSettings, AMailNeedsItsServerAndTheServerIsSmtp) {
    EXPECT_EQ(alertSettingsProblem(withMail("c@school.example", "")), "smtpServer: expected the SMTP server that sends the mail");
    EXPECT_EQ(alertSettingsProblem(withMail("c@school.example", "http://mail.example"))->rfind("smtpServer: expected ", 0), 0u);
    // A server kept while the mail is off is harmless.
    EXPECT_EQ(alertSettingsProblem(withMail("", "smtp://mail.school.example")), std::nullopt);
}

}  // namespace
}  // namespace quorvane
