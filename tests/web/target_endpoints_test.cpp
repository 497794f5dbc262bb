// The read and trigger targets over real HTTP, with stub players and a local stand-in of the remote
// service.
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "audio/player.h"
#include "audio/signals.h"
#include "remote/api.h"
#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::WebServerTest;

std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.push_back(key);
    return keys;
}

// The remote service on 127.0.0.1, answering announcement downloads.
class StandInService {
public:
    StandInService() : port(testing::freePort()) {
        _server.Get("/api/player/v1", [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard lock(_mutex);
                _queries.push_back(request.get_param_value("c") + " " + request.get_param_value("id"));
            }
            if (request.get_param_value("c") == "listAnnouncements") {
                std::lock_guard lock(_mutex);
                if (_listing) return response.set_content(_listing->dump(), "application/json");
            }
            if (request.get_param_value("id") == "missing") {
                response.status = 404;
                response.set_content("no such announcement", "text/plain");
                return;
            }
            response.set_content("ID3 announcement " + request.get_param_value("id"), "audio/mpeg");
        });
        _server.bind_to_port("127.0.0.1", port);
        _thread = std::thread([this] { _server.listen_after_bind(); });
        while (!_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        setenv("QUORVANE_SERVICE_URL", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
    }
    ~StandInService() {
        unsetenv("QUORVANE_SERVICE_URL");
        _server.stop();
        _thread.join();
    }
    std::vector<std::string> queries() {
        std::lock_guard lock(_mutex);
        return _queries;
    }
    // Answered to the list command from now on; an older service answers it like any other command.
    void listing(Json answer) {
        std::lock_guard lock(_mutex);
        _listing = std::move(answer);
    }
    const int port;

private:
    std::optional<Json> _listing;
    httplib::Server _server;
    std::thread _thread;
    std::mutex _mutex;
    std::vector<std::string> _queries;
};

// Players that go on playing until they are stopped (SIGTERM ends the sleep), first on PATH while the
// object lives; each play appends its file to a trace.
class LongPlayers {
public:
    LongPlayers() : _previousPath(std::getenv("PATH")) {
        for (const char* name : {"mpg123", "aplay"}) {
            const auto script = _dir / name;
            testing::writeFile(script, "#!/bin/sh\necho \"$1\" >> '" + trace().string() + "'\nexec sleep 30\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
        setenv("PATH", (_dir.path().string() + ":" + _previousPath).c_str(), 1);
    }
    ~LongPlayers() { setenv("PATH", _previousPath.c_str(), 1); }
    std::filesystem::path trace() const { return _dir / "trace"; }
    size_t plays() const { return std::filesystem::exists(trace()) ? countLines(readFile(trace())) : 0; }
    bool waitForPlays(size_t count) const {
        for (int i = 0; i < 500 && plays() < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return plays() >= count;
    }

private:
    static size_t countLines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }
    testing::TempDir _dir;
    std::string _previousPath;
};

bool waitUntilNoPlaybackThreadRuns() {
    for (int i = 0; i < 500 && Player::hasRunningThreads(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !Player::hasRunningThreads();
}

using ReadTargets = WebServerTest;
using TriggerTargets = WebServerTest;

TEST_F(ReadTargets, StatusAndInfo) {
    Browser client = browser();
    const HttpAnswer answer = client.get("/api/get/status?verbose=1");
    EXPECT_EQ(answer.header("Content-Type"), "application/json");
    const Json status = Json::parse(answer.body);
    EXPECT_EQ(keysOf(status), (std::vector<std::string>{"time", "isPlaying", "version", "emergency", "timeZone"}));
    EXPECT_EQ(status["emergency"], nullptr) << "no routine runs";
    EXPECT_TRUE(std::regex_match(status["time"].get<std::string>(), std::regex("\\d\\d:\\d\\d:\\d\\d"))) << status;
    EXPECT_TRUE(status["isPlaying"].is_boolean());
    EXPECT_EQ(status["version"].get<std::string>().rfind("D", 0), 0u);
    const Json info = Json::parse(client.get("/api/get/info").body);
    EXPECT_EQ(keysOf(info), (std::vector<std::string>{"version", "internetAccess", "internetCheckedSecondsAgo"}));
    EXPECT_EQ(info["version"], status["version"]);
    EXPECT_TRUE(info["internetAccess"].is_boolean());
}

TEST_F(ReadTargets, InfoTellsWhenTheInternetWasLastChecked) {
    Api::forgetNetworkStateForTesting();
    Browser client = browser();
    Json info = Json::parse(client.get("/api/get/info").body);
    EXPECT_EQ(info["internetCheckedSecondsAgo"], nullptr) << "not checked since start";
    EXPECT_EQ(info["internetAccess"], false);

    StandInService service;
    ASSERT_EQ(client.get("/api/trigger/announce/A1").body, "ok");
    info = Json::parse(client.get("/api/get/info").body);
    ASSERT_TRUE(info["internetCheckedSecondsAgo"].is_number_integer()) << info;
    EXPECT_GE(info["internetCheckedSecondsAgo"].get<int64_t>(), 0);
    EXPECT_LE(info["internetCheckedSecondsAgo"].get<int64_t>(), 5) << "checked by the announcement just now";
    EXPECT_EQ(info["internetAccess"], true);
}

TEST_F(ReadTargets, FactorySignalsInTheirOrder) {
    Browser client = browser();
    const Json factory = Json::parse(client.get("/api/get/factorySignals").body);
    ASSERT_EQ(factory.size(), 13u);
    EXPECT_EQ(factory[0], Json::parse(R"({"name": "double", "filename": "p-double.mp3", "lengthSec": 2, "storageCategory": 0, "id": "ID_double"})"));
    EXPECT_EQ(factory[9]["id"], "ID_alarm");
    // The same list a new installation starts with.
    const Json signals = Json::parse(client.get("/api/get/signals").body);
    for (size_t i = 0; i < factory.size(); ++i) {
        EXPECT_EQ(factory[i]["id"], signals[i]["id"]);
        EXPECT_EQ(factory[i]["filename"], signals[i]["filename"]);
    }
}

TEST_F(ReadTargets, Overview) {
    Browser client = browser();
    Json overview = Json::parse(client.get("/api/get/overview").body);
    EXPECT_EQ(keysOf(overview),
              (std::vector<std::string>{"passwordMissing", "timetables", "activeTimetableInfo", "time", "isRelease", "alarmActive", "playerName"}));
    EXPECT_EQ(overview["passwordMissing"], true);
    EXPECT_EQ(overview["timetables"], Json::parse(R"([{"name": "Default", "id": "ID_factory_default_timetable"}])"));
    EXPECT_EQ(keysOf(overview["activeTimetableInfo"]), (std::vector<std::string>{"id", "source", "date", "dayOfWeek", "typeOfDay"}));
    EXPECT_TRUE(overview["activeTimetableInfo"]["source"].is_string());
    EXPECT_TRUE(overview["activeTimetableInfo"]["typeOfDay"].is_string());
    EXPECT_EQ(overview["isRelease"], false);
    EXPECT_EQ(overview["alarmActive"], false);

    EXPECT_EQ(client.get("/api/trigger/deleteTimetable/ID_factory_default_timetable").body, "ok");
    client.postJson("/auth/chpasswd", "pw");
    overview = Json::parse(client.get("/api/get/overview").body);
    EXPECT_EQ(overview["timetables"], Json::array());
    EXPECT_EQ(overview["passwordMissing"], false);
}

TEST_F(ReadTargets, TablesSettingsAndCalendar) {
    Browser client = browser();
    const Json signals = Json::parse(client.get("/api/get/signals").body);
    ASSERT_EQ(signals.size(), 13u);
    EXPECT_EQ(signals[0]["id"], "ID_double");
    EXPECT_EQ(keysOf(signals[0]), (std::vector<std::string>{"name", "filename", "lengthSec", "storageCategory", "lastModified", "id"}));
    EXPECT_EQ(keysOf(Json::parse(client.get("/api/get/settings").body)),
              (std::vector<std::string>{"defaultTimetableId", "schedulerEnable", "dailyPreferences", "alarmSignalId", "alarmDelaySec", "calendar",
                                        "plannedDays", "weekdayTimetables", "dayAdjustments", "schoolName", "emergencyRoutines", "speechLanguage",
                                        "setupChecklist", "playerName", "alerts"}));

    EXPECT_EQ(Json::parse(client.get("/api/get/calendarInfo").body), Json::parse(R"({"regions": [], "lastUpdate": ""})"));
    {
        StateLock lock;
        CalendarRegion region;
        region.name = "Hungary";
        region.holidays = {"2025-01-01"};
        cache.edit(lock).calendarRegions.add(region, "hu");
        cache.edit(lock).calendarLastUpdated = "2025-01-02T10:00:00";
    }
    const Json calendar = Json::parse(client.get("/api/get/calendarInfo").body);
    EXPECT_EQ(keysOf(calendar), (std::vector<std::string>{"regions", "lastUpdate"}));
    EXPECT_EQ(calendar["regions"][0]["id"], "hu");
    EXPECT_EQ(calendar["regions"][0]["holidays"], Json({"2025-01-01"}));
    EXPECT_EQ(calendar["lastUpdate"], "2025-01-02T10:00:00");
    // The short list for a choice of region: no dates.
    EXPECT_EQ(Json::parse(client.get("/api/get/regionNames").body),
              Json::parse(R"([{"id": "hu", "name": "Hungary", "preferredWorkdayMode": )" +
                          std::to_string(static_cast<int64_t>(CalendarRegion{}.preferredWorkdayMode)) + "}]"));
}

TEST_F(ReadTargets, UnknownTargetsAreRefused) {
    Browser client = browser();
    const HttpAnswer answer = client.get("/api/get/Status");
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, "Unknown target: Status");
    EXPECT_EQ(client.get("/api/trigger/Status/1").body, "Unknown target: Status");
}

TEST_F(TriggerTargets, AlarmTogglesOnAndOff) {
    Browser client = browser();
    EXPECT_EQ(client.get("/api/trigger/toggleAlarm/any").body, "ok");
    EXPECT_EQ(Json::parse(client.get("/api/get/overview").body)["alarmActive"], true);
    EXPECT_EQ(client.get("/api/trigger/toggleAlarm/any").body, "ok");
    EXPECT_EQ(Json::parse(client.get("/api/get/overview").body)["alarmActive"], false);
}

TEST_F(TriggerTargets, PlaySignal) {
    Browser client = browser();
    EXPECT_EQ(client.get("/api/trigger/playSignal/NULL").body, "ok");
    const HttpAnswer unknown = client.get("/api/trigger/playSignal/nope");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.body, "'id not found'");
    EXPECT_EQ(client.get("/api/trigger/playSignal/ID_ring").body, "ok");
    ASSERT_TRUE(players.waitForTrace("s-ring.mp3")) << players.traceText();
    const std::string trace = players.traceText();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 1) << "NULL played nothing: " << trace;
}

TEST_F(TriggerTargets, StopAllEndsEveryPlaybackAndTheAlarm) {
    LongPlayers longPlayers;
    {
        StateLock lock;
        db.edit(lock).settings.alarmDelaySec = 0.0;
    }
    Browser client = browser();
    EXPECT_EQ(client.get("/api/trigger/toggleAlarm/x").body, "ok");
    EXPECT_EQ(client.get("/api/trigger/playSignal/ID_ring").body, "ok");
    {
        // A timetable bell repeated without end.
        StateLock lock;
        ASSERT_TRUE(playSignalByDescriptor(lock, PlayDesc{"ID_ping", true, INFINITE_REPEAT, 0.0}));
    }
    ASSERT_TRUE(longPlayers.waitForPlays(3)) << readFile(longPlayers.trace());
    EXPECT_EQ(Json::parse(client.get("/api/get/status").body)["isPlaying"], true);

    const HttpAnswer stopped = client.get("/api/trigger/stopAll/any");
    EXPECT_EQ(stopped.status, 200);
    EXPECT_EQ(stopped.body, "ok");
    EXPECT_EQ(Json::parse(client.get("/api/get/status").body)["isPlaying"], false);
    EXPECT_EQ(Json::parse(client.get("/api/get/overview").body)["alarmActive"], false);
    EXPECT_TRUE(waitUntilNoPlaybackThreadRuns()) << "every playback ended, its player stopped";
    EXPECT_EQ(longPlayers.plays(), 3u) << "nothing started again";
    EXPECT_EQ(client.get("/api/trigger/stopAll/any").body, "ok") << "with nothing playing too";
}

TEST_F(TriggerTargets, PlaysFromTheInterfaceAreCappedButBellsAndTheAlarmAreNot) {
    LongPlayers longPlayers;
    StandInService service;
    Browser client = browser();
    for (size_t i = 0; i < MAX_INTERFACE_PLAYS; ++i) ASSERT_EQ(client.get("/api/trigger/playSignal/ID_ring").body, "ok") << i;
    const HttpAnswer refused = client.get("/api/trigger/playSignal/ID_ring");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, "Too many sounds playing");
    EXPECT_EQ(client.get("/api/trigger/announce/A1").body, "Too many sounds playing");

