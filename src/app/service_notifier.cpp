#include "app/service_notifier.h"

#include <cstdint>
#include <cstdlib>

#include "app/windows_service.h"

#ifdef QUORVANE_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace quorvane {

ServiceNotifier::ServiceNotifier() {
#ifdef QUORVANE_HAVE_SYSTEMD
    const char* socket = std::getenv("NOTIFY_SOCKET");
    _active = socket && *socket;
    uint64_t usec = 0;
    if (_active && sd_watchdog_enabled(0, &usec) > 0) _watchdog = std::chrono::microseconds(usec);
#endif
}

void ServiceNotifier::ready(const std::string& status) {
    {
        std::lock_guard lock(_mutex);
        _lastStatus = status;
    }
    send("READY=1\nSTATUS=" + status);
    reportWindowsServiceRunning();
}

void ServiceNotifier::status(const std::string& status) {
    {
        std::lock_guard lock(_mutex);
        if (status == _lastStatus) return;
        _lastStatus = status;
    }
    send("STATUS=" + status);
}

void ServiceNotifier::passCompleted() {
    if (_watchdog.count() == 0) return;
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(_mutex);
        if (now - _lastKeepAlive < _watchdog / 2) return;
        _lastKeepAlive = now;
    }
    send("WATCHDOG=1");
}

void ServiceNotifier::stopping() {
    send("STOPPING=1\nSTATUS=Stopping");
    reportWindowsServiceStopping();
}

void ServiceNotifier::send([[maybe_unused]] const std::string& state) {
#ifdef QUORVANE_HAVE_SYSTEMD
    // A failure to notify is not worth more than the service manager's own time-outs report.
    if (_active) sd_notify(0, state.c_str());
#endif
}

}  // namespace quorvane
