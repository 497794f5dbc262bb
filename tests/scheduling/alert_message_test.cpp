#include "scheduling/alert_message.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

JournalEntry bell(PlayKind kind, PlayOutcome outcome, OutcomeReason reason = OutcomeReason::NONE) {
    JournalEntry entry;
    entry.due = "2026-12-11T08:00:00";
    entry.kind = kind;
    entry.outcome = outcome;
    entry.reason = reason;
    entry.timetableName = "Regular day";
    entry.lesson = 0;
    return entry;
}

HealthCheck check(const std::string& name, HealthStatus status) {
    return {name, status, name + " is " + enumText(status), status == HealthStatus::ERROR ? "Do something about " + name : ""};
}

TEST(BellAlert, OnlyAScheduledBellThatFailedOrWasMissedCallsForOne) {
    EXPECT_FALSE(bellAlert(bell(PlayKind::LESSON_START, PlayOutcome::RANG)));
    EXPECT_FALSE(bellAlert(bell(PlayKind::LESSON_START, PlayOutcome::STOPPED, OutcomeReason::STOP_ALL)));
    EXPECT_FALSE(bellAlert(bell(PlayKind::CLOCK_STEP, PlayOutcome::NOTE, OutcomeReason::SET_BACK)));
    // A person who pressed the button sees the failure; an alert about it would only be noise.
    EXPECT_FALSE(bellAlert(bell(PlayKind::MANUAL_PLAY, PlayOutcome::FAILED, OutcomeReason::EXIT_STATUS)));
    EXPECT_FALSE(bellAlert(bell(PlayKind::ALARM, PlayOutcome::FAILED, OutcomeReason::EXIT_STATUS)));
    // A lockdown silences the bells on purpose.
    EXPECT_FALSE(bellAlert(bell(PlayKind::LESSON_END, PlayOutcome::MISSED, OutcomeReason::EMERGENCY)));
    // Its own notes never raise another alert.
    EXPECT_FALSE(bellAlert(bell(PlayKind::ALERT, PlayOutcome::NOTE)));

    for (const PlayKind kind : {PlayKind::LESSON_START, PlayKind::LESSON_END, PlayKind::PRE_START, PlayKind::PRE_END, PlayKind::EXTRA_PLAY}) {
        EXPECT_TRUE(bellAlert(bell(kind, PlayOutcome::FAILED, OutcomeReason::EXIT_STATUS))) << enumText(kind);
        EXPECT_TRUE(bellAlert(bell(kind, PlayOutcome::MISSED, OutcomeReason::NOT_RUNNING))) << enumText(kind);
    }
}

TEST(BellAlert, SaysWhichBellInWordsAndWhatToDo) {
    JournalEntry entry = bell(PlayKind::LESSON_START, PlayOutcome::FAILED, OutcomeReason::FILE_MISSING);
    entry.detail = "No such file: bell.mp3";
    const auto alert = bellAlert(entry);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->event, "bellFailed");
    EXPECT_EQ(alert->time, "2026-12-11T08:00:00");
    EXPECT_EQ(alert->message, "The start bell of lesson 1 at 08:00 (Regular day) failed: No such file: bell.mp3.");
    EXPECT_EQ(alert->remedy, "Upload the signal's file again, or choose another signal for this bell in the timetable.");
    EXPECT_EQ(alert->about["bell"]["reason"], "fileMissing");
    EXPECT_EQ(alert->about["bell"]["lesson"], 0);

    const auto missed = bellAlert(bell(PlayKind::LESSON_END, PlayOutcome::MISSED, OutcomeReason::NOT_RUNNING));
    ASSERT_TRUE(missed);
    EXPECT_EQ(missed->event, "bellMissed");
    EXPECT_EQ(missed->message, "The end bell of lesson 1 at 08:00 (Regular day) was missed.");
    EXPECT_NE(missed->remedy.find("not running"), std::string::npos) << missed->remedy;
}

TEST(HealthWatch, TellsOfATurnToErrorAndOfItsRecoveryOnceEach) {
    HealthWatch watch;
    // At the first look a check already in error is news; the fine ones are not.
    auto changes = watch.look({check("sound", HealthStatus::ERROR), check("disk", HealthStatus::OK)}, "t1");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].event, "checkError");
    EXPECT_EQ(changes[0].time, "t1");
    EXPECT_EQ(changes[0].message, "sound is error");
    EXPECT_EQ(changes[0].remedy, "Do something about sound");
    EXPECT_EQ(changes[0].about["check"]["name"], "sound");

    EXPECT_TRUE(watch.look({check("sound", HealthStatus::ERROR), check("disk", HealthStatus::WARNING)}, "t2").empty())
        << "still in error, and a warning is no error";

    changes = watch.look({check("sound", HealthStatus::WARNING), check("disk", HealthStatus::ERROR)}, "t3");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].event, "checkRecovered");
    EXPECT_EQ(changes[0].about["check"]["name"], "sound");
    EXPECT_EQ(changes[0].remedy, "");
    EXPECT_EQ(changes[1].event, "checkError");
    EXPECT_EQ(changes[1].about["check"]["name"], "disk");
}

