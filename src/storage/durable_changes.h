#pragma once
// Acknowledged means durable, and refused means without effect: a request's changes to the stored records
// are on disk before its answer, and a request answered with an error leaves the records as it found them.
//
// While a DurableChanges lives on a thread, every change of a stored record on that thread (edit(lock) of
// its storage wrapper) is noted with the wrapper's generation, and the wrapper keeps what the change did
// (see storage_wrapper.h). persist() then writes each noted record, unless a write that completed after
// the change already covers it: concurrent requests share writes. When a write fails, every request whose
// change it carried fails with it and is taken back; undo() takes back a request that failed otherwise.
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorvane {

// Generations number the changes of one stored record: every edit(lock) advances it.
using Generation = uint64_t;
// Names the request (the DurableChanges) a change belongs to; NO_OWNER for changes outside any request.
using ChangeOwner = uint64_t;
inline constexpr ChangeOwner NO_OWNER = 0;

// A change that could not be written to disk; the request that made it has been taken back.
class SaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stored record that can be made durable up to a generation, and whose changes can be taken back.
class DurableRecord {
public:
    // Returns once every change up to the generation is on disk; SaveError when the write fails or when a
    // failed write already carried the owner's change (the owner's changes are then taken back).
    virtual void persistThrough(Generation generation, ChangeOwner owner) = 0;
    // Takes back the owner's changes, leaving later changes of others in place; written again when a
    // write had already carried them.
    virtual void undoChanges(ChangeOwner owner) = 0;
    // The owner is done: what was kept to take its changes back is dropped.
    virtual void forgetChanges(ChangeOwner owner) = 0;

protected:
    ~DurableRecord() = default;
};

class DurableChanges {
public:
    DurableChanges();
    ~DurableChanges();
    DurableChanges(const DurableChanges&) = delete;
    DurableChanges& operator=(const DurableChanges&) = delete;

    // Writes every record changed on this thread since construction (or the last persist). When a write
    // fails, every change of this request is taken back (in every record) and SaveError is thrown.
    void persist();
    // Takes back every change of this request (for a request answered with an error).
    void undo();

    // Called by the storage wrappers on every change; notes nothing when no DurableChanges is alive on
    // this thread (the scheduler's changes go through its auto-save).
    static void noteChange(DurableRecord& record, Generation generation);
    // The request changing records on this thread; NO_OWNER when none.
    static ChangeOwner activeOwner();

private:
    std::vector<std::pair<DurableRecord*, Generation>> _changed;
    // Every record this request changed, in the order of the first change.
    std::vector<DurableRecord*> _touched;
    const ChangeOwner _owner;
    DurableChanges* _enclosing;
};

}  // namespace quorvane
