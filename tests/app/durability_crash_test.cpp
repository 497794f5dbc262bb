// Crash consistency of the real player: a browser changes settings, timetables, the password and the
// signals while the process is killed (SIGKILL) at random moments. After every restart each change the
// player acknowledged is there, a change whose answer the kill cut off is either wholly there or not at
// all, every stored file loads, and every signal has its file.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include "model/db.h"
#include "model/digest.h"
#include "storage/shadow.h"
#include "support/child_process.h"
#include "support/wave_bytes.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

constexpr int ROUNDS = 120;
constexpr int MAX_KILL_DELAY_MS = 300;

// What the player must hold: everything acknowledged so far.
struct State {
    double alarmDelaySec = 0.0;
    std::string defaultTimetableId = FACTORY_DEFAULT_TIMETABLE_ID;
    std::optional<std::string> password;
    std::map<std::string, std::string> timetables;  // key -> name
    std::set<std::string> uploads;                  // keys of uploaded signals

    bool operator==(const State&) const = default;
};

std::ostream& operator<<(std::ostream& out, const State& state) {
    out << "{alarmDelaySec " << state.alarmDelaySec << ", defaultTimetableId " << state.defaultTimetableId << ", password "
        << state.password.value_or("(none)") << ", timetables";
    for (const auto& [key, name] : state.timetables) out << " " << key << "=" << name;
    out << ", uploads";
    for (const auto& key : state.uploads) out << " " << key;
    return out << "}";
}

// A request that changes the state, and the state it leads to when it takes effect. A new timetable's key
// is known only from the answer.
struct Change {
    std::string method, path, body, contentType;
    httplib::MultipartFormDataItems upload;
    State after;
    std::string createdName;  // a timetable create: the name under which the new key is recorded
};

class PlayerClient {
public:
    explicit PlayerClient(int port) : _client("127.0.0.1", port) {
        _client.set_connection_timeout(1s);
        _client.set_read_timeout(5s);
        _client.set_write_timeout(5s);
    }

