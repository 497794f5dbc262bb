#include "stop_request.h"

#ifdef _WIN32
#include <windows.h>

#include <condition_variable>
#include <mutex>
#else
#include <signal.h>
#endif

namespace standin {

#ifdef _WIN32
namespace {

std::mutex stopMutex;
std::condition_variable stopAsked;
bool stopped = false;

BOOL WINAPI onConsoleEvent(DWORD) {
    {
        std::lock_guard lock(stopMutex);
        stopped = true;
    }
    stopAsked.notify_all();
    return TRUE;
}

}  // namespace

void blockStopRequests() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void waitForStopRequest() {
    std::unique_lock lock(stopMutex);
    stopAsked.wait(lock, [] { return stopped; });
}
#else
namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

void blockStopRequests() {
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void waitForStopRequest() {
    const sigset_t signals = stopSignals();
    int received = 0;
    sigwait(&signals, &received);
}
#endif

}  // namespace standin
