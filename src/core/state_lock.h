#pragma once
// THE LOCKING RULE of the process.
//
// 1. The records inside db, cache and shadow are read and changed only while the thread holds the state
//    lock (a StateLock on the stack). Web handlers and each scheduler pass take it around their work with
//    the records and nothing else: never across a network request, a sleep, a file transfer or a sound.
//    File writes of the stored records take their text under the lock and write it after releasing it;
//    a storage wrapper's save lock is taken before the state lock, never while holding it.
// 2. Every other piece of shared state (the clock reading, the playback registry, the alarm, the network
//    state, the heartbeat worker) has a private leaf lock inside its own module. A leaf lock may be taken
//    while the state lock is held, never the other way round, and no leaf lock is held while calling out
//    of its module.
// 3. References and pointers into the records never outlive the StateLock under which they were taken.
// 4. A function that needs the state lock takes a `const StateLock&`, so the compiler proves that its
//    caller holds it; the storage wrappers hand out records only against one (view to read, edit to
//    change). The run-time check below stays as a second net.
#include <atomic>
#include <mutex>
#include <thread>

namespace quorvane {

class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

    // True when the calling thread holds the state lock.
    static bool heldByThisThread();

private:
    std::unique_lock<std::mutex> _lock;
};

// Throws std::logic_error when the calling thread does not hold the state lock. The storage wrappers
// call it on every access, so a handler that forgets the lock fails loudly in the tests.
void requireStateLock();

}  // namespace quorvane
