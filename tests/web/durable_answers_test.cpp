// Acknowledged means durable: every answer to a change comes after the change is on disk. The test
// server runs no scheduler, so nothing but the request itself writes the files.
#include <gtest/gtest.h>

#include "model/digest.h"
#include "storage/shadow.h"
#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::WebServerTest;
using testing::writeFile;

class DurableAnswers : public WebServerTest {
protected:
    Shadow storedShadow() const { return from_json<Shadow>(readFile(layout.userData() / "_shadow.json")); }

    // A folder where the database file should be: every write of it fails.
    void breakDatabaseFile() const {
        std::filesystem::remove(layout.userData() / "_db.json");
        writeFile(layout.userData() / "_db.json" / "inside", "x");
    }
};

TEST_F(DurableAnswers, ConfigurationChangesAreOnDiskWhenAnswered) {
    Browser client = browser();
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alarmDelaySec", 2.5}}).body, "true");
    EXPECT_EQ(storedDb().settings.alarmDelaySec, 2.5);

    const std::string key = Json::parse(client.postJson("/db/timetables/create", {{"name", "Exams"}}).body);
    ASSERT_NE(storedDb().timetables.find(key), nullptr);
    EXPECT_EQ(storedDb().timetables.find(key)->name, "Exams");
    ASSERT_EQ(client.postJson("/db/timetables/update/" + key, {{"name", "Short"}}).body, "true");
    EXPECT_EQ(storedDb().timetables.find(key)->name, "Short");
    ASSERT_EQ(client.get("/api/trigger/deleteTimetable/" + key).body, "ok");
    EXPECT_FALSE(storedDb().timetables.contains(key));
}

TEST_F(DurableAnswers, PasswordChangeIsOnDiskWhenAnswered) {
    Browser client = loggedInBrowser("first");
    EXPECT_TRUE(storedShadow().isPasswordMatching("first"));
    ASSERT_EQ(client.postJson("/auth/chpasswd", {{"currentPassword", "first"}, {"newPassword", "second"}}).body, "ok");
    EXPECT_TRUE(storedShadow().isPasswordMatching("second"));
    EXPECT_EQ(std::filesystem::status(layout.userData() / "_shadow.json").permissions(), std::filesystem::perms(0600));
}

TEST_F(DurableAnswers, UploadAndDeletionKeepFileAndDatabaseConsistent) {
    Browser client = browser();
    const HttpAnswer uploaded = client.upload("/upload", {{"file", testing::waveBytes(0.1), "bell.wav", "audio/wav"}});
    ASSERT_EQ(uploaded.status, 200);
    const std::string key = Json::parse(uploaded.body);
    const auto file = layout.userData() / (key + ".wav");
    EXPECT_TRUE(std::filesystem::exists(file));
    ASSERT_NE(storedDb().signals.find(key), nullptr);
    EXPECT_EQ(storedDb().signals.find(key)->filename, key + ".wav");

    ASSERT_EQ(client.get("/api/trigger/deleteSignal/" + key).body, "ok");
    EXPECT_FALSE(storedDb().signals.contains(key));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(DurableAnswers, ReadingWritesNothing) {
    Browser client = browser();
    ASSERT_EQ(client.postJson("/db/settings/update", {{"schedulerEnable", false}}).body, "true");
    std::filesystem::remove(layout.userData() / "_db.json");
    for (const char* path : {"/db", "/db/timetables", "/api/get/overview", "/api/get/settings", "/api/get/signals"})
        EXPECT_EQ(client.get(path).status, 200) << path;
    EXPECT_EQ(client.postJson("/db/settings/update", {{"volume", 3}}).status, 400);
    EXPECT_FALSE(std::filesystem::exists(layout.userData() / "_db.json"));
}

TEST_F(DurableAnswers, AChangeThatCannotBeSavedIsNotAcknowledged) {
    Browser client = browser();
    breakDatabaseFile();
    const HttpAnswer settings = client.postJson("/db/settings/update", {{"alarmDelaySec", 7}});
    EXPECT_EQ(settings.status, 500);
    EXPECT_EQ(settings.body, "The change could not be saved");
    EXPECT_EQ(client.postJson("/db/timetables/create", {{"name", "x"}}).body, "The change could not be saved");
    EXPECT_EQ(client.get("/api/trigger/deleteTimetable/ID_factory_default_timetable").body, "The change could not be saved");
    EXPECT_EQ(client.postJson("/auth/chpasswd", "secret").body, "ok") << "the credentials are another file";
}

// A crash between the two steps of a deletion may leave a stray file, never a signal without its file:
// the database is written first, and a failed write leaves the file alone.
TEST_F(DurableAnswers, ASignalsFileIsDeletedOnlyAfterTheDatabaseIsWritten) {
    Browser client = browser();
    const std::string key = Json::parse(client.upload("/upload", {{"file", testing::waveBytes(0.1, 440), "bell.wav", "audio/wav"}}).body);
    breakDatabaseFile();
    const HttpAnswer deleted = client.get("/api/trigger/deleteSignal/" + key);
    EXPECT_EQ(deleted.status, 500);
    EXPECT_EQ(deleted.body, "The change could not be saved");
    EXPECT_TRUE(std::filesystem::exists(layout.userData() / (key + ".wav")));

    // An upload writes its file first, so a failed database write leaves at most a stray file.
    const HttpAnswer uploaded = client.upload("/upload", {{"file", testing::waveBytes(0.1, 660), "other.wav", "audio/wav"}});
    EXPECT_EQ(uploaded.status, 500);
    EXPECT_TRUE(std::filesystem::exists(layout.userData() / (md5Hex(testing::waveBytes(0.1, 660)) + ".wav")));
}

}  // namespace
}  // namespace quorvane
