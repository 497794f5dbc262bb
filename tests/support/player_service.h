#pragma once
// For tests that run the real player executable the way the service manager does: a client for its web
// port, stub players that record the signals they get, and the environment systemd gives a service.
#include <chrono>
#include <string>
#include <vector>

#include <httplib.h>

#include "support/temp_dir.h"

namespace quorvane::testing {

httplib::Client playerClient(int port);
// Waits until the player answers on the port; false after ten seconds.
bool waitUntilServing(int port);

// mpg123 and aplay stubs in a folder of their own. Each records "start <pid>" and plays for 30 s; on
// SIGTERM it records "TERM <pid>" and ends.
class RecordingPlayers {
public:
    RecordingPlayers();
    // The stubs' folder first, then the test's own search path.
    std::string searchPath() const;
    std::string log() const;
    bool waitForLog(const std::string& text, std::chrono::milliseconds limit) const;

private:
    TempDir _dir;
};

// The command run through a shell that first sets WATCHDOG_PID to the program's own process id, as
// systemd does for the service's main process.
std::vector<std::string> withOwnWatchdogPid(const std::vector<std::string>& command);
// The command run through a shell that first names the program's standard error in JOURNAL_STREAM, as
// systemd does when the output goes to the journal.
std::vector<std::string> withStandardErrorAsJournal(const std::vector<std::string>& command);

}  // namespace quorvane::testing
