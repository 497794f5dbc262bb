#include "core/state_lock.h"

#include <stdexcept>

namespace quorvane {
namespace {

std::mutex& stateMutex() {
    static std::mutex mutex;
    return mutex;
}

std::atomic<std::thread::id>& owner() {
    static std::atomic<std::thread::id> id{};
    return id;
}

}  // namespace

StateLock::StateLock() : _lock(stateMutex()) { owner().store(std::this_thread::get_id(), std::memory_order_relaxed); }

StateLock::~StateLock() { owner().store(std::thread::id{}, std::memory_order_relaxed); }

bool StateLock::heldByThisThread() { return owner().load(std::memory_order_relaxed) == std::this_thread::get_id(); }

void requireStateLock() {
    if (!StateLock::heldByThisThread()) throw std::logic_error("the state lock is not held");
}

}  // namespace quorvane
