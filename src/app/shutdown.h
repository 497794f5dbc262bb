#pragma once
// The clean end of the server, asked for by SIGTERM or SIGINT (or forced by the web server ending on its
// own): stop accepting requests and let those being answered finish, stop the scheduler (whose last act
// saves the changed records), end every playback and collect its player. Each step has its own time
// limit, so the whole ends within about 2.5 s even when something hangs.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quorvane {

class Scheduler;

struct StopReason {
    std::string text;
    int exitStatus = 0;
};

// The first request to stop wins; later ones are ignored.
class StopRequest {
public:
    void request(const std::string& text, int exitStatus);
    StopReason wait();

private:
    // Leaf lock of the request.
    std::mutex _mutex;
    std::condition_variable _requested;
    std::optional<StopReason> _reason;
};

// The web server's serving loop on a thread of its own. Its return is a stop request with status 1
// unless a stop was asked for first.
class ServingThread {
public:
    explicit ServingThread(std::shared_ptr<StopRequest> stop);
    // True once the serving loop has returned.
    bool waitForEnd(std::chrono::steady_clock::time_point deadline);

private:
    struct State;
    std::shared_ptr<State> _state;
};

void shutDown(ServingThread& serving, Scheduler& scheduler);

}  // namespace quorvane