TEST(AlertJson, CarriesEventPlayerTimeTheBellMessageAndRemedy) {
    const auto alert = bellAlert(bell(PlayKind::PRE_START, PlayOutcome::FAILED, OutcomeReason::EXIT_STATUS));
    ASSERT_TRUE(alert);
    const Json json = Json::parse(webhookJson(*alert, "North building"));
    std::vector<std::string> members;
    for (const auto& [key, value] : json.items()) members.push_back(key);
    EXPECT_EQ(members, (std::vector<std::string>{"event", "player", "time", "bell", "message", "remedy"}));
    EXPECT_EQ(json["player"], "North building");
    EXPECT_EQ(json["bell"]["kind"], "preStart");

    const Json test = Json::parse(webhookJson(testAlert("2026-12-11T10:00:00"), ""));
    EXPECT_EQ(test["event"], "test");
    EXPECT_FALSE(test.contains("bell"));
    EXPECT_FALSE(test.contains("check"));
}

TEST(AlertMail, NoTextOfTheSettingsOrTheJournalStartsAHeaderLineOfItsOwn) {
    JournalEntry entry = bell(PlayKind::LESSON_START, PlayOutcome::FAILED, OutcomeReason::EXIT_STATUS);
    entry.detail = "exit 1\r\nBcc: everyone@district.example\r\n.\r\nMAIL FROM:<x>";
    const auto alert = bellAlert(entry);
    ASSERT_TRUE(alert);
    const std::string mail =
        alertMail(*alert, "Nord\r\nBcc: all@x.example", {"bells@school.example", "it@district.example", "Fri, 11 Dec 2026 08:00:00 +0100"});
    const size_t bodyStart = mail.find("\r\n\r\n");
    ASSERT_NE(bodyStart, std::string::npos);
    const std::string header = mail.substr(0, bodyStart + 2);
    EXPECT_EQ(header.find("\nBcc"), std::string::npos) << header;
    EXPECT_NE(header.find("Subject: =?UTF-8?Q?Nord=0D=0ABcc=3A_all=40x=2Eexample=3A_a_bell_failed?=\r\n"), std::string::npos) << header;
    EXPECT_NE(header.find("To: <it@district.example>\r\n"), std::string::npos);
    EXPECT_NE(header.find("Date: Fri, 11 Dec 2026 08:00:00 +0100\r\n"), std::string::npos);
    // In the body the line breaks are gone, so no line is a lone "." or a header.
    const std::string body = mail.substr(bodyStart + 4);
    EXPECT_EQ(body.find("\r\nBcc"), std::string::npos) << body;
    EXPECT_EQ(body.find("\r\n.\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("What to do: "), std::string::npos);
}

TEST(AlertMail, PlainNamesStayReadable) {
    const std::string mail = alertMail(testAlert("2026-12-11T10:00:00"), "North building", {"a@b.example", "c@d.example", "x"});
    EXPECT_NE(mail.find("Subject: North building: test alert\r\n"), std::string::npos) << mail;
    EXPECT_NE(alertMail(testAlert("t"), "Zoë", {"a@b.example", "c@d.example", "x"}).find("Subject: =?UTF-8?Q?Zo=C3=AB=3A_test_alert?="),
              std::string::npos);
}

TEST(MailDate, WritesTheMomentInTheOffsetsLocalTime) {
    // 2026-12-11T07:00:00Z is a Friday.
    const int64_t moment = 1796972400;
    EXPECT_EQ(mailDate(moment, 3600), "Fri, 11 Dec 2026 08:00:00 +0100");
    EXPECT_EQ(mailDate(moment, 0), "Fri, 11 Dec 2026 07:00:00 +0000");
    EXPECT_EQ(mailDate(moment, -(8 * 3600)), "Thu, 10 Dec 2026 23:00:00 -0800");
    EXPECT_EQ(mailDate(moment, 5 * 3600 + 1800), "Fri, 11 Dec 2026 12:30:00 +0530");
}

}  // namespace
}  // namespace quorvane
