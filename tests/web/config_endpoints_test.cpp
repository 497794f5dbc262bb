// The configuration endpoints over real HTTP.
#include <map>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "model/calendar_date.h"
#include "model/digest.h"
#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::WebServerTest;

using ConfigEndpoints = WebServerTest;

std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.push_back(key);
    return keys;
}

std::vector<std::string> idsOf(const Json& table) {
    std::vector<std::string> ids;
    for (const Json& entry : table) ids.push_back(entry["id"]);
    return ids;
}

httplib::MultipartFormDataItems filePart(const std::string& filename, const std::string& content, const std::string& name = "file") {
    return {{name, content, filename, "application/octet-stream"}};
}

TEST_F(ConfigEndpoints, DatabaseHasTheShapeOfTheStoredFile) {
    Browser client = browser();
    const Json database = Json::parse(client.get("/db").body);
    // The stored file's members, and beside them the settings' revision (the timetables carry theirs).
    EXPECT_EQ(keysOf(database), (std::vector<std::string>{"dbVersion", "settings", "signals", "timetables", "settingsRevision"}));
    EXPECT_FALSE(database["settings"].contains("revision")) << "the settings object stays a settings record";
    EXPECT_EQ(database["dbVersion"], 1);
    EXPECT_TRUE(database["signals"].is_object());
    EXPECT_EQ(database["signals"]["ID_ping"]["filename"], "p-ping.mp3");
    EXPECT_TRUE(database["timetables"].contains("ID_factory_default_timetable"));
}

TEST_F(ConfigEndpoints, TimetablesAreCreatedWithFreshKeysAndUpdatedInPlace) {
    Browser client = browser();
    Json timetable = Json::parse(client.get("/db/timetables").body).at(0);
    EXPECT_EQ(timetable["id"], "ID_factory_default_timetable");
    timetable["name"] = "Short days";
    timetable["chA"]["lessons"] = {"08:00 - 08:30", "08:40 - 09:10"};

    // The list form's id is ignored.
    const HttpAnswer created = client.postJson("/db/timetables/create", timetable);
    ASSERT_EQ(created.status, 200);
    const std::string key = Json::parse(created.body);
    EXPECT_EQ(key.size(), 36u);
    EXPECT_NE(key, "ID_factory_default_timetable");
    const std::string second = Json::parse(client.postJson("/db/timetables/create", {{"name", "Exams"}}).body);

    timetable["name"] = "Renamed";
    const HttpAnswer updated = client.postJson("/db/timetables/update/ID_factory_default_timetable", timetable);
    EXPECT_EQ(updated.status, 200);
    EXPECT_EQ(updated.body, "true");
    const Json table = Json::parse(client.get("/db/timetables").body);
    EXPECT_EQ(idsOf(table), (std::vector<std::string>{"ID_factory_default_timetable", key, second})) << "updating keeps the place";
    EXPECT_EQ(table[0]["name"], "Renamed");
    EXPECT_EQ(table[1]["chA"]["lessons"], Json({"08:00 - 08:30", "08:40 - 09:10"}));
    EXPECT_EQ(table[2]["chA"]["preStartWaitMin"], 5) << "missing members keep their defaults";
    const Json overview = Json::parse(client.get("/api/get/overview").body);
    EXPECT_EQ(overview["timetables"][0], Json({{"name", "Renamed"}, {"id", "ID_factory_default_timetable"}}));
}

