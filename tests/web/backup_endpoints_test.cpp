// Backup and restore over real HTTP.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "model/digest.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::WebServerTest;

class BackupEndpoints : public WebServerTest {
protected:
    HttpAnswer restore(Browser& client, const std::string& archive) {
        return client.upload("/restore", {{"file", archive, "backup.zip", "application/zip"}});
    }
    // Back to a fresh installation: factory records, no uploaded files.
    void freshInstallation(const std::string& uploadedFile) {
        {
            StateLock lock;
            db.edit(lock).loadFactoryDefault();
            cache.edit(lock) = Cache();
        }
        std::filesystem::remove(layout.userData() / uploadedFile);
    }
};

TEST_F(BackupEndpoints, RestoreOnAFreshInstallationGivesTheSameDatabaseAndFiles) {
    Browser client = loggedInBrowser();
    const std::string bell = readFile(layout.assets() / "p-ping.mp3");
    const std::string key = Json::parse(client.upload("/upload", {{"file", bell, "Bell.mp3", "audio/mpeg"}}).body);
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alarmSignalId", key}, {"calendar.workdayMode", 16}}).status, 200);
    const std::string tomorrow = dateText(dayNumberOf(getClock()) + 1);
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", tomorrow}, {"timetableId", "NULL"}}).status, 200);
    {
        StateLock lock;
        CalendarRegion region;
        region.holidays = {"2030-01-01"};
        cache.edit(lock).calendarRegions.add(region, "hu");
    }
    const std::string before = client.get("/db").body;

    const HttpAnswer backup = client.get("/backup");
    ASSERT_EQ(backup.status, 200);
    EXPECT_EQ(backup.header("Content-Type"), "application/zip");
    EXPECT_EQ(backup.header("Content-Disposition"), "attachment; filename=\"quorvane-backup-" + getDateString() + ".zip\"");
    EXPECT_EQ(backup.body.find("\"hash\""), std::string::npos) << "no credentials in the archive";

    freshInstallation(key + ".mp3");
    ASSERT_NE(client.get("/db").body, before);
    const HttpAnswer restored = restore(client, backup.body);
    ASSERT_EQ(restored.status, 200) << restored.body;
    EXPECT_EQ(client.get("/db").body, before);
    // /db adds the revisions to the stored records.
    EXPECT_EQ(to_json(storedDb()), to_json(from_dict<DB>(Json::parse(before)))) << "on disk when answered";
    EXPECT_EQ(readFile(layout.userData() / (key + ".mp3")), bell);
    EXPECT_EQ(Json::parse(client.get("/api/get/day?date=" + tomorrow).body)["source"], "PLANNED") << "the restored plans are in force";
    StateLock lock;
    EXPECT_TRUE(cache.view(lock).calendarRegions.contains("hu"));
}

TEST_F(BackupEndpoints, ABadArchiveAnswers400AndChangesNothing) {
    Browser client = loggedInBrowser();
    std::string archive = client.get("/backup").body;
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alarmDelaySec", 2.5}}).status, 200);
    const std::string before = client.get("/db").body;

    HttpAnswer answer = restore(client, archive.substr(0, archive.size() - 30));
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, "Not a readable zip archive");
    // A changed byte inside breaks a checksum, a digest or the structure.
    archive[archive.size() / 2] = static_cast<char>(archive[archive.size() / 2] ^ 0x5a);
    answer = restore(client, archive);
    EXPECT_EQ(answer.status, 400);
    EXPECT_FALSE(answer.body.empty());
    EXPECT_EQ(client.upload("/restore", {{"other", "x", "a.zip", "application/zip"}}).body, "No file part");
    EXPECT_EQ(client.get("/db").body, before);
}

TEST_F(BackupEndpoints, ARestoreMayUploadUpToAGibibyte) {
    const auto headers = [](const std::string& path, uint64_t length) {
        return "POST " + path +
               " HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Type: multipart/form-data; boundary=b\r\n"
               "Content-Length: " +
               std::to_string(length) + "\r\n\r\n";
    };
    constexpr uint64_t MiB = 1024 * 1024;
    EXPECT_EQ(testing::rawExchange(port, headers("/restore", 900 * MiB)).rfind("HTTP/1.1 100 Continue\r\n", 0), 0u);
    EXPECT_EQ(raw(headers("/restore", 1024 * MiB + 4096)).status, 413);
    EXPECT_EQ(raw(headers("/upload", 200 * MiB)).status, 413) << "other uploads keep their limit";
}

TEST_F(BackupEndpoints, TheFileIsNamedAfterThePlayer) {
    Browser client = loggedInBrowser();
    ASSERT_EQ(client.postJson("/db/settings/update", Json{{"playerName", "North building \"B\""}}).status, 200);
    EXPECT_EQ(client.get("/backup").header("Content-Disposition"),
              "attachment; filename=\"quorvane-backup-North-building-B-" + getDateString() + ".zip\"");
}

TEST_F(BackupEndpoints, LoginRequired) {
    loggedInBrowser();
    Browser stranger = browser();
    EXPECT_EQ(stranger.get("/backup").body, "No auth");
    EXPECT_EQ(restore(stranger, "PK").body, "No auth");
}

}  // namespace
}  // namespace quorvane
