#include "scheduling/heartbeat_worker.h"

#include <spdlog/spdlog.h>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "app/daemon_thread.h"
#include "scheduling/calendar_sync.h"

namespace quorvane {
namespace {

// Leaf lock of the worker: guards only `running`; nothing is called while it is held.
std::mutex workerMutex;
std::condition_variable workerIdle;
bool running = false;

void markIdle() {
    {
        std::lock_guard lock(workerMutex);
        running = false;
    }
    workerIdle.notify_all();
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
        std::lock_guard lock(workerMutex);
        alreadyRunning = running;
        running = true;
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
    std::lock_guard lock(workerMutex);
    return running;
}

bool waitForHeartbeatIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(workerMutex);
    return workerIdle.wait_for(lock, limit, [] { return !running; });
}

}  // namespace quorvane
