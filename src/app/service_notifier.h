#pragma once
// Talks to the service manager (systemd) through the socket it names in NOTIFY_SOCKET: readiness, a
// status line, the watchdog's keep-alive and the start of the shutdown; on Windows, readiness and the
// shutdown go to the service control manager. Started any other way (by hand, or built without
// libsystemd) every call does nothing.
#include <chrono>
#include <mutex>
#include <string>

namespace quorvane {

class ServiceNotifier {
public:
    // Reads the notification socket and the watchdog interval (WATCHDOG_USEC, for this process only
    // when WATCHDOG_PID names it) from the environment.
    ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    // A notification socket is named: the status line is worth computing.
    bool active() const { return _active; }
    // Zero when no watchdog is asked for.
    std::chrono::microseconds watchdogInterval() const { return _watchdog; }

    void ready(const std::string& status);
    // Sent only when it differs from the last line sent.
    void status(const std::string& status);
    // Called at the end of every scheduler pass: keeps the watchdog fed at half its interval, so a
    // scheduler that stops passing gets the process restarted.
    void passCompleted();
    void stopping();

private:
    void send(const std::string& state);

    bool _active = false;
    std::chrono::microseconds _watchdog{0};
    // Leaf lock of the notifier.
    std::mutex _mutex;
    std::string _lastStatus;
    std::chrono::steady_clock::time_point _lastKeepAlive{};
};

}  // namespace quorvane
