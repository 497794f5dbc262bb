#include "support/player_service.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

namespace quorvane::testing {

httplib::Client playerClient(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::milliseconds(200));
    client.set_read_timeout(std::chrono::seconds(5));
    return client;
}

bool waitUntilServing(int port) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (playerClient(port).Get("/api/get/status")) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

RecordingPlayers::RecordingPlayers() {
    const std::string log = (_dir / "players.log").string();
    for (const char* name : {"mpg123", "aplay"}) {
        const auto stub = _dir / "bin" / name;
        // Short sleeps, so that the trap runs within 50 ms of the signal.
        writeFile(stub,
                  "#!/bin/sh\n"
                  "trap 'echo \"TERM $$\" >> \"" +
                      log +
                      "\"; exit 143' TERM\n"
                      "echo \"start $$\" >> '" +
                      log +
                      "'\n"
                      "i=0; while [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n");
        chmod(stub.c_str(), 0755);
    }
}

std::string RecordingPlayers::searchPath() const {
    const char* path = std::getenv("PATH");
    return (_dir / "bin").string() + ":" + (path ? path : "/usr/bin:/bin");
}

std::string RecordingPlayers::log() const { return std::filesystem::exists(_dir / "players.log") ? readFile(_dir / "players.log") : ""; }

bool RecordingPlayers::waitForLog(const std::string& text, std::chrono::milliseconds limit) const {
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (log().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

namespace {

std::vector<std::string> throughShell(const std::string& script, const std::vector<std::string>& command) {
    std::vector<std::string> shell{"/bin/sh", "-c", script + "; exec \"$@\"", "sh"};
    shell.insert(shell.end(), command.begin(), command.end());
    return shell;
}

}  // namespace

std::vector<std::string> withOwnWatchdogPid(const std::vector<std::string>& command) {
    // exec keeps the shell's process id.
    return throughShell("export WATCHDOG_PID=$$", command);
}

std::vector<std::string> withStandardErrorAsJournal(const std::vector<std::string>& command) {
    return throughShell("export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2)", command);
}

}  // namespace quorvane::testing
