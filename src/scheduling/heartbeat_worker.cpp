#include "scheduling/heartbeat_worker.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include <spdlog/spdlog.h>

#include "core/daemon_thread.h"
#include "scheduling/calendar_sync.h"

namespace quorvane {
namespace {

// The worker's own state under its leaf lock: only `running` is guarded, and nothing is called while
// the lock is held. Never destroyed: a detached heartbeat may still be finishing when the process exits.
struct WorkerState {
    std::mutex mutex;
    std::condition_variable idle;
    bool running = false;
};

WorkerState& worker() {
    static WorkerState* const state = new WorkerState;
    return *state;
}

void markIdle() {
    std::lock_guard lock(worker().mutex);
    worker().running = false;
    worker().idle.notify_all();
}

class HeartbeatThread : public DaemonThread {
protected:
    void run() override {
        try {
            phoneHome();
        } catch (const std::exception& error) {
            spdlog::error("Heartbeat error: {}", error.what());
        } catch (...) {
            spdlog::error("Heartbeat error: unknown failure");
        }
        markIdle();
    }
};

}  // namespace

void startHeartbeat() {
    bool alreadyRunning = false;
    {
        std::lock_guard lock(worker().mutex);
        alreadyRunning = worker().running;
        worker().running = true;
    }
    if (alreadyRunning) {
        // A service slower than the heartbeat period gets no second request piled onto it.
        spdlog::debug("Heartbeat skipped: the previous one is still running");
        return;
    }
    try {
        std::make_shared<HeartbeatThread>()->start();
    } catch (...) {
        markIdle();
        throw;
    }
}

bool heartbeatRunning() {
    std::lock_guard lock(worker().mutex);
    return worker().running;
}

bool waitForHeartbeatIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(worker().mutex);
    return worker().idle.wait_for(lock, limit, [] { return !worker().running; });
}

}  // namespace quorvane