    httplib::Result send(const Change& change) {
        const httplib::Headers headers = cookieHeaders();
        if (change.method == "GET") return keepCookie(_client.Get(change.path, headers));
        if (!change.upload.empty()) return keepCookie(_client.Post(change.path, headers, change.upload));
        return keepCookie(_client.Post(change.path, headers, change.body, change.contentType));
    }
    httplib::Result get(const std::string& path) { return keepCookie(_client.Get(path, cookieHeaders())); }
    bool logIn(const std::string& password) {
        const httplib::Result result =
            keepCookie(_client.Post("/auth/login", toJsonText(Json{{"userPassword", password}, {"remember", false}}), "application/json"));
        return result && result->status == 302;
    }

private:
    httplib::Headers cookieHeaders() const { return _cookie.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", _cookie}}; }
    httplib::Result keepCookie(httplib::Result result) {
        if (result && result->has_header("Set-Cookie")) {
            const std::string value = result->get_header_value("Set-Cookie");
            _cookie = value.substr(0, value.find(';'));
        }
        return result;
    }

    httplib::Client _client;
    std::string _cookie;
};

class CrashConsistency : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"mpg123", "aplay"}) {
            writeFile(_stubs / name, "#!/bin/sh\nexit 0\n");
            fs::permissions(_stubs / name, fs::perms::owner_all);
        }
        const char* seed = std::getenv("QUORVANE_CRASH_SEED");
        _seed = seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : std::random_device{}();
        _random.seed(_seed);
        std::cout << "seed " << _seed << " (QUORVANE_CRASH_SEED repeats a run)" << std::endl;
    }

    // Starts the player and waits until it answers; nullptr with a test failure when it does not. A free
    // port may be taken by another test's connection before the player binds it: then another port.
    std::unique_ptr<ChildProcess> start() {
        std::string failure;
        for (int attempt = 0; attempt < 5; ++attempt) {
            _port = testing::freePort();
            const std::map<std::string, std::string> environment = {
                {"PATH", _stubs.path().string() + ":" + std::getenv("PATH")},
                {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}};
            auto player = std::make_unique<ChildProcess>(
                std::vector<std::string>{_installation.executable().string(), "--port", std::to_string(_port)}, environment, _installation.root());
            httplib::Client probe("127.0.0.1", _port);
            probe.set_connection_timeout(100ms);
            for (int i = 0; i < 500; ++i) {
                if (probe.Get("/api/get/status")) return player;
                if (player->waitForExit(10ms)) break;
            }
            failure = player->standardError();
            if (failure.find("Address already in use") == std::string::npos) break;
        }
        ADD_FAILURE() << "the player did not start:\n" << failure;
        return nullptr;
    }

    // The state the player holds, which must be the expected one or, when a request was cut off, the state
    // that request leads to.
    void verify(ChildProcess& player, State& expected, const std::optional<Change>& cutOff) {
        const std::string log = player.standardError();
        EXPECT_EQ(log.find("out of bounds"), std::string::npos) << log;
        EXPECT_EQ(log.find("moved to"), std::string::npos) << log;

        PlayerClient client(_port);
        std::optional<std::string> password;
        for (const auto& candidate : {expected.password, cutOff ? cutOff->after.password : std::nullopt})
            if (!password && candidate && client.logIn(*candidate)) password = candidate;
        const httplib::Result answer = client.get("/db");
        ASSERT_TRUE(answer && answer->status == 200) << (answer ? answer->body : "no answer") << "\n" << log;
        const DB database = from_json<DB>(answer->body);

        State actual;
        actual.alarmDelaySec = database.settings.alarmDelaySec;
        actual.defaultTimetableId = database.settings.defaultTimetableId;
        actual.password = password;
        for (const auto& [key, timetable] : database.timetables) actual.timetables[key] = timetable.name;
        for (const auto& [key, signal] : database.signals) {
            if (signal.storageCategory != StorageCategory::PERSISTENT) continue;
            actual.uploads.insert(key);
            EXPECT_TRUE(fs::exists(_installation.userData() / signal.filename)) << "signal " << key << " lost its file";
        }

        if (actual != expected) {
            ASSERT_TRUE(cutOff) << "acknowledged changes lost\nexpected " << expected << "\nfound    " << actual;
            State landed = cutOff->after;
            if (!cutOff->createdName.empty()) {
                // A new timetable whose answer was lost: it may be there under a key the test never saw.
                for (const auto& [key, name] : actual.timetables)
                    if (!expected.timetables.contains(key) && name == cutOff->createdName) landed.timetables[key] = name;
            }
            ASSERT_EQ(actual, landed) << "neither before nor after the request the kill cut off\nexpected " << expected;
            ++_appliedDespiteCut;
        }
        expected = actual;
        if (!password && expected.password) ADD_FAILURE() << "no password logs in";
        _client = std::make_unique<PlayerClient>(_port);
        if (expected.password) _client->logIn(*expected.password);
    }

    // Every stored file decodes as it is, without repairs.
    void expectFilesLoad() {
        const auto decodes = [&](const char* name, auto decode) {
            const fs::path path = _installation.userData() / name;
            if (!fs::exists(path)) return;
            Repairs repairs;
            EXPECT_NO_THROW(decode(parseJson(readFile(path)), &repairs)) << name;
            EXPECT_TRUE(repairs.empty()) << name;
        };
        decodes("_db.json", [](const Json& json, Repairs* repairs) { from_dict<DB>(json, repairs); });
        decodes("_shadow.json", [](const Json& json, Repairs* repairs) { from_dict<Shadow>(json, repairs); });
        decodes("cache.json", [](const Json& json, Repairs* repairs) { from_dict<Cache>(json, repairs); });
    }

    Change nextChange(const State& state) {
        ++_counter;
        const std::string tag = std::to_string(_seed) + "-" + std::to_string(_counter);
        Change change;
        change.method = "POST";
        change.contentType = "application/json";
        change.after = state;
        const int pick = std::uniform_int_distribution<int>(0, 99)(_random);
        const auto anyOf = [&](const auto& collection) {
            auto it = collection.begin();
            std::advance(it, std::uniform_int_distribution<size_t>(0, collection.size() - 1)(_random));
            return it;
        };
        if (pick < 25) {
            change.path = "/db/settings/update";
            change.after.alarmDelaySec = static_cast<double>(_counter % 3600) + 0.5;
            change.after.defaultTimetableId = "tt-" + tag;
            change.body = toJsonText(Json{{"alarmDelaySec", change.after.alarmDelaySec}, {"defaultTimetableId", change.after.defaultTimetableId}});
        } else if (pick < 40 || state.timetables.empty()) {
            change.path = "/db/timetables/create";
            change.createdName = "created-" + tag;
            change.body = toJsonText(Json{{"name", change.createdName}});
        } else if (pick < 55) {
            const std::string key = anyOf(state.timetables)->first;
            change.path = "/db/timetables/update/" + key;
            change.after.timetables[key] = "renamed-" + tag;
            change.body = toJsonText(Json{{"name", change.after.timetables[key]}});
        } else if (pick < 62 && state.timetables.size() > 1) {
            const std::string key = anyOf(state.timetables)->first;
            change.method = "GET";
            change.path = "/api/trigger/deleteTimetable/" + key;
            change.after.timetables.erase(key);
        } else if (pick < 72) {
            change.path = "/auth/chpasswd";
            change.after.password = "pw-" + tag;
            Json body{{"newPassword", *change.after.password}};
            if (state.password) body["currentPassword"] = *state.password;
            change.body = toJsonText(body);
        } else if (pick < 88 || state.uploads.empty()) {
            // A real sound (uploads are checked), a different length for every change.
            const std::string content = testing::waveBytes(0.05 + 0.001 * _counter);
            change.path = "/upload";
            change.upload = {{"file", content, "bell " + tag + ".wav", "audio/wav"}};
            change.after.uploads.insert(md5Hex(content));
        } else {
            const std::string key = *anyOf(state.uploads);
            change.method = "GET";
            change.path = "/api/trigger/deleteSignal/" + key;
            change.after.uploads.erase(key);
        }
        return change;
    }

    // The answer that acknowledges a change, with the key of a new timetable recorded.
    static bool acknowledged(const httplib::Result& result, Change& change) {
        if (!result || result->status != 200) return false;
        if (!change.createdName.empty()) change.after.timetables[Json::parse(result->body).get<std::string>()] = change.createdName;
        return true;
    }

    TempDir _stubs;
    InstalledPlayer _installation;
    int _port = 0;
    unsigned _seed = 0;
    std::mt19937 _random;
    int _counter = 0;
    std::unique_ptr<PlayerClient> _client;
    int _appliedDespiteCut = 0;
};