    EXPECT_EQ(client.get("/api/trigger/toggleAlarm/x").body, "ok");
    EXPECT_EQ(Json::parse(client.get("/api/get/overview").body)["alarmActive"], true);
    {
        StateLock lock;
        EXPECT_TRUE(playSignalById(lock, "ID_ping")) << "a scheduled bell";
    }
    ASSERT_TRUE(longPlayers.waitForPlays(MAX_INTERFACE_PLAYS + 2));
    const std::string trace = readFile(longPlayers.trace());
    EXPECT_NE(trace.find("alarm.mp3"), std::string::npos) << trace;
    EXPECT_NE(trace.find("p-ping.mp3"), std::string::npos) << trace;

    EXPECT_EQ(client.get("/api/trigger/stopAll/x").body, "ok");
    EXPECT_EQ(client.get("/api/trigger/playSignal/ID_ring").body, "ok") << "room again once stopped";
    EXPECT_EQ(client.get("/api/trigger/stopAll/x").body, "ok");
    EXPECT_TRUE(waitUntilNoPlaybackThreadRuns());
}

TEST_F(TriggerTargets, PlayingASignalWhoseFileIsMissingNamesTheProblem) {
    Browser client = browser();
    const std::string key = Json::parse(client.upload("/upload", {{"file", testing::waveBytes(0.5), "School bell.wav", "audio/wav"}}).body);
    std::filesystem::remove(layout.userData() / (key + ".wav"));
    const HttpAnswer answer = client.get("/api/trigger/playSignal/" + key);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, "The file of signal 'School bell' is missing");
    EXPECT_EQ(players.traceText(), "");
}

