#pragma once
#include <optional>
#include <string>

namespace quorvane {

struct CommandLine {
    bool verbose = false;
    int port = 5000;
};

// Parses the command line. Returns the options, or the exit status when the process must end at once
// (0 after --help, 2 after a usage error, with the message already printed).
struct ParsedCommandLine {
    std::optional<CommandLine> options;
    int exitStatus = 0;
};
ParsedCommandLine parseCommandLine(const std::string& banner, int argc, const char* const* argv);

// Configures the process-wide log: bare messages on standard error, info or debug level.
void configureLogging(bool verbose);

// The entry of the process; returns only when the server stops (or start-up fails), with the exit status.
int start_app(int argc, const char* const* argv);

}  // namespace quorvane