TEST_F(ConfigEndpoints, TheTimetableListSaysWhereEachRings) {
    Browser client = loggedInBrowser();
    const std::string exam = client.postJson("/db/timetables/create", {{"name", "Exam day"}}).body;
    const std::string date = dateText(dayNumberOf(getClock()) + 2);
    ASSERT_EQ(client.postJson("/db/plan/days", {{"from", date}, {"timetableId", Json::parse(exam)}}).body, "true");
    ASSERT_EQ(client.postJson("/db/plan/weekdays", {{"weekdayTimetables", {Json::parse(exam), "", "", "", Json::parse(exam), "", ""}}}).body, "true");
    std::map<std::string, Json> uses;
    for (const Json& timetable : Json::parse(client.get("/db/timetables").body)) uses[timetable["id"]] = timetable["uses"];
    EXPECT_EQ(uses["ID_factory_default_timetable"], Json::parse(R"({"dates": [], "weekdays": [], "default": true})"));
    EXPECT_EQ(uses[Json::parse(exam)], Json({{"dates", {date}}, {"weekdays", {0, 4}}, {"default", false}}));
    // The list form goes back as it came: the uses are not part of the timetable.
    Json listed = Json::parse(client.get("/db/timetables").body)[1];
    ASSERT_EQ(client.postJson("/db/timetables/update/" + listed["id"].get<std::string>(), listed).body, "true");
    EXPECT_FALSE(Json::parse(client.get("/db").body)["timetables"][listed["id"].get<std::string>()].contains("uses"));
}

TEST_F(ConfigEndpoints, SignalsAreRenamedByIdWithANameToRead) {
    Browser client = loggedInBrowser();
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_ping", {{"name", "  Soft ping  "}}).body, "true");
    EXPECT_EQ(storedDb().signals.find("ID_ping")->name, "Soft ping") << "on disk when answered, trimmed";
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_ping", {{"name", "   "}}).body, "Invalid name: expected 1 to 80 bytes");
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_ping", {{"name", std::string(81, 'a')}}).status, 400);
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_ping", {{"name", std::string(80, 'a')}}).status, 200);
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_ping", {{"name", 3}}).body, "Invalid name: expected a text");
    EXPECT_EQ(client.postJson("/db/signals/rename/ID_none", {{"name", "x"}}).body, "ID not found");
    EXPECT_EQ(browser().postJson("/db/signals/rename/ID_ping", {{"name", "x"}}).body, "No auth");
    EXPECT_EQ(storedDb().signals.find("ID_ping")->name, std::string(80, 'a'));
}

TEST_F(ConfigEndpoints, TimetableFailures) {
    Browser client = browser();
    for (const std::string body : {"[1, 2]", R"({"chA": {"lessons": ["08:00 - 25:00"]}})", R"({"name": null})"}) {
        const HttpAnswer answer = client.post("/db/timetables/create", body, "application/json");
        EXPECT_EQ(answer.status, 400) << body;
        EXPECT_EQ(answer.body, "Invalid timetable") << body;
        const HttpAnswer update = client.post("/db/timetables/update/ID_factory_default_timetable", body, "application/json");
        EXPECT_EQ(update.body, "Invalid timetable") << body;
    }
    // A body that is not JSON is an invalid timetable too; the content type is checked from the headers.
    for (const std::string path : {"/db/timetables/create", "/db/timetables/update/ID_factory_default_timetable"}) {
        EXPECT_EQ(client.post(path, "not json", "application/json").body, "Invalid timetable") << path;
        EXPECT_EQ(client.post(path, R"({"name": "Plain"})", "text/plain").body, "The request body must be JSON (Content-Type: application/json)")
            << path;
    }
    const HttpAnswer unknown = client.post("/db/timetables/update/nope", "[1, 2]", "application/json");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.body, "ID not found") << "an unknown key is answered first";
    const Json table = Json::parse(client.get("/db/timetables").body);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0]["name"], "Default");
}