TEST_F(TriggerTargets, DeleteTimetable) {
    Browser client = browser();
    const HttpAnswer unknown = client.get("/api/trigger/deleteTimetable/nope");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.body, "'nope'");
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body).size(), 1u);
    EXPECT_EQ(client.get("/api/trigger/deleteTimetable/ID_factory_default_timetable").body, "ok");
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body), Json::array());
    EXPECT_EQ(Json::parse(client.get("/api/get/settings").body)["defaultTimetableId"], "ID_factory_default_timetable") << "nothing else changes";
}

TEST_F(TriggerTargets, DeleteSignal) {
    Browser client = browser();
    const std::string key = Json::parse(client.upload("/upload", {{"file", readFile(layout.assets() / "p-double.mp3"), "x.mp3", "audio/mpeg"}}).body);
    const auto file = layout.userData() / (key + ".mp3");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/" + key).body, "ok");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(Json::parse(client.get("/db").body)["signals"].contains(key));

    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_ping").body, "ok");
    EXPECT_TRUE(std::filesystem::exists(layout.assets() / "p-ping.mp3")) << "factory files are never deleted";
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_ping").body, "'ID_ping'");

    const std::string other = Json::parse(client.upload("/upload", {{"file", testing::waveBytes(1), "y.wav", "audio/wav"}}).body);
    std::filesystem::remove(layout.userData() / (other + ".wav"));
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/" + other).body, "ok") << "a file already gone is no failure";
    EXPECT_FALSE(Json::parse(client.get("/db").body)["signals"].contains(other));
    EXPECT_FALSE(storedDb().signals.contains(other));
}

