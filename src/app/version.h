#pragma once
#include <string>
#include <vector>

namespace quorvane {

// Packaged layout: the trimmed content of the asset file "version.info". Development layout: "D" and
// the output of `git describe --always --dirty` run in the current folder ("D?" when git fails).
// Throws when the version file cannot be read or git cannot be started at all.
std::string getVersion();

struct CommandOutput {
    int exitStatus = 0;
    std::string standardOutput;
};
// Runs a program found on the search path without a shell; standard error is captured and dropped.
// Throws std::system_error when the program cannot be started.
CommandOutput runCommand(const std::vector<std::string>& arguments);

}  // namespace quorvane
