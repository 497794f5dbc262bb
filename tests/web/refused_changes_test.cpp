// A change answered with an error has no effect, now or later: the records are as before the request,
// and the scheduler's auto-save, once the disk takes writes again, writes nothing of it.
#include <gtest/gtest.h>

#include "scheduling/record_saving.h"
#include "support/log_capture.h"
#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::writeFile;

class RefusedChanges : public testing::WebServerTest {
protected:
    void SetUp() override {
        WebServerTest::SetUp();
        // Every stored file exists, as in an installation that has run for a while.
        db.saveForce();
        cache.saveForce();
        shadow.saveForce();
    }
    std::filesystem::path file(const char* name) const { return layout.userData() / name; }

    // A folder where the file should be: every write of it fails until mend() (a full disk, as root).
    void breakFile(const char* name) {
        _kept[name] = readFile(file(name));
        std::filesystem::remove(file(name));
        writeFile(file(name) / "inside", "x");
    }
    void mend() {
        for (const auto& [name, text] : _kept) {
            std::filesystem::remove_all(file(name.c_str()));
            writeFile(file(name.c_str()), text);
        }
    }
    // After the failure clears: the next auto-save of the scheduler writes nothing refused.
    void expectAutoSaveWritesNothing() {
        mend();
        saveStoredRecords();
        for (const auto& [name, text] : _kept) EXPECT_EQ(readFile(file(name.c_str())), text) << name;
    }

    std::map<std::string, std::string> _kept;
};

TEST_F(RefusedChanges, ASettingsChangeThatCannotBeSavedIsNotServedNorWrittenLater) {
    Browser client = browser();
    breakFile("_db.json");
    const HttpAnswer refused = client.postJson("/db/settings/update", {{"alarmDelaySec", 7}});
    EXPECT_EQ(refused.status, 500);
    EXPECT_EQ(refused.body, "The change could not be saved");
    EXPECT_EQ(Json::parse(client.get("/api/get/settings").body)["alarmDelaySec"], DB{}.settings.alarmDelaySec);
    // Nothing is left to write, yet the health view and /healthz (which read the auto-save's error) still
    // tell of the failing disk.
    saveStoredRecords();
    EXPECT_TRUE(lastSaveError());
    expectAutoSaveWritesNothing();
    EXPECT_FALSE(lastSaveError());
}

TEST_F(RefusedChanges, ATimetableCreateThatFailedNeverAppears) {
    Browser client = browser();
    const size_t before = Json::parse(client.get("/db/timetables").body).size();
    breakFile("_db.json");
    EXPECT_EQ(client.postJson("/db/timetables/create", {{"name", "Exams"}}).status, 500);
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body).size(), before);
    expectAutoSaveWritesNothing();
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body).size(), before);
    // Trying again gives one timetable, not two.
    ASSERT_EQ(client.postJson("/db/timetables/create", {{"name", "Exams"}}).status, 200);
    EXPECT_EQ(storedDb().timetables.size(), before + 1);
}

TEST_F(RefusedChanges, DeletionsAndUploadsThatCannotBeSavedLeaveEverythingInPlace) {
    Browser client = browser();
    const std::string key = Json::parse(client.upload("/upload", {{"file", testing::waveBytes(0.1, 440), "bell.wav", "audio/wav"}}).body);
    const std::string database = client.get("/db").body;
    breakFile("_db.json");
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/" + key).status, 500);
    EXPECT_EQ(client.get("/api/trigger/deleteTimetable/ID_factory_default_timetable").status, 500);
    EXPECT_EQ(client.postJson("/db/timetables/delete/ID_factory_default_timetable", {{"confirm", true}}).status, 500);
    EXPECT_EQ(
        client.postJson("/db/plan/weekdays", {{"weekdayTimetables", Json::array({"ID_factory_default_timetable", "", "", "", "", "", ""})}}).status,
        500);
    EXPECT_EQ(client.upload("/upload", {{"file", testing::waveBytes(0.1, 660), "other.wav", "audio/wav"}}).status, 500);
    EXPECT_EQ(client.get("/db").body, database);
    expectAutoSaveWritesNothing();
    EXPECT_EQ(client.get("/db").body, database);
}

TEST_F(RefusedChanges, APasswordChangeThatCannotBeSavedKeepsTheOldPassword) {
    Browser owner = loggedInBrowser("first");
    breakFile("_shadow.json");
    EXPECT_EQ(owner.postJson("/auth/chpasswd", {{"currentPassword", "first"}, {"newPassword", "second"}}).status, 500);
    EXPECT_EQ(owner.get("/db").status, 200) << "the session is not ended by a refused change";
    const Json login = {{"userPassword", "first"}, {"remember", false}};
    EXPECT_EQ(browser().postJson("/auth/login", login).status, 302);
    expectAutoSaveWritesNothing();
    EXPECT_TRUE(from_json<Shadow>(readFile(file("_shadow.json"))).isPasswordMatching("first"));
}

// The debug lines of the saves name every write, also a request's own before it is answered.
TEST_F(RefusedChanges, EveryWriteOfARecordIsLogged) {
    Browser client = browser();
    testing::LogCapture log;
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alarmDelaySec", 3}}).status, 200);
    EXPECT_TRUE(log.contains("DB saved to disk"));
    ASSERT_EQ(client.postJson("/auth/chpasswd", "pw").status, 200);
    EXPECT_TRUE(log.contains("Shadow updated"));
    log.clear();
    saveStoredRecords();
    EXPECT_FALSE(log.contains("saved")) << "nothing left to write";
    {
        StateLock lock;
        cache.edit(lock).calendarVersion = 42;
    }
    saveStoredRecords();
    EXPECT_TRUE(log.contains("Cache saved"));
}

}  // namespace
}  // namespace quorvane