TEST_F(TriggerTargets, TheAlarmSignalIsNotDeleted) {
    Browser client = browser();
    const HttpAnswer refused = client.get("/api/trigger/deleteSignal/ID_alarm");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, "'alarm' is the alarm signal and cannot be deleted: choose another alarm signal in Settings first");
    EXPECT_TRUE(Json::parse(client.get("/db").body)["signals"].contains("ID_alarm"));

    // Once another signal sounds the alarm, the former one is refused only while a routine plays it.
    ASSERT_EQ(client.postJson("/db/settings/update", {{"alarmSignalId", "ID_ring"}}).body, "true");
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_alarm").body,
              "'alarm' is the signal of the shelter routine and cannot be deleted: choose another signal for it in Settings first");
    ASSERT_EQ(client.postJson("/db/settings/update", {{"emergencyRoutines.shelter.signalId", "ID_lockdown"}}).body, "true");
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_alarm").body, "ok");
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_ring").status, 400);
    EXPECT_EQ(client.get("/api/trigger/deleteSignal/ID_alarm").body, "'ID_alarm'") << "an unknown id keeps its answer";
}

TEST_F(TriggerTargets, AnnouncementIsDownloadedAndPlayed) {
    StandInService service;
    Browser client = browser();
    EXPECT_EQ(client.get("/api/trigger/announce/A42").body, "ok");
    EXPECT_EQ(service.queries(), std::vector<std::string>{"downloadAnnouncement A42"});
    EXPECT_EQ(readFile(layout.userData() / "announcement.mp3"), "ID3 announcement A42");
    EXPECT_TRUE(players.waitForTrace("announcement.mp3")) << players.traceText();
    EXPECT_EQ(Json::parse(client.get("/api/get/info").body)["internetAccess"], true);

    // The service's own words tell an unknown id from a service that cannot be reached.
    const HttpAnswer missing = client.get("/api/trigger/announce/missing");
    EXPECT_EQ(missing.status, 400);
    EXPECT_EQ(missing.body, "Failed to download announcement: the announcement service answered: no such announcement");
    EXPECT_EQ(readFile(layout.userData() / "announcement.mp3"), "ID3 announcement A42") << "an error status leaves the file";
}

