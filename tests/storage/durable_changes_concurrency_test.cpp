// Requests on many threads make their changes durable at once while the scheduler's auto-save runs: when
// persist() returns, the file holds the thread's change, whoever wrote it.
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

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

// Two requests whose changes one failed write carried both fail, and both are taken back, each record
// member as it was; a third whose change came after that write keeps it, on disk once the disk takes it.
TEST(DurableChangesConcurrency, RequestsSharingAFailedWriteAllFailAndAreTakenBack) {
    testing::TempDir folder;
    const std::filesystem::path file = folder / "_db.json";
    StorageWrapper<DB> stored;
    stored.load(file.string());
    stored.saveForce();
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);  // every write fails until the folder goes
    testing::writeFile(file / "inside", "x");

    const auto changeAs = [&](const std::string& key) {
        StateLock lock;
        stored.edit(lock).timetables.add(TimeTable{}, key);
        stored.edit(lock).settings.defaultTimetableId = key;
    };
    const auto persisted = [](DurableChanges& changes) {
        try {
            changes.persist();
            return true;
        } catch (const SaveError&) {
            return false;
        }
    };
    std::promise<void> firstChanged, secondChanged, firstGo, secondGo;
    auto first = std::async(std::launch::async, [&] {
        DurableChanges changes;
        changeAs("first");
        firstChanged.set_value();
        firstGo.get_future().wait();
        return persisted(changes);
    });
    auto second = std::async(std::launch::async, [&] {
        DurableChanges changes;
        firstChanged.get_future().wait();
        changeAs("second");
        secondChanged.set_value();
        secondGo.get_future().wait();
        return persisted(changes);
    });
    secondChanged.get_future().wait();
    firstGo.set_value();
    EXPECT_FALSE(first.get()) << "its write carried both changes and failed";
    std::filesystem::remove_all(file);  // the disk takes writes again
    auto later = std::async(std::launch::async, [&] {
        DurableChanges changes;
        changeAs("later");
        return persisted(changes);
    });
    secondGo.set_value();
    EXPECT_FALSE(second.get()) << "the failed write carried its change";
    EXPECT_TRUE(later.get());
    {
        StateLock lock;
        const DB& now = stored.view(lock);
        EXPECT_FALSE(now.timetables.contains("first"));
        EXPECT_FALSE(now.timetables.contains("second"));
        EXPECT_TRUE(now.timetables.contains("later"));
        EXPECT_EQ(now.settings.defaultTimetableId, "later");
    }
    stored.saveAuto();
    const DB onDisk = from_json<DB>(testing::readFile(file));
    EXPECT_FALSE(onDisk.timetables.contains("first"));
    EXPECT_FALSE(onDisk.timetables.contains("second"));
    EXPECT_TRUE(onDisk.timetables.contains("later"));
}

}  // namespace
}  // namespace quorvane
