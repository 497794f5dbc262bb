#include "audio/mci_commands.h"

#include <spdlog/spdlog.h>

#include "audio/file_player.h"

namespace quorvane {

std::string mciAlias(uint64_t number) { return "quorvaneSong" + std::to_string(number); }

// No device type is named: MCI picks the device from the file's extension.
std::string mciOpenCommand(const std::string& path, const std::string& alias) { return "open \"" + path + "\" alias " + alias; }

// Without the wait option, so that it returns while the sound plays.
std::string mciPlayCommand(const std::string& alias) { return "play " + alias; }

std::string mciStatusCommand(const std::string& alias) { return "status " + alias + " mode"; }

std::string mciCloseCommand(const std::string& alias) { return "close " + alias; }

bool mciModeIsPlaying(const std::string& answer) { return answer == "playing"; }

std::string mciErrorMessage(uint32_t code, const std::string& command, const std::string& errorText) {
    return "\n    Error " + std::to_string(code) + " for command:\n        " + command + "\n    " + errorText;
}

void failMciCommand(uint32_t code, const std::string& command, const std::string& errorText) {
    const std::string message = mciErrorMessage(code, command, errorText);
    spdlog::error("{}", message);
    throw PlaybackError(message);
}

}  // namespace quorvane
