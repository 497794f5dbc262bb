#include "web/metrics_endpoint.h"

#include <gtest/gtest.h>

#include "core/version.h"
#include "support/metrics_series.h"
#include "web/journal_endpoints.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::seriesValue;

class MetricsEndpoint : public testing::WebServerTest {
protected:
    void TearDown() override {
        web::setHealthSources(std::nullopt);
        testing::WebServerTest::TearDown();
    }
};

TEST_F(MetricsEndpoint, ASessionOrTheTokenReadsThemAndNobodyElse) {
    testing::Browser admin = loggedInBrowser();
    testing::Browser tool = browser();
    const testing::HttpAnswer refused = tool.get("/metrics");
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.header("WWW-Authenticate"), "Bearer") << "a 401 names the scheme it expects";
    EXPECT_EQ(Json::parse(admin.get("/api/metrics/token").body), Json({{"token", nullptr}})) << "no token until one is made";
    EXPECT_EQ(tool.get("/metrics", {{"Authorization", "Bearer "}}).status, 401) << "an empty token is none";

    const std::string token = Json::parse(admin.post("/api/metrics/token", "").body)["token"];
    EXPECT_EQ(token.size(), 48u);
    const testing::HttpAnswer scraped = tool.get("/metrics", {{"Authorization", "Bearer " + token}});
    EXPECT_EQ(scraped.status, 200);
    EXPECT_EQ(scraped.header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_NE(scraped.body.find("quorvane_build_info{player=\"\",version=\"" + getVersion() + "\"} 1"), std::string::npos) << scraped.body;
    EXPECT_EQ(admin.get("/metrics").status, 200) << "a logged-in session needs no token";

    EXPECT_EQ(tool.get("/metrics", {{"Authorization", "Bearer " + token + "x"}}).status, 401);
    EXPECT_EQ(tool.get("/metrics", {{"Authorization", "Basic " + token}}).status, 401);
    EXPECT_EQ(tool.get("/api/metrics/token", {{"Authorization", "Bearer " + token}}).body, "No auth") << "the token reads the metrics only";

    const std::string renewed = Json::parse(admin.post("/api/metrics/token", "").body)["token"];
    EXPECT_NE(renewed, token);
    EXPECT_EQ(tool.get("/metrics", {{"Authorization", "Bearer " + token}}).status, 401) << "a renewed token ends the old one";
    EXPECT_EQ(tool.get("/metrics", {{"Authorization", "Bearer " + renewed}}).status, 200);
    {
        StateLock lock;
        EXPECT_EQ(shadow.view(lock)._metricsToken, renewed) << "kept with the password, not in the settings";
    }
    EXPECT_EQ(Json::parse(admin.get("/api/get/settings").body).dump().find(renewed), std::string::npos);
}

TEST_F(MetricsEndpoint, AnswersAndWrongPasswordsAreCountedAsTheyHappen) {
    testing::Browser admin = loggedInBrowser();
    const auto scrape = [&] { return admin.get("/metrics").body; };
    const std::string player = R"(player="")";
    const double notFound = seriesValue(scrape(), R"(quorvane_http_responses_total{class="4xx",)" + player + "}").value_or(-1);
    const double wrong = seriesValue(scrape(), "quorvane_failed_logins_total{" + player + "}").value_or(-1);
    testing::Browser stranger = browser();
    EXPECT_EQ(stranger.get("/api/get/nothing-here").status, 400);
    EXPECT_EQ(stranger.postJson("/auth/login", Json{{"userPassword", "wrong"}, {"remember", false}}).status, 400);
    EXPECT_EQ(stranger.postJson("/auth/login", Json{{"password", "a body of another shape"}}).status, 400);
    const std::string after = scrape();
    EXPECT_EQ(seriesValue(after, R"(quorvane_http_responses_total{class="4xx",)" + player + "}"), notFound + 3);
    EXPECT_EQ(seriesValue(after, "quorvane_failed_logins_total{" + player + "}"), wrong + 2) << "a guessed shape counts too";

    admin.postJson("/db/settings/update", Json{{"playerName", "North building"}});
    EXPECT_NE(scrape().find(R"(player="North building")"), std::string::npos) << "the name is read at each scrape";
    const testing::HttpAnswer tooLong = admin.postJson("/db/settings/update", Json{{"playerName", std::string(61, 'x')}});
    EXPECT_EQ(tooLong.status, 400);
    EXPECT_EQ(tooLong.body, "Invalid value for setting playerName: expected at most 60 characters");
    std::string sixtyLetters;
    for (int i = 0; i < 60; ++i) sixtyLetters += "\xC3\xA4";
    EXPECT_EQ(admin.postJson("/db/settings/update", Json{{"playerName", sixtyLetters}}).status, 200) << "characters are counted, not bytes";
}

}  // namespace
}  // namespace quorvane
