// Bringing back deleted factory signals: under their own ids, never over a signal that is there, and on
// disk before the answer. The test server runs no scheduler, so only the request writes the files.
#include <gtest/gtest.h>

#include "support/wave_bytes.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::readFile;
using testing::WebServerTest;

class FactorySignalRestore : public WebServerTest {
protected:
    static HttpAnswer restore(Browser& client) { return client.send("POST", "/db/signals/restoreFactory"); }
};

TEST_F(FactorySignalRestore, DeletedSignalsComeBackWithTheirIdsAndPlay) {
    Browser client = browser();
    ASSERT_EQ(client.get("/api/trigger/deleteSignal/ID_ring").body, "ok");
    ASSERT_EQ(client.get("/api/trigger/deleteSignal/ID_ping").body, "ok");
    ASSERT_FALSE(storedDb().signals.contains("ID_ping"));

    const HttpAnswer answer = restore(client);
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.header("Content-Type"), "application/json");
    EXPECT_EQ(Json::parse(answer.body), Json::parse(R"({"restored": ["ID_ping", "ID_ring"]})")) << "in factory order";

    // On disk when answered: read back from the stored file, not from memory.
    const DB stored = storedDb();
    ASSERT_NE(stored.signals.find("ID_ping"), nullptr);
    const AudioAsset& ping = *stored.signals.find("ID_ping");
    EXPECT_EQ(ping.name, "ping");
    EXPECT_EQ(ping.filename, "p-ping.mp3");
    EXPECT_EQ(ping.lengthSec, 3);
    EXPECT_EQ(ping.storageCategory, StorageCategory::ASSET);
    EXPECT_EQ(stored.signals.size(), 13u);

    EXPECT_EQ(client.get("/api/trigger/playSignal/ID_ping").body, "ok");
    EXPECT_TRUE(players.waitForTrace("p-ping.mp3")) << players.traceText();
}

TEST_F(FactorySignalRestore, NothingMissingChangesNothing) {
    Browser client = browser();
    const std::string before = client.get("/db").body;
    std::filesystem::remove(layout.userData() / "_db.json");
    const HttpAnswer answer = restore(client);
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(Json::parse(answer.body), Json::parse(R"({"restored": []})"));
    EXPECT_EQ(client.get("/db").body, before);
    EXPECT_FALSE(std::filesystem::exists(layout.userData() / "_db.json")) << "nothing to write";
}

TEST_F(FactorySignalRestore, SignalsThatAreThereAreKept) {
    Browser client = browser();
    const std::string uploaded = Json::parse(client.upload("/upload", {{"file", testing::waveBytes(0.5), "Gong.wav", "audio/wav"}}).body);
    {
        // A signal of the user's own under a factory id, as a restored backup may bring.
        StateLock lock;
        AudioAsset own;
        own.name = "our melody";
        own.filename = uploaded + ".wav";
        own.lengthSec = 1;
        db.edit(lock).signals.set(FACTORY_DEFAULT_SIGNAL_ID_MELODY, own);
    }
    ASSERT_EQ(client.get("/api/trigger/deleteSignal/ID_double").body, "ok");

    EXPECT_EQ(Json::parse(restore(client).body), Json::parse(R"({"restored": ["ID_double"]})"));
    const DB stored = storedDb();
    EXPECT_EQ(stored.signals.find(FACTORY_DEFAULT_SIGNAL_ID_MELODY)->name, "our melody");
    EXPECT_EQ(stored.signals.find(FACTORY_DEFAULT_SIGNAL_ID_MELODY)->storageCategory, StorageCategory::PERSISTENT);
    EXPECT_EQ(stored.signals.find(uploaded)->name, "Gong");
    EXPECT_EQ(stored.signals.find("ID_double")->filename, "p-double.mp3");
    EXPECT_EQ(stored.signals.size(), 14u);
}

TEST_F(FactorySignalRestore, OnlyForALoggedInBrowserAndOnlyByPost) {
    Browser owner = loggedInBrowser();
    ASSERT_EQ(owner.get("/api/trigger/deleteSignal/ID_robot").body, "ok");
    Browser stranger = browser();
    EXPECT_EQ(restore(stranger).body, "No auth");
    owner.get("/db/signals/restoreFactory");  // a page address to the catch-all; it changes nothing
    EXPECT_FALSE(Json::parse(owner.get("/db").body)["signals"].contains("ID_robot"));
    EXPECT_EQ(Json::parse(restore(owner).body)["restored"], Json({"ID_robot"}));
}

}  // namespace
}  // namespace quorvane