TEST_F(ConfigEndpoints, SettingsUpdates) {
    Browser client = browser();
    const HttpAnswer valid = client.postJson("/db/settings/update", {{"alarmDelaySec", 2.5}, {"calendar.syncSchoolHolidays", false}});
    EXPECT_EQ(valid.status, 200);
    EXPECT_EQ(valid.body, "true");
    Json settings = Json::parse(client.get("/api/get/settings").body);
    EXPECT_EQ(settings["alarmDelaySec"], 2.5);
    EXPECT_EQ(settings["calendar"]["syncSchoolHolidays"], false);
    EXPECT_EQ(client.postJson("/db/settings/update", Json::object()).body, "true");

    const HttpAnswer invalid = client.postJson("/db/settings/update", {{"schedulerEnable", false}, {"calendar.workdayMode", 3}});
    EXPECT_EQ(invalid.status, 400);
    EXPECT_EQ(invalid.body, "Invalid value for setting calendar.workdayMode: expected one of 7, 15, 16, 14, 25, 35");
    const HttpAnswer unknown = client.postJson("/db/settings/update", {{"schedulerEnable", false}, {"volume", 11}});
    EXPECT_EQ(unknown.body, "Unknown setting: volume");
    EXPECT_EQ(client.postJson("/db/settings/update", Json::array()).status, 400);
    const Json after = Json::parse(client.get("/api/get/settings").body);
    EXPECT_EQ(after, settings) << "a refused update changes nothing";
    EXPECT_EQ(after["schedulerEnable"], true);
}

TEST_F(ConfigEndpoints, AlertAddressesAreCheckedTogetherBeforeTheyAreStored) {
    Browser client = browser();
    const HttpAnswer noServer = client.postJson("/db/settings/update", {{"alerts.mailTo", "it@district.example"}});
    EXPECT_EQ(noServer.status, 400);
    EXPECT_EQ(noServer.body, "Invalid value for setting alerts.smtpServer: expected the SMTP server that sends the mail");
    const HttpAnswer injected = client.postJson("/db/settings/update", {{"alerts", {{"webhookUrl", "http://hooks.example/\r\nX: 1"}}}});
    EXPECT_EQ(injected.status, 400);
    EXPECT_EQ(injected.body.rfind("Invalid value for setting alerts.webhookUrl: expected ", 0), 0u) << injected.body;
    EXPECT_EQ(Json::parse(client.get("/api/get/settings").body)["alerts"]["mailTo"], "") << "a refused update changes nothing";

    // Both members in one update pass; so does the server first and the address after.
    ASSERT_EQ(
        client.postJson("/db/settings/update", {{"alerts.smtpServer", "smtp://mail.school.example"}, {"alerts.mailTo", "it@district.example"}}).body,
        "true");
    const Json alerts = Json::parse(client.get("/api/get/settings").body)["alerts"];
    EXPECT_EQ(alerts, Json({{"webhookUrl", ""}, {"mailTo", "it@district.example"}, {"mailFrom", ""}, {"smtpServer", "smtp://mail.school.example"}}));
    // Taking the server away while the address stays would leave the mail with no way out.
    EXPECT_EQ(client.postJson("/db/settings/update", {{"alerts.smtpServer", ""}}).status, 400);
}

TEST_F(ConfigEndpoints, AnObjectValueChangesOnlyTheMembersItNames) {
    Browser client = browser();
    ASSERT_EQ(client.postJson("/db/settings/update", {{"calendar.syncRegionId", "at"}, {"calendar.syncSchoolHolidays", false}}).body, "true");
    ASSERT_EQ(client.postJson("/db/settings/update", {{"calendar", {{"workdayMode", 7}}}}).body, "true");
    const Json calendar = Json::parse(client.get("/api/get/settings").body)["calendar"];
    EXPECT_EQ(calendar, Json({{"workdayMode", 7}, {"syncRegionId", "at"}, {"syncSchoolHolidays", false}}));
}

