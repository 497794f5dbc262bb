// Requests on many threads make their changes durable at once while the scheduler's auto-save runs: when
// persist() returns, the file holds the thread's change, whoever wrote it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "model/db.h"
#include "storage/storage_wrapper.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(DurableChangesConcurrency, EveryPersistedChangeIsInTheFileWhenPersistReturns) {
    testing::TempDir folder;
    const std::string path = (folder / "_db.json").string();
    StorageWrapper<DB> stored;
    stored.load(path);
    constexpr int THREADS = 6;
    constexpr int CHANGES = 25;
    {
        StateLock lock;
        for (int t = 0; t < THREADS; ++t) stored.edit(lock).timetables.add(TimeTable{}, "t" + std::to_string(t));
    }
    std::atomic<bool> done{false};
    std::thread scheduler([&] {
        while (!done) stored.saveAuto();
    });
    std::atomic<int> lost{0};
    std::vector<std::thread> requests;
    for (int t = 0; t < THREADS; ++t) {
        requests.emplace_back([&, key = "t" + std::to_string(t)] {
            for (int i = 0; i < CHANGES; ++i) {
                const std::string name = key + "-" + std::to_string(i);
                DurableChanges changes;
                {
                    StateLock lock;
                    stored.edit(lock).timetables.find(key)->name = name;
                }
                changes.persist();
                const DB onDisk = from_json<DB>(testing::readFile(path));
                const TimeTable* written = onDisk.timetables.find(key);
                if (!written || written->name != name) ++lost;
            }
        });
    }
    for (auto& request : requests) request.join();
    done = true;
    scheduler.join();
    EXPECT_EQ(lost.load(), 0);
}

}  // namespace
}  // namespace quorvane
