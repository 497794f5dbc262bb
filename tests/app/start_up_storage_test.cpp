// Start-up with stored files, through the real executable in a temporary installation.
#include <algorithm>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "model/db.h"
#include "storage/shadow.h"
#include "support/child_process.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::InstalledPlayer;
using testing::readFile;
using testing::writeFile;

TEST(StartUpStorage, NoFilesMeansFactoryContentAndASavedSalt) {
    InstalledPlayer player;
    ChildProcess run({player.executable().string(), "-v", "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("Falling back to factory default config", 10s)) << run.standardError();
    // The salt created at start-up is written at once, so sessions survive a restart.
    const auto shadowFile = player.userData() / "_shadow.json";
    for (int i = 0; i < 200 && !std::filesystem::exists(shadowFile); ++i) std::this_thread::sleep_for(10ms);
    const Shadow stored = from_json<Shadow>(readFile(shadowFile));
    ASSERT_TRUE(stored._salt.has_value());
    EXPECT_EQ(stored._salt->size(), 64u);
    EXPECT_FALSE(stored._pwd.has_value());
}

TEST(StartUpStorage, OtherVersionFallsBackWithoutTouchingTheFile) {
    InstalledPlayer player;
    const std::string stored = R"({"dbVersion": 2})";
    writeFile(player.userData() / "_db.json", stored);
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("Falling back to factory default config", 10s)) << run.standardError();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(readFile(player.userData() / "_db.json"), stored);
}

TEST(StartUpStorage, StoredDatabaseIsUsed) {
    InstalledPlayer player;
    DB database;
    database.loadFactoryDefault();
    writeFile(player.userData() / "_db.json", to_json(database));
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(run.standardError().find("Falling back"), std::string::npos);
}

TEST(StartUpStorage, BrokenDatabaseOrCredentialsEndStartUpWithOneClearLine) {
    for (const char* name : {"_db.json", "_shadow.json"}) {
        InstalledPlayer player;
        writeFile(player.userData() / name, R"({"settings": {"calendar": )");
        ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
        ASSERT_EQ(run.waitForExit(10s), 1) << name;
        const std::string log = run.standardError();
        const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
        EXPECT_NE(last.find((player.userData() / name).string()), std::string::npos) << log;
        EXPECT_NE(last.find("not valid JSON"), std::string::npos) << log;
        EXPECT_EQ(readFile(player.userData() / name), R"({"settings": {"calendar": )");
    }
}

// The cache is a copy of the remote registry: the player starts without it and keeps the bad file aside.
TEST(StartUpStorage, BrokenCacheIsMovedAsideAndStartUpGoesOn) {
    InstalledPlayer player;
    const std::string broken = R"({"calendarRegions": {"hu": {"holidays": [20241224]}}})";
    writeFile(player.userData() / "cache.json", broken);
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s)) << run.standardError();
    ASSERT_TRUE(run.waitForStderr("starting with an empty cache", 10s)) << run.standardError();
    EXPECT_FALSE(run.waitForExit(300ms)) << run.standardError();
    EXPECT_NE(run.standardError().find("calendarRegions.hu.holidays[0]"), std::string::npos) << run.standardError();
    EXPECT_FALSE(std::filesystem::exists(player.userData() / "cache.json"));
    std::vector<std::string> aside;
    for (const auto& entry : std::filesystem::directory_iterator(player.userData()))
        if (entry.path().filename().string().rfind("cache.json.bad-", 0) == 0) aside.push_back(readFile(entry.path()));
    EXPECT_EQ(aside, std::vector<std::string>{broken});
}

// Older versions accepted numbers that stop the bells or cannot be read back; such a file still loads.
TEST(StartUpStorage, StoredValuesOutOfBoundsAreRepairedWithAWarning) {
    InstalledPlayer player;
    DB database;
    database.loadFactoryDefault();
    std::string text = to_json(database);
    const auto replaceFirst = [&](const std::string& from, const std::string& to) { text.replace(text.find(from), from.size(), to); };
    replaceFirst(R"("alarmDelaySec": 0.0)", R"("alarmDelaySec": NaN)");
    replaceFirst(R"("iterations": 2)", R"("iterations": -1)");
    replaceFirst(R"("preStartWaitMin": 5)", R"("preStartWaitMin": 100000000000000000)");
    writeFile(player.userData() / "_db.json", text);
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s)) << run.standardError();
    ASSERT_TRUE(run.waitForStderr("preStartWaitMin", 10s)) << run.standardError();
    const std::string log = run.standardError();
    EXPECT_NE(log.find("_db.json: stored value out of bounds: settings.alarmDelaySec: NaN replaced by 0"), std::string::npos) << log;
    EXPECT_NE(log.find("timetables.ID_factory_default_timetable.chA.startOfClass.iterations: -1 replaced by 1"), std::string::npos) << log;
    EXPECT_NE(log.find("timetables.ID_factory_default_timetable.chA.preStartWaitMin: 100000000000000000 replaced by 1440"), std::string::npos) << log;
    EXPECT_EQ(log.find("Falling back"), std::string::npos) << log;
    EXPECT_FALSE(run.waitForExit(300ms)) << log;
}

TEST(StartUpStorage, LeftoversOfInterruptedSavesAreRemoved) {
    InstalledPlayer player;
    for (const char* name : {"_db.json.tmp-a1B2c3", "_shadow.json.tmp-XyZ789", "0cc175b9c0f1b6a831c399e269772661.mp3.tmp-000000"})
        writeFile(player.userData() / name, "{");
    writeFile(player.userData() / "notes.tmp-1", "kept: not a name the player writes");
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_TRUE(run.waitForStderr("<----", 10s)) << run.standardError();
    // The salt drawn at start-up is the last write; once it is in place nothing else writes.
    for (int i = 0; i < 500 && !std::filesystem::exists(player.userData() / "_shadow.json"); ++i) std::this_thread::sleep_for(10ms);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(player.userData())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& name) { return name.find(".tmp-") != std::string::npos; }), 1)
        << ::testing::PrintToString(names);
    EXPECT_TRUE(std::filesystem::exists(player.userData() / "notes.tmp-1"));
    EXPECT_NE(run.standardError().find("Removed _db.json.tmp-a1B2c3, left by an interrupted save"), std::string::npos);
}

// The credentials file holds the password hash and the session signing salt.
TEST(StartUpStorage, CredentialsAndTheUserDataFolderArePrivate) {
    InstalledPlayer player;
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    const auto shadowFile = player.userData() / "_shadow.json";
    for (int i = 0; i < 500 && !std::filesystem::exists(shadowFile); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(std::filesystem::exists(shadowFile)) << run.standardError();
    EXPECT_EQ(std::filesystem::status(shadowFile).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(std::filesystem::status(player.userData()).permissions(), std::filesystem::perms(0700));
}

}  // namespace
}  // namespace quorvane
