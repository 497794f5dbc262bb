#include "remote/api.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "remote/log_lines.h"
#include "remote/service_double.h"
#include "remote/time_limits.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::string_literals;
using testing::hasLogLine;
using testing::LogCapture;
using testing::logLines;
using testing::logLinesContaining;
using testing::readFile;
using testing::ServiceDouble;
using testing::ServiceUrlOverride;
using testing::TempDir;
using testing::writeFile;

const std::string JSON_UTF8 = "application/json; charset=utf-8";

class ApiTest : public ::testing::Test {
protected:
    ServiceDouble service;
    ServiceUrlOverride url{service.url()};
    LogCapture log;

    // Leaves networkState at ERROR, so that a test can see it become OK.
    void failOnce() {
        testing::RefusingAddress refusing;
        ServiceUrlOverride nowhere(refusing.url());
        ASSERT_FALSE(Api::ping().isOk());
        ASSERT_EQ(Api::networkState(), NetworkState::ERROR);
        log.clear();
    }
};

TEST_F(ApiTest, JsonWithACharsetGivesAJsonPayload) {
    failOnce();
    service.answerJson("ping", Json{{"calendarVersion", 3}});
    const ApiResult result = Api::ping();
    ASSERT_TRUE(result.isOk());
    const Json* json = std::get_if<Json>(&*result.getValue());
    ASSERT_NE(json, nullptr);
    EXPECT_EQ((*json)["calendarVersion"], 3);
    EXPECT_EQ(Api::networkState(), NetworkState::OK);
    EXPECT_EQ(logLines(log), std::vector<std::string>{"RESP 200 {\"calendarVersion\": 3}"});
}

TEST_F(ApiTest, ErrorStatusGivesErrWithTheBodyAndTheServiceCountsAsReached) {
    failOnce();
    service.answer("getCalendarRegistry", 404, "No registry here", "text/plain");
    const ApiResult result = Api::getCalendarRegistry();
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(std::get<std::string>(result.getError()), "No registry here");
    EXPECT_EQ(Api::networkState(), NetworkState::OK);
    EXPECT_TRUE(hasLogLine(log, "RESP 404 No registry here"));

    service.answerJson("ping", Json{{"reason", "overloaded"}}, 500);
    const ApiResult jsonError = Api::ping();
    ASSERT_FALSE(jsonError.isOk());
    EXPECT_EQ(std::get<Json>(jsonError.getError())["reason"], "overloaded");
}

TEST_F(ApiTest, UnreachableServiceGivesErrTheWarningAndError) {
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    ASSERT_TRUE(Api::ping().isOk());
    ASSERT_EQ(Api::networkState(), NetworkState::OK);
    log.clear();

    testing::RefusingAddress refusing;
    ServiceUrlOverride nowhere(refusing.url());
    const ApiResult result = Api::ping();
    ASSERT_FALSE(result.isOk());
    const auto* message = std::get_if<std::string>(&result.getError());
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message->find("127.0.0.1"), std::string::npos) << *message;
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
    EXPECT_EQ(logLines(log), std::vector<std::string>{"Internet is unreachable"});
}

TEST_F(ApiTest, JsonThatDoesNotParseIsHandledLikeAnUnreachableService) {
    service.answer("ping", 200, "{\"calendarVersion\": ", JSON_UTF8);
    const ApiResult result = Api::ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_TRUE(std::holds_alternative<std::string>(result.getError()));
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
    EXPECT_EQ(logLines(log), std::vector<std::string>{"Internet is unreachable"}) << "no RESP line for an unusable answer";
}

TEST_F(ApiTest, AnswerWithoutContentTypeGivesTheRawBytes) {
    const std::string bytes = "ID3\0\x01\xff\xfe"s;
    testing::RawHttpAnswer raw("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\n" + bytes);
    ServiceUrlOverride rawUrl(raw.url());
    const ApiResult result = Api::get({{"c", "downloadAnnouncement"}, {"id", "x"}});
    ASSERT_TRUE(result.isOk());
    ASSERT_TRUE(std::holds_alternative<RawBody>(*result.getValue()));
    EXPECT_EQ(std::get<RawBody>(*result.getValue()).bytes, bytes);
    EXPECT_TRUE(hasLogLine(log, "RESP 200 <7 bytes>"));
}

