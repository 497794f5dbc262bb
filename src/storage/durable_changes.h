#pragma once
// Acknowledged means durable: a request's changes to the stored records are on disk before its answer.
//
// While a DurableChanges lives on a thread, every change of a stored record on that thread (edit(lock) of
// its storage wrapper) is noted with the wrapper's generation. persist() then writes each noted record,
// unless a write that completed after the change already covers it: concurrent requests share writes.
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorvane {

// Generations number the changes of one stored record: every edit(lock) advances it.
using Generation = uint64_t;

// A change that is in memory but could not be written to disk (the auto-save keeps trying).
class SaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stored record that can be made durable up to a generation.
class DurableRecord {
public:
    // Returns once every change up to the generation is on disk; SaveError when the write fails.
    virtual void persistThrough(Generation generation) = 0;

protected:
    ~DurableRecord() = default;
};

class DurableChanges {
public:
    DurableChanges();
    ~DurableChanges();
    DurableChanges(const DurableChanges&) = delete;
    DurableChanges& operator=(const DurableChanges&) = delete;

    // Writes every record changed on this thread since construction (or the last persist); the first
    // failed write throws SaveError, and the records not yet written stay noted.
    void persist();

    // Called by the storage wrappers on every change; notes nothing when no DurableChanges is alive on
    // this thread (the scheduler's changes go through its auto-save).
    static void noteChange(DurableRecord& record, Generation generation);

private:
    std::vector<std::pair<DurableRecord*, Generation>> _changed;
    DurableChanges* _enclosing;
};

}  // namespace quorvane
