#include "app/termination_signals.h"

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#include <thread>
#endif

namespace quorvane {

#ifndef _WIN32
namespace {

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

void blockTerminationSignals() {
    const sigset_t signals = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void startTerminationSignalThread(std::function<void(const std::string&)> onSignal) {
    std::thread([onSignal = std::move(onSignal)] {
        const sigset_t signals = terminationSignals();
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) != 0) continue;
            onSignal(received == SIGTERM ? "SIGTERM" : "SIGINT");
        }
    }).detach();
}

#else

void blockTerminationSignals() {}
void startTerminationSignalThread(std::function<void(const std::string&)>) {}

#endif

}  // namespace quorvane
