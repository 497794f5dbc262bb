#include "app/shutdown.h"

#include <algorithm>
#include <thread>

#include <spdlog/spdlog.h>

#include "audio/alarm.h"
#include "audio/emergency.h"
#include "audio/player.h"
#include "audio/player_children.h"
#include "scheduling/bell_journal.h"
#include "scheduling/scheduler.h"
#include "web/web_server.h"

namespace quorvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Requests being answered are given this long; a keep-alive connection idling in its wait may hold one.
constexpr milliseconds REQUESTS_LIMIT{1000};
// A pass takes milliseconds, the wait between passes up to a tenth of a second.
constexpr milliseconds SCHEDULER_LIMIT{500};
// Players get SIGTERM at once and SIGKILL at the end of this.
constexpr milliseconds PLAYERS_LIMIT{800};
// Playback threads notice their stop within a tick; one waiting out a pause is not waited for.
constexpr milliseconds PLAYS_LIMIT{300};

}  // namespace

void StopRequest::request(const std::string& text, int exitStatus) {
    {
        std::lock_guard lock(_mutex);
        if (_reason) return;
        _reason = StopReason{text, exitStatus};
    }
    _requested.notify_all();
}

StopReason StopRequest::wait() {
    std::unique_lock lock(_mutex);
    _requested.wait(lock, [this] { return _reason.has_value(); });
    return *_reason;
}

struct ServingThread::State {
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended = false;
};

ServingThread::ServingThread(std::shared_ptr<StopRequest> stop) : _state(std::make_shared<State>()) {
    std::thread([state = _state, stop = std::move(stop)] {
        const bool served = web::app.serve();
        {
            std::lock_guard lock(state->mutex);
            state->ended = true;
        }
        state->endedChanged.notify_all();
        if (!served) spdlog::error("The web server stopped accepting connections");
        stop->request("the web server stopped", 1);
    }).detach();
}

bool ServingThread::waitForEnd(Clock::time_point deadline) {
    std::unique_lock lock(_state->mutex);
    return _state->endedChanged.wait_until(lock, deadline, [this] { return _state->ended; });
}

void shutDown(ServingThread& serving, Scheduler& scheduler) {
    // The server may not have entered its loop yet, and it may be stopped only once it has.
    const auto requestsLimit = Clock::now() + REQUESTS_LIMIT;
    bool stopped = false;
    while (!serving.waitForEnd(std::min(Clock::now() + milliseconds(10), requestsLimit))) {
        if (!stopped && web::app.isRunning()) {
            web::app.stop();
            stopped = true;
        }
        if (Clock::now() >= requestsLimit) {
            spdlog::warn("Web connections still open at shutdown were dropped");
            break;
        }
    }

    if (!scheduler.stop(Clock::now() + SCHEDULER_LIMIT)) spdlog::error("The scheduler did not stop; changes since its last save are lost");

    Emergency::stop(OutcomeReason::SHUTDOWN);
    Alarm::switchOff(OutcomeReason::SHUTDOWN);
    Player::stopAll(OutcomeReason::SHUTDOWN);
    if (!endAllPlayerChildren(Clock::now() + PLAYERS_LIMIT)) spdlog::warn("A player did not end on SIGTERM and was killed");

    // The stopped plays journal themselves as their threads end; then the journal writes what it holds.
    const auto playsLimit = Clock::now() + PLAYS_LIMIT;
    while (Player::hasRunningThreads() && Clock::now() < playsLimit) std::this_thread::sleep_for(milliseconds(5));
    openJournal(nullptr);
}

}  // namespace quorvane