TEST_F(ConfigEndpoints, NumbersOutOfTheirBoundsAreRefusedByName) {
    Browser client = browser();
    const auto settingsAnswer = [&](const Json& body) { return client.postJson("/db/settings/update", body); };
    EXPECT_EQ(settingsAnswer({{"alarmDelaySec", 3600}}).body, "true");
    const HttpAnswer pause = settingsAnswer({{"alarmDelaySec", 3600.5}});
    EXPECT_EQ(pause.status, 400);
    EXPECT_EQ(pause.body, "Invalid value for setting alarmDelaySec: expected a number from 0 to 3600");
    EXPECT_EQ(settingsAnswer({{"alarmDelaySec", -1}}).body, "Invalid value for setting alarmDelaySec: expected a number from 0 to 3600");
    EXPECT_EQ(settingsAnswer({{"dailyPreferences", {{"_lastDay", 1000}}}}).status, 400);
    const HttpAnswer huge = client.post("/db/settings/update", R"({"alarmDelaySec": 1e400})");
    EXPECT_EQ(huge.status, 400) << huge.body;
    EXPECT_EQ(Json::parse(client.get("/api/get/settings").body)["alarmDelaySec"], 3600.0);

    Json timetable = {{"name", "Bounded"}, {"chA", {{"preStart", {{"doRepeat", true}, {"iterations", -1}}}}}};
    const HttpAnswer forever = client.postJson("/db/timetables/create", timetable);
    EXPECT_EQ(forever.status, 400);
    EXPECT_EQ(forever.body, "Invalid timetable: chA.preStart.iterations: expected an integer from 1 to 100");
    timetable = {{"chB", {{"preEndWaitMin", 9007199254740993}}}};
    EXPECT_EQ(client.postJson("/db/timetables/update/ID_factory_default_timetable", timetable).body,
              "Invalid timetable: chB.preEndWaitMin: expected an integer from 0 to 1440");
    timetable = {{"chA", {{"endOfClass", {{"delaySec", "nan"}}}}}};
    EXPECT_EQ(client.postJson("/db/timetables/create", timetable).body,
              "Invalid timetable: chA.endOfClass.delaySec: expected a number from 0 to 3600");
    timetable = {{"chA", {{"endOfClass", {{"delaySec", "inf"}}}}}};
    EXPECT_EQ(client.postJson("/db/timetables/update/ID_factory_default_timetable", timetable).status, 400);
    const HttpAnswer overflow = client.post("/db/timetables/update/ID_factory_default_timetable", R"({"chA": {"preEnd": {"delaySec": 1e400}}})");
    EXPECT_EQ(overflow.status, 400);
    EXPECT_EQ(overflow.body, "Invalid timetable") << "a number no double holds is no JSON";

    const std::string database = client.get("/db").body;
    EXPECT_EQ(database.find("NaN"), std::string::npos);
    EXPECT_EQ(database.find("Infinity"), std::string::npos);
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body).size(), 1u) << "nothing refused was stored";
}

TEST_F(ConfigEndpoints, UploadsAreKeyedByTheirDigest) {
    Browser client = browser();
    const std::string bytes = readFile(layout.assets() / "p-ping.mp3");
    const std::string key = md5Hex(bytes);
    const HttpAnswer uploaded = client.upload("/upload", filePart("Bell.MP3", bytes));
    ASSERT_EQ(uploaded.status, 200) << uploaded.body;
    EXPECT_EQ(uploaded.body, "\"" + key + "\"");
    EXPECT_EQ(readFile(layout.userData() / (key + ".mp3")), bytes);
    const Json signals = Json::parse(client.get("/api/get/signals").body);
    const Json& signal = signals.back();
    EXPECT_EQ(signal["id"], key);
    EXPECT_EQ(signal["name"], "Bell");
    EXPECT_EQ(signal["filename"], key + ".mp3");
    EXPECT_EQ(signal["lengthSec"], 3);
    EXPECT_EQ(signal["storageCategory"], 1);

    const HttpAnswer duplicate = client.upload("/upload", filePart("other name.wav", bytes));
    EXPECT_EQ(duplicate.status, 400);
    EXPECT_EQ(duplicate.body, "File is already uploaded");
    EXPECT_EQ(client.upload("/upload", filePart("notes.txt", "text")).body, "Bad format: txt");
    EXPECT_EQ(client.upload("/upload", filePart("README", "text")).body, "Bad format: ");
    EXPECT_EQ(client.upload("/upload", filePart("bell.mp3", bytes, "attachment")).body, "No file part");
    EXPECT_EQ(client.post("/upload", "{}", "application/json").body, "No file part");

    EXPECT_EQ(Json::parse(client.get("/api/get/signals").body).size(), signals.size());
}

