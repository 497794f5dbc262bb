#pragma once
// The player as a Windows service: the installer registers "quorvane-player.exe --windows-service" with
// the service control manager, which starts it at every start of Windows, before anyone logs in. The
// manager's stop and shutdown requests take the way of a termination signal; readiness and the stop are
// reported back to it (through the service notifier). Elsewhere these do nothing.
#include <functional>

namespace quorvane {

// The option that names a start by the service control manager.
inline constexpr const char* WINDOWS_SERVICE_OPTION = "--windows-service";

// True when argv holds WINDOWS_SERVICE_OPTION (on Windows only).
bool startedAsWindowsService(int argc, const char* const* argv);

// Hands the process to the service control manager, which runs `serve` on a thread of its own and
// learns its exit status when it returns. Returns the status, or 1 when the manager refuses (the
// program was started by hand with the option).
int runAsWindowsService(const std::function<int()>& serve);

// True while the process runs as the service.
bool runningAsWindowsService();

// What the service control manager is told; nothing outside a service.
void reportWindowsServiceRunning();
void reportWindowsServiceStopping();

}  // namespace quorvane
