#pragma once
// The journal's writer thread. Entries come from the scheduler's pass and from playback threads, which
// must never wait for a disk: they hand entries over through a bounded queue, and this thread appends
// them to their day's file, keeps the record of the scheduler's last pass (at most once a minute) and
// removes the days past keeping at the day change.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "model/journal_entry.h"
#include "model/time_reading.h"

namespace quorvane {

class JournalWriter {
public:
    static constexpr size_t QUEUE_CAPACITY = 4096;
    // A runaway repeat cannot fill the disk: later entries of a full day are dropped, the cap noted once.
    static constexpr int64_t MAX_ENTRIES_PER_DAY = 10000;
    static constexpr int64_t KEEP_DAYS = 100;
    static constexpr int64_t LAST_PASS_INTERVAL_SECONDS = 60;

    // Creates the folder when it is missing; the thread starts at once.
    explicit JournalWriter(std::filesystem::path folder);
    // Writes what is queued, then ends the thread.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    const std::filesystem::path& folder() const { return _folder; }

    // Never blocks on the disk. False when the queue is full: the entry is dropped (and logged).
    bool submit(JournalEntry entry);
    // The scheduler's pass at a reading: kept for the record of the last pass, and a new date removes the
    // old days.
    void notePass(const struct_time& reading);
    // Returns once everything submitted and noted before the call is on disk.
    void flush();

private:
    struct DayFile {
        int64_t lines = 0;
        bool endsTorn = false;  // the last line has no line end (a crash tore it)
    };
    struct Work {
        std::deque<JournalEntry> entries;
        std::optional<struct_time> lastPass;
        std::optional<struct_time> pruneFor;
    };

    void run();
    void write(Work& work);
    void append(const std::string& date, const std::deque<JournalEntry>& entries);
    DayFile& dayFile(const std::string& date);
    bool hasWork() const;

    const std::filesystem::path _folder;
    // Leaf lock of the queue and the pass record (see core/state_lock.h).
    mutable std::mutex _mutex;
    std::condition_variable _wake, _done;
    std::deque<JournalEntry> _queue;
    std::optional<struct_time> _pendingPass, _writtenPass;
    std::optional<struct_time> _pendingPrune;
    std::string _passDate;
    uint64_t _requested = 0, _completed = 0;
    bool _dropping = false;
    bool _stop = false;
    // Only the writer thread touches these.
    std::map<std::string, DayFile> _days;
    std::thread _thread;
};

}  // namespace quorvane
