#pragma once
#include <optional>
#include <string>

namespace quorvane {

struct CommandLine {
    bool verbose = false;
    int port = 5000;
    // HTTPS: both files or neither.
    std::string tlsCertificate;
    std::string tlsKey;
    bool tlsSelfSigned = false;  // make the pair when neither file exists
    int tlsPort = 5443;
    std::string audioDevice;      // "" for the system's default output
    bool windowsService = false;  // started by Windows' service control manager
};

// Parses the command line. Returns the options, or the exit status when the process must end at once
// (0 after --help, 2 after a usage error, with the message already printed).
struct ParsedCommandLine {
    std::optional<CommandLine> options;
    int exitStatus = 0;
};
ParsedCommandLine parseCommandLine(const std::string& banner, int argc, const char* const* argv);

}  // namespace quorvane
