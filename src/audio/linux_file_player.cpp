#if !defined(_WIN32) && !defined(__CYGWIN__)
#include "audio/linux_file_player.h"

#include <filesystem>
#include <utility>

#include "audio/audio_device.h"
#include "audio/player_children.h"
#include "model/audio_format.h"
#include "model/file_name.h"

namespace quorvane {

std::string lowerCaseExtension(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const auto [stem, extension] = getFileNameAndExtension(name);
    return stem == name ? "" : "." + extension;
}

std::string playerProgramFor(const std::string& path) {
    switch (audioFormatOf(path)) {
        case AudioFormat::MP3: return "mpg123";
        case AudioFormat::WAVE: return "aplay";
        default: throw PlaybackError("Unsupported file format: " + lowerCaseExtension(path));
    }
}

std::vector<std::string> playerCommandFor(const std::string& path, const std::string& device) {
    const std::string program = playerProgramFor(path);
    if (device.empty()) return {program, path};
    return {program, program == "mpg123" ? "-a" : "-D", device, path};
}

LinuxFilePlayer::~LinuxFilePlayer() {
    if (_proc >= 0) reapInBackground(_proc);
}

void LinuxFilePlayer::startPlay(const std::string& path) {
    const std::vector<std::string> command = playerCommandFor(path, audioDevice());
    // A previous play of this object that was not closed is not forgotten.
    if (_proc >= 0) reapInBackground(std::exchange(_proc, -1));
    _lastExit = {};
    // The player keeps the server's standard input and output; its chatter on standard error goes to
    // the null device.
    _proc = startPlayerChild(command);
}

bool LinuxFilePlayer::isPlaying() {
    if (_proc < 0) return false;
    if (!playerChildHasEnded(_proc, &_lastExit)) return true;
    _proc = -1;
    return false;
}

void LinuxFilePlayer::closeFile(bool wasAborted) {
    if (_proc < 0) return;  // ended by itself and already collected
    const int pid = std::exchange(_proc, -1);
    if (playerChildHasEnded(pid, &_lastExit)) return;
    if (wasAborted) terminatePlayerChild(pid);
    // Not waited for here: the playback thread must never block on a player.
    reapInBackground(pid);
}

std::unique_ptr<FilePlayer> makePlatformFilePlayer() { return std::make_unique<LinuxFilePlayer>(); }

}  // namespace quorvane
#endif
