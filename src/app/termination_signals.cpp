#include "app/termination_signals.h"

#include <mutex>
#include <optional>

#include "app/windows_service.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <thread>

#include <pthread.h>
#endif

namespace quorvane {
namespace {

// Where stop requests go once the process listens for them. Leaf lock; the target is called outside it.
struct TerminationTarget {
    std::mutex mutex;
    std::function<void(const std::string&)> onSignal;
    std::optional<std::string> pending;
};

TerminationTarget& terminationTarget() {
    static TerminationTarget target;
    return target;
}

void listenForTermination(std::function<void(const std::string&)> onSignal) {
    TerminationTarget& target = terminationTarget();
    std::optional<std::string> pending;
    {
        std::lock_guard lock(target.mutex);
        target.onSignal = onSignal;
        pending.swap(target.pending);
    }
    if (pending) onSignal(*pending);
}

}  // namespace

void requestTermination(const std::string& name) {
    TerminationTarget& target = terminationTarget();
    std::function<void(const std::string&)> onSignal;
    {
        std::lock_guard lock(target.mutex);
        if (!target.onSignal) {
            target.pending = name;
            return;
        }
        onSignal = target.onSignal;
    }
    onSignal(name);
}

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
    listenForTermination(onSignal);
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

// Runs on a thread the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    // A service gets the logoff event of every user who logs off, and runs on.
    if (event == CTRL_LOGOFF_EVENT && runningAsWindowsService()) return FALSE;
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    requestTermination(interrupt ? "SIGINT" : "SIGTERM");
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
    listenForTermination(std::move(onSignal));
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#endif

}  // namespace quorvane