TEST_F(ConfigEndpoints, OnlyAudioThatThisPlatformPlaysIsAccepted) {
    Browser client = browser();
    const auto userFiles = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(layout.userData())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = userFiles();
    for (const std::string name : {"x.mp3", "x.wav"}) {
        const HttpAnswer text = client.upload("/upload", filePart(name, "this is a text file, not a sound"));
        EXPECT_EQ(text.status, 400) << name;
        EXPECT_EQ(text.body, "Not an audio file") << name;
    }
    // A header and no sound: TagLib reads it, with a length of zero.
    EXPECT_EQ(client.upload("/upload", filePart("silence.wav", testing::waveBytes(0))).body, "Not an audio file");
    // The Windows player plays MP4; mpg123 and aplay do not.
    const HttpAnswer video = client.upload("/upload", filePart("clip.mp4", readFile(layout.assets() / "p-ping.mp3")));
    EXPECT_EQ(video.status, 400);
    EXPECT_EQ(video.body, "Bad format: mp4");
    EXPECT_EQ(Json::parse(client.get("/db").body)["signals"].size(), 13u) << "only the factory signals";
    EXPECT_EQ(userFiles(), before) << "no file is left behind, kept or temporary";

    const HttpAnswer shortTone = client.upload("/upload", filePart("beep.wav", testing::waveBytes(0.3)));
    ASSERT_EQ(shortTone.status, 200) << shortTone.body;
    const std::string key = Json::parse(shortTone.body);
    EXPECT_EQ(Json::parse(client.get("/db").body)["signals"][key]["lengthSec"], 0) << "a short sound is a sound";
}

TEST_F(ConfigEndpoints, SignalFilesWithTheirTypesAndRanges) {
    Browser client = browser();
    const std::string ping = readFile(layout.assets() / "p-ping.mp3");
    const HttpAnswer factory = client.get("/get_signal_file/ID_ping");
    EXPECT_EQ(factory.status, 200);
    EXPECT_EQ(factory.header("Content-Type"), "audio/mpeg");
    EXPECT_EQ(factory.body, ping);

    const HttpAnswer part = client.get("/get_signal_file/ID_ping", {{"Range", "bytes=100-199"}});
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.header("Content-Range"), "bytes 100-199/" + std::to_string(ping.size()));
    EXPECT_EQ(part.body, ping.substr(100, 100));
    const HttpAnswer many = client.get("/get_signal_file/ID_ping", {{"Range", "bytes=0-0,0-0,0-0"}});
    EXPECT_EQ(many.status, 200) << "several ranges: the whole file";
    EXPECT_EQ(many.body, ping);
    const HttpAnswer json = client.get("/api/get/status", {{"Range", "bytes=0-3"}});
    EXPECT_EQ(json.status, 200) << "ranges apply to files only";
    EXPECT_EQ(Json::parse(json.body, nullptr, false).size(), 5u) << json.body;

    const std::string wavKey = Json::parse(client.upload("/upload", filePart("a.wav", testing::waveBytes(1))).body);
    EXPECT_EQ(client.get("/get_signal_file/" + wavKey).header("Content-Type"), "audio/wav");
    // MP4 signals come only from where the player plays them (an installation moved from Windows, say).
    const std::string mp4Key = "0123456789abcdef0123456789abcdef";
    testing::writeFile(layout.userData() / (mp4Key + ".mp4"), "....ftyp");
    {
        StateLock lock;
        db.edit(lock).signals.add(AudioAsset{"clip", mp4Key + ".mp4"}, mp4Key);
    }
    EXPECT_EQ(client.get("/get_signal_file/" + mp4Key).header("Content-Type"), "video/mp4");

    std::filesystem::remove(layout.userData() / (mp4Key + ".mp4"));
    EXPECT_EQ(client.get("/get_signal_file/" + mp4Key).status, 404);
    const HttpAnswer unknown = client.get("/get_signal_file/unknown");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(unknown.body, "No such signal");
}

}  // namespace
}  // namespace quorvane
