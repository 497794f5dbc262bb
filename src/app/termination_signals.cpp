#include "app/termination_signals.h"

#ifdef _WIN32
#include <windows.h>
#else
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

namespace {

std::function<void(const std::string&)>& consoleHandlerTarget() {
    static std::function<void(const std::string&)> target;
    return target;
}

// Runs on a thread the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    consoleHandlerTarget()(interrupt ? "SIGINT" : "SIGTERM");
    // After a close, logoff or shutdown event the system ends the process once this returns: wait here
    // for the main thread's shutdown, which ends the process itself (the system's own limit still holds).
    if (!interrupt) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

// Windows has no signal mask: console events arrive on threads of their own anyway.
void blockTerminationSignals() {}

// Ctrl+C and Ctrl+Break stand for SIGINT; closing the console, logging off and shutting down for SIGTERM.
void startTerminationSignalThread(std::function<void(const std::string&)> onSignal) {
    consoleHandlerTarget() = std::move(onSignal);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#endif

}  // namespace quorvane