TEST_F(ApiTest, ParametersAreSentInTheirOrderAndEncoded) {
    service.answer("zeta", 200, "fine", "text/plain");
    const ApiResult result = Api::get({{"c", "zeta"}, {"b", "a b&c=d/ä"}, {"a", "1"}});
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(std::get<std::string>(*result.getValue()), "fine");
    EXPECT_EQ(service.targets().back(), "/api/player/v1?c=zeta&b=a%20b%26c%3Dd%2F%C3%A4&a=1");
}

TEST_F(ApiTest, TheServiceAddressMayCarryAPath) {
    ServiceUrlOverride withPath(service.url() + "/mirror/");
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    ASSERT_TRUE(Api::ping().isOk());
    EXPECT_EQ(service.targets().back(), "/mirror/api/player/v1?c=ping");
    EXPECT_EQ(Api::baseUrl(), service.url() + "/mirror");
}

TEST_F(ApiTest, AnUnusableAddressIsAFailedRequest) {
    ServiceUrlOverride wrongScheme("gopher://127.0.0.1:70");
    const ApiResult result = Api::ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
    EXPECT_TRUE(hasLogLine(log, "Internet is unreachable"));
}

TEST_F(ApiTest, TheStateKnowsWhenARequestLastSetIt) {
    using std::chrono::seconds;
    Api::forgetNetworkStateForTesting();
    EXPECT_EQ(Api::networkState(), NetworkState::UNKNOWN);
    EXPECT_EQ(Api::networkStateAge(), std::nullopt) << "never checked since start";

    service.answerJson("ping", Json{{"calendarVersion", 1}});
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(Api::ping().isOk());
    const auto after = std::chrono::steady_clock::now();
    ASSERT_TRUE(Api::networkStateAge(after).has_value());
    EXPECT_LE(*Api::networkStateAge(after), after - before);
    EXPECT_GE(*Api::networkStateAge(after), seconds(0));
    // Three minutes later by the steady clock, without waiting for them.
    const auto later = Api::networkStateAge(after + std::chrono::minutes(3));
    EXPECT_GE(*later, seconds(180));
    EXPECT_LE(*later, seconds(180) + (after - before));

    // A failed request is a check too: its moment replaces the earlier one.
    const auto failedFrom = std::chrono::steady_clock::now();
    {
        testing::RefusingAddress refusing;
        ServiceUrlOverride nowhere(refusing.url());
        ASSERT_FALSE(Api::ping().isOk());
    }
    EXPECT_LE(*Api::networkStateAge(), std::chrono::steady_clock::now() - failedFrom);
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
}

class ApiTimeLimitTest : public ApiTest {
protected:
    // 5 s / 15 s become 50 ms / 150 ms.
    ApiTimeLimitTest() { shortenTimeLimitsForTesting(100); }
    ~ApiTimeLimitTest() override { shortenTimeLimitsForTesting(1); }
};

TEST_F(ApiTimeLimitTest, AServiceThatDoesNotAnswerInTimeIsAFailedRequest) {
    service.answerJson("ping", Json{{"calendarVersion", 1}});
    service.hold("ping");
    const auto started = std::chrono::steady_clock::now();
    const ApiResult result = Api::ping();
    const auto waited = std::chrono::steady_clock::now() - started;
    service.release();
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
    EXPECT_TRUE(hasLogLine(log, "Internet is unreachable"));
    EXPECT_LT(waited, std::chrono::seconds(3));
}