TEST_F(TriggerTargets, TheServicesAnnouncementsAreListedWhereItListsThem) {
    StandInService service;
    Browser client = browser();
    const Json older = Json::parse(client.get("/api/get/announcements").body);
    EXPECT_EQ(older, Json({{"listed", false}, {"announcements", Json::array()}})) << "an answer that is no list lists nothing";

    service.listing(Json{{"announcements", {{{"id", "fire-drill"}, {"name", "Fire drill today"}}, {{"id", "welcome"}}, {{"name", "no id"}}}}});
    const Json listed = Json::parse(client.get("/api/get/announcements").body);
    EXPECT_EQ(listed["listed"], true);
    EXPECT_EQ(listed["announcements"], Json::parse(R"([{"id": "fire-drill", "name": "Fire drill today"}, {"id": "welcome", "name": "welcome"}])"));

    setenv("QUORVANE_SERVICE_URL", ("http://127.0.0.1:" + std::to_string(testing::freePort())).c_str(), 1);
    const Json unreachable = Json::parse(client.get("/api/get/announcements").body);
    unsetenv("QUORVANE_SERVICE_URL");
    EXPECT_EQ(unreachable["listed"], false);
}

TEST_F(TriggerTargets, AnnouncementWhileTheServiceIsUnreachable) {
    setenv("QUORVANE_SERVICE_URL", ("http://127.0.0.1:" + std::to_string(testing::freePort())).c_str(), 1);
    Browser client = browser();
    const HttpAnswer answer = client.get("/api/trigger/announce/A1");
    unsetenv("QUORVANE_SERVICE_URL");
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body.rfind("Failed to download announcement: the announcement service could not be reached (Could not connect to "
                                "http://127.0.0.1:",
                                0),
              0u)
        << answer.body;
    EXPECT_EQ(answer.body.back(), ')') << answer.body;
    EXPECT_FALSE(std::filesystem::exists(layout.userData() / "announcement.mp3"));
    EXPECT_EQ(Json::parse(client.get("/api/get/info").body)["internetAccess"], false);
}

}  // namespace
}  // namespace quorvane
