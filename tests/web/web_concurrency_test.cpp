// Many browsers change timetables and settings while the scheduler runs its passes and saves: every
// change must arrive, and the saved file must equal the records in memory.
#include <atomic>

#include <gtest/gtest.h>

#include "scheduling/heartbeat_worker.h"
#include "scheduling/record_saving.h"
#include "scheduling/scheduler.h"
#include "support/fake_time_source.h"
#include "web/web_test_server.h"

// cpp-httplib comes from Debian uninstrumented: the guards of its function-local statics (the set of
// request methods, say) are checked inline there, so ThreadSanitizer cannot see that a static built by
// one worker is complete before another worker reads it, and reports the memcmp of the reader. Only
// reports raised inside the library's own calls are silenced.
// The runtime declares it in no header of its own.
extern "C" const char* __tsan_default_suppressions();
extern "C" __attribute__((weak)) const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

using WebConcurrency = WebServerTest;

TEST_F(WebConcurrency, RequestsChangeRecordsWhileTheSchedulerRunsAndSaves) {
    setenv("QUORVANE_SERVICE_URL", ("http://127.0.0.1:" + std::to_string(testing::freePort())).c_str(), 1);
    auto source = std::make_shared<testing::FakeTimeSource>();
    const auto previousSource = setTimeSource(source);
    std::atomic<bool> clientsDone{false};
    std::atomic<int> passes{0};
    std::thread schedulerThread([&] {
        Scheduler scheduler;
        // Night hours: no bell of the factory timetable falls due.
        for (int second = 0; !clientsDone.load() || passes.load() < 20; ++second, ++passes) {
            source->push(testing::reading(2025, 3, 3, 3, (second / 60) % 60, second % 60));
            scheduler.runPass();
        }
    });

    constexpr int CLIENTS = 6;
    constexpr int ROUNDS = 20;
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < CLIENTS; ++c) {
        clients.emplace_back([&, c] {
            Browser client = browser();
            std::string previous;
            for (int round = 0; round < ROUNDS; ++round) {
                const std::string name = "c" + std::to_string(c) + "r" + std::to_string(round);
                const HttpAnswer created = client.postJson("/db/timetables/create", {{"name", name}});
                if (created.status != 200) ++failures;
                const std::string key = Json::parse(created.body);
                const HttpAnswer updated =
                    client.postJson("/db/timetables/update/" + key, {{"name", name + "u"}, {"chA", {{"preStartWaitMin", round}}}});
                if (updated.body != "true") ++failures;
                if (client.postJson("/db/settings/update", {{"alarmDelaySec", c * 100 + round}, {"calendar.workdayMode", 7}}).body != "true")
                    ++failures;
                if (client.get("/api/get/overview").status != 200 || client.get("/db").status != 200) ++failures;
                // Every other timetable is deleted again.
                if (round % 2 == 1 && client.get("/api/trigger/deleteTimetable/" + previous).body != "ok") ++failures;
                previous = key;
            }
        });
    }
    for (auto& thread : clients) thread.join();
    clientsDone = true;
    schedulerThread.join();
    // The heartbeat of the fifth pass runs on its own worker; let it finish before the test goes on.
    EXPECT_TRUE(waitForHeartbeatIdle(std::chrono::seconds(30)));
    setTimeSource(previousSource);
    unsetenv("QUORVANE_SERVICE_URL");
    EXPECT_EQ(failures.load(), 0);

    saveStoredRecords();
    const DB saved = storedDb();
    StateLock lock;
    EXPECT_TRUE(saved == db.view(lock)) << "the last save holds every change";
    EXPECT_EQ(db.view(lock).timetables.size(), 1u + CLIENTS * ROUNDS / 2);
    for (const auto& [id, timetable] : db.view(lock).timetables) {
        if (id == FACTORY_DEFAULT_TIMETABLE_ID) continue;
        EXPECT_EQ(timetable.name.back(), 'u') << "each update replaced its timetable whole";
        EXPECT_EQ(std::to_string(timetable.chA.preStartWaitMin),
                  timetable.name.substr(timetable.name.find('r') + 1, timetable.name.size() - timetable.name.find('r') - 2));
    }
    EXPECT_EQ(db.view(lock).settings.calendar.workdayMode, WorkdayMode::EVERY_DAY);
    EXPECT_EQ(static_cast<int>(db.view(lock).settings.alarmDelaySec) % 100, ROUNDS - 1) << "the last update of some client";
}

}  // namespace
}  // namespace quorvane
