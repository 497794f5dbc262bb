#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "support/metrics_series.h"
#include "web/metrics_endpoint.h"

namespace quorvane {
namespace {

using testing::seriesValue;

MetricsReading sampleReading() {
    MetricsReading reading;
    reading.counts.bells[{"lessonStart", "rang"}] = 3;
    reading.counts.bells[{"lessonEnd", "failed"}] = 1;
    reading.counts.httpAnswers[2] = 7;
    reading.counts.httpAnswers[4] = 2;
    reading.counts.failedLogins = 4;
    reading.counts.saveFailures = 1;
    reading.secondsSinceLastPass = 0.25;
    reading.secondsToNextBell = 600;
    reading.daysSinceCalendarSync = 1;
    reading.calendarDaysLeft = 200;
    reading.checks = {{"scheduler", HealthStatus::OK}, {"soundOutput", HealthStatus::WARNING}, {"dataFolder", HealthStatus::ERROR}};
    reading.activePlays = 2;
    reading.playerName = "North \"building\"";
    reading.version = "1.4.0+g0abc123";
    return reading;
}

TEST(MetricsText, EverySeriesCarriesThePlayerAndItsValue) {
    const std::string text = web::metricsText(sampleReading(), 5);
    const std::string player = R"(player="North \"building\"")";
    EXPECT_EQ(seriesValue(text, R"(quorvane_bells_total{kind="lessonStart",outcome="rang",)" + player + "}"), 3) << text;
    EXPECT_EQ(seriesValue(text, R"(quorvane_bells_total{kind="lessonEnd",outcome="failed",)" + player + "}"), 1);
    EXPECT_EQ(seriesValue(text, R"(quorvane_http_responses_total{class="2xx",)" + player + "}"), 7);
    EXPECT_EQ(seriesValue(text, R"(quorvane_http_responses_total{class="5xx",)" + player + "}"), 0) << "a class with no answer is 0, not absent";
    EXPECT_EQ(seriesValue(text, "quorvane_failed_logins_total{" + player + "}"), 4);
    EXPECT_EQ(seriesValue(text, "quorvane_save_failures_total{" + player + "}"), 1);
    EXPECT_EQ(seriesValue(text, "quorvane_throttled_addresses{" + player + "}"), 5);
    EXPECT_EQ(seriesValue(text, "quorvane_scheduler_last_pass_age_seconds{" + player + "}"), 0.25);
    EXPECT_EQ(seriesValue(text, "quorvane_next_bell_seconds{" + player + "}"), 600);
    EXPECT_EQ(seriesValue(text, "quorvane_calendar_sync_age_days{" + player + "}"), 1);
    EXPECT_EQ(seriesValue(text, "quorvane_calendar_data_days_left{" + player + "}"), 200);
    EXPECT_EQ(seriesValue(text, R"(quorvane_health_check_state{check="scheduler",)" + player + "}"), 0);
    EXPECT_EQ(seriesValue(text, R"(quorvane_health_check_state{check="soundOutput",)" + player + "}"), 1);
    EXPECT_EQ(seriesValue(text, R"(quorvane_health_check_state{check="dataFolder",)" + player + "}"), 2);
    EXPECT_EQ(seriesValue(text, "quorvane_active_plays{" + player + "}"), 2);
    EXPECT_NE(text.find("# TYPE quorvane_bells_total counter"), std::string::npos);
    EXPECT_NE(text.find("# TYPE quorvane_health_check_state gauge"), std::string::npos);
    EXPECT_EQ(seriesValue(text, "quorvane_build_info{" + player + R"(,version="1.4.0+g0abc123"})"), 1) << text;
}

TEST(MetricsText, ALongNameIsCutBetweenCharactersNeverInsideOne) {
    // Prometheus refuses a whole scrape over one label that is not UTF-8.
    MetricsReading reading = sampleReading();
    reading.playerName = std::string(99, 'a') + "\xC3\xA4" + "b";  // "ä" across the cut
    const std::string text = web::metricsText(reading, 0);
    const size_t label = text.find("quorvane_active_plays{player=\"");
    ASSERT_NE(label, std::string::npos) << text;
    const size_t start = label + std::string("quorvane_active_plays{player=\"").size();
    const std::string value = text.substr(start, text.find('"', start) - start);
    EXPECT_EQ(value.find('\xC3'), std::string::npos) << "no lone first byte of a character";
    EXPECT_EQ(value.rfind(std::string(90, 'a'), 0), 0u) << value;
    EXPECT_LE(value.size(), 103u);
}

TEST(MetricsText, WhatIsNotKnownIsLeftOutRatherThanZero) {
    MetricsReading reading;
    const std::string text = web::metricsText(reading, 0);
    // A zero would read as "the next bell is due now" or "synchronised today".
    for (const char* name : {"quorvane_next_bell_seconds", "quorvane_scheduler_last_pass_age_seconds", "quorvane_calendar_sync_age_days",
                             "quorvane_calendar_data_days_left", "quorvane_health_check_state{"})
        EXPECT_EQ(text.find(name), std::string::npos) << name;
    // Counters are there from the start, so that a rate over them works from the first scrape: above all
    // the scheduled bells' failures, which an alert must see even when the first comes right after a start.
    for (const char* kind : {"lessonStart", "lessonEnd", "preStart", "preEnd", "extraPlay"})
        for (const char* outcome : {"rang", "failed", "missed"})
            EXPECT_EQ(seriesValue(text, std::string(R"(quorvane_bells_total{kind=")") + kind + R"(",outcome=")" + outcome + R"(",player=""})"), 0)
                << kind << " " << outcome << "\n"
                << text;
    EXPECT_EQ(text.find(R"(kind="manualPlay")"), std::string::npos) << "only bells that were due are seeded";
}

}  // namespace
}  // namespace quorvane