TEST_F(CrashConsistency, EveryAcknowledgedChangeSurvivesAKill) {
    const auto began = std::chrono::steady_clock::now();
    State expected;
    expected.timetables[FACTORY_DEFAULT_TIMETABLE_ID] = "Default";
    std::optional<Change> cutOff;
    int acknowledgedChanges = 0, cutRequests = 0;
    for (int round = 0; round <= ROUNDS; ++round) {
        expectFilesLoad();
        std::unique_ptr<ChildProcess> player = start();
        ASSERT_TRUE(player) << "round " << round;
        verify(*player, expected, cutOff);
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasFailure()) FAIL() << "round " << round << ", seed " << _seed;
        cutOff.reset();
        if (round == ROUNDS) break;

        const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, MAX_KILL_DELAY_MS)(_random));
        std::thread killer([&player, delay] {
            std::this_thread::sleep_for(delay);
            kill(player->pid(), SIGKILL);
        });
        std::string refusal;
        for (;;) {
            Change change = nextChange(expected);
            const httplib::Result result = _client->send(change);
            if (acknowledged(result, change)) {
                expected = change.after;
                ++acknowledgedChanges;
                continue;
            }
            if (result) refusal = change.path + ": " + std::to_string(result->status) + " " + result->body;
            cutOff = change;
            ++cutRequests;
            break;
        }
        killer.join();
        player->terminate();
        ASSERT_EQ(refusal, "") << "a change was refused, round " << round;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    // The leftovers of writes cut short are gone after the last start.
    for (const auto& entry : fs::directory_iterator(_installation.userData()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    std::cout << ROUNDS << " kills in " << seconds << " s: " << acknowledgedChanges << " acknowledged changes, " << cutRequests
              << " requests cut off by the kill (" << _appliedDespiteCut << " of them took effect)" << std::endl;
    EXPECT_GT(acknowledgedChanges, ROUNDS);
}

}  // namespace
}  // namespace quorvane
