#pragma once
// A program started by a test, with its output captured in files, stopped (SIGKILL) at destruction.
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane::testing {

class ChildProcess {
public:
    // extraEnvironment is added to (and overrides) the test's own environment.
    ChildProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extraEnvironment = {},
                 const std::filesystem::path& workingDir = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status once the program ended within the time limit, else absent.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    // Waits until the standard error output contains the text.
    bool waitForStderr(const std::string& text, std::chrono::milliseconds limit);
    void terminate();

    std::string standardOutput() const { return readFile(_out); }
    std::string standardError() const { return readFile(_err); }
    int pid() const { return _pid; }

private:
    TempDir _outputDir;
    std::filesystem::path _out, _err;
    int _pid = -1;
    std::optional<int> _status;
};

// A development installation of the real executable below a temporary folder: <root>/build holds a
// copy of build/quorvane-player, <root>/assets and <root>/web-ui link to the repository's.
class InstalledPlayer {
public:
    InstalledPlayer();
    const std::filesystem::path& root() const { return _root.path(); }
    std::filesystem::path executable() const { return root() / "build" / "quorvane-player"; }
    std::filesystem::path userData() const { return root() / "userdata"; }

private:
    TempDir _root;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int freePort();

}  // namespace quorvane::testing