TEST_F(ApiTimeLimitTest, AnAnswerThatTricklesInIsCutOffAtTheWholeLimit) {
    // Each piece comes within the read limit, but the whole answer would take far longer than allowed.
    service.on("ping", [](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(40, "application/json", [](size_t offset, size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return sink.write(offset == 0 ? "{" : " ", 1);
        });
    });
    const ApiResult result = Api::ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_NE(std::get<std::string>(result.getError()).find("did not arrive within"), std::string::npos) << std::get<std::string>(result.getError());
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DownloadTest : public ApiTest {
protected:
    TempDir dir;
    std::string path = (dir / "announcement.mp3").string();
};

TEST_F(DownloadTest, AudioIsWrittenByteForByte) {
    const std::string audio = "\xff\xfb\x90\x00 frames \0 more"s;
    service.answer("downloadAnnouncement", 200, audio, "audio/mpeg");
    writeFile(path, "an older and much longer announcement file");
    const DownloadResult result = Api::downloadAnnouncement("welcome", path);
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(readFile(path), audio);
    EXPECT_EQ(service.targets().back(), "/api/player/v1?c=downloadAnnouncement&id=welcome");
}

TEST_F(DownloadTest, AnErrorStatusLeavesAnOlderFileAlone) {
    service.answer("downloadAnnouncement", 404, "Unknown announcement: nope", "text/plain");
    writeFile(path, "older");
    const DownloadResult result = Api::downloadAnnouncement("nope", path);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError().problem, DownloadProblem::SERVICE_REFUSED) << "the service answered";
    EXPECT_EQ(std::get<std::string>(result.getError().payload), "Unknown announcement: nope");
    EXPECT_EQ(readFile(path), "older");
}

TEST_F(DownloadTest, AnUnreachableServiceLeavesAnOlderFileAlone) {
    testing::RefusingAddress refusing;
    ServiceUrlOverride nowhere(refusing.url());
    writeFile(path, "older");
    const DownloadResult result = Api::downloadAnnouncement("welcome", path);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError().problem, DownloadProblem::UNREACHABLE);
    EXPECT_EQ(std::get<std::string>(result.getError().payload).rfind("Could not connect to ", 0), 0u) << describe(result.getError());
    EXPECT_EQ(readFile(path), "older");
}

TEST_F(DownloadTest, ATextAnswerIsAWriteFailureAndLeavesAnOlderFileAlone) {
    service.answer("downloadAnnouncement", 200, "this is not audio", "text/plain; charset=utf-8");
    writeFile(path, "older");
    const DownloadResult result = Api::downloadAnnouncement("welcome", path);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError().problem, DownloadProblem::NOT_WRITTEN);
    EXPECT_EQ(std::get<std::string>(result.getError().payload).rfind("Failed to write file: ", 0), 0u);
    EXPECT_EQ(readFile(path), "older");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"announcement.mp3"});
}

TEST_F(DownloadTest, AnAnnouncementStillPlayingKeepsItsBytes) {
    const std::string older = "the older announcement, still being played";
    writeFile(path, older);
    std::ifstream playing(path, std::ios::binary);  // what a player that opened the file holds
    service.answer("downloadAnnouncement", 200, "ID3 new", "audio/mpeg");
    ASSERT_TRUE(Api::downloadAnnouncement("welcome", path).isOk());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(playing), {}), older);
    EXPECT_EQ(readFile(path), "ID3 new");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"announcement.mp3"}) << "no temporary file is left";
}

TEST_F(DownloadTest, AFailedWriteLeavesNoTemporaryFile) {
    service.answer("downloadAnnouncement", 200, "ID3", "audio/mpeg");
    std::filesystem::create_directory(path);  // the file cannot be replaced
    const DownloadResult result = Api::downloadAnnouncement("welcome", path);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(std::get<std::string>(result.getError().payload).rfind("Failed to write file: ", 0), 0u);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"announcement.mp3"});
}

TEST_F(DownloadTest, AFolderThatDoesNotExistIsAWriteFailure) {
    service.answer("downloadAnnouncement", 200, "ID3", "audio/mpeg");
    const DownloadResult result = Api::downloadAnnouncement("welcome", (dir / "missing" / "a.mp3").string());
    ASSERT_FALSE(result.isOk());
    const std::string& message = std::get<std::string>(result.getError().payload);
    EXPECT_EQ(message.rfind("Failed to write file: ", 0), 0u);
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
}

}  // namespace
}  // namespace quorvane
