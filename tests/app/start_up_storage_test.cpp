// Start-up with stored files, through the real executable in a temporary installation.
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

TEST(StartUpStorage, BrokenFileEndsStartUpWithOneClearLine) {
    InstalledPlayer player;
    writeFile(player.userData() / "cache.json", R"({"calendarRegions": {"hu": )");
    ChildProcess run({player.executable().string(), "--port", std::to_string(testing::freePort())}, {}, player.root());
    ASSERT_EQ(run.waitForExit(10s), 1);
    const std::string log = run.standardError();
    const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
    EXPECT_NE(last.find((player.userData() / "cache.json").string()), std::string::npos) << log;
    EXPECT_NE(last.find("not valid JSON"), std::string::npos) << log;
    EXPECT_EQ(readFile(player.userData() / "cache.json"), R"({"calendarRegions": {"hu": )");
}

}  // namespace
}  // namespace quorvane
