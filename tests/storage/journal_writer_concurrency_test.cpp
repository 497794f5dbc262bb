// The journal's writer fed from several threads at once, as by the scheduler and playback threads.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "storage/journal_files.h"
#include "storage/journal_writer.h"
#include "support/fake_time_source.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(JournalWriterConcurrency, EveryEntryFromManyThreadsLandsOnceWhilePassesAndFlushesInterleave) {
    testing::TempDir dir;
    constexpr int threads = 4, perThread = 500;
    {
        JournalWriter writer(dir / "journal");
        std::vector<std::thread> submitters;
        for (int t = 0; t < threads; ++t) {
            submitters.emplace_back([&writer, t] {
                for (int i = 0; i < perThread; ++i) {
                    JournalEntry entry;
                    entry.due = "2024-09-02T08:00:00";
                    entry.signalId = std::to_string(t) + "-" + std::to_string(i);
                    while (!writer.submit(entry)) std::this_thread::yield();
                    if (i % 100 == 0) writer.flush();
                }
            });
        }
        std::thread passes([&writer] {
            for (int s = 0; s < 300; ++s) writer.notePass(testing::reading(2024, 9, 2, 8, 0, s));
        });
        for (auto& submitter : submitters) submitter.join();
        passes.join();
        writer.flush();
        EXPECT_EQ(readJournalDay(dir / "journal", "2024-09-02").size(), static_cast<size_t>(threads * perThread));
    }
    EXPECT_EQ(readLastPass(dir / "journal"), testing::reading(2024, 9, 2, 8, 4, 0)) << "a pass a minute is recorded";
}

}  // namespace
}  // namespace quorvane
