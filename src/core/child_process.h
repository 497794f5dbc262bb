#pragma once
// Child processes started without a shell: the version's git and the sound players.
#include <string>
#include <vector>

namespace quorvane {

// Starts a program found on the search path with the given arguments (the first is the program) and
// returns its process id without waiting. Its standard error goes to the null device; its standard
// output goes to outputFd when one is given (else it keeps the server's); the server's other
// descriptors are not inherited, and the server's signal mask and ignored signals are reset so that
// SIGTERM always ends the child. Throws std::system_error when the program cannot be started.
// Only the Linux sound players are started this way; Windows plays in the process itself.
#ifndef _WIN32
int spawnProgram(const std::vector<std::string>& arguments, int outputFd = -1);
#endif

struct CommandOutput {
    int exitStatus = 0;
    std::string standardOutput;
};
// Runs a program to its end and captures its standard output (standard error is dropped).
// Throws std::system_error when the program cannot be started.
CommandOutput runCommand(const std::vector<std::string>& arguments);

}  // namespace quorvane
