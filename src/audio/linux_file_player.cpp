#if !defined(_WIN32) && !defined(__CYGWIN__)
#include "audio/linux_file_player.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <utility>

#include <sys/wait.h>

#include "audio/child_reaper.h"
#include "core/child_process.h"
#include "model/audio_format.h"
#include "model/file_name.h"

namespace quorvane {
namespace {

// Starts the program from the search path with the file as its only argument; the player keeps the
// server's standard input and output, its chatter on standard error goes to the null device.
int spawnPlayer(const std::string& program, const std::string& path) {
    try {
        return spawnProgram({program, path});
    } catch (const std::system_error& error) {
        throw PlaybackError(error.code().message());
    }
}

// True once the child has exited; its status is then collected into `exit`.
bool hasExited(int pid, PlayerExit& exit) {
    int result, status = 0;
    do {
        result = waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    // Any error means there is no such child of ours any more (already collected elsewhere): how it
    // ended stays unknown.
    if (result > 0 && WIFEXITED(status)) exit = {PlayerExit::How::EXITED, WEXITSTATUS(status)};
    else if (result > 0 && WIFSIGNALED(status)) exit = {PlayerExit::How::SIGNALLED, WTERMSIG(status)};
    return result != 0;
}

}  // namespace

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

LinuxFilePlayer::~LinuxFilePlayer() {
    if (_proc >= 0) reapInBackground(_proc);
}

void LinuxFilePlayer::startPlay(const std::string& path) {
    const std::string program = playerProgramFor(path);
    // A previous play of this object that was not closed is not forgotten.
    if (_proc >= 0) reapInBackground(std::exchange(_proc, -1));
    _lastExit = {};
    _proc = spawnPlayer(program, path);
}

bool LinuxFilePlayer::isPlaying() {
    if (_proc < 0) return false;
    if (!hasExited(_proc, _lastExit)) return true;
    _proc = -1;
    return false;
}

void LinuxFilePlayer::closeFile(bool wasAborted) {
    if (_proc < 0) return;  // ended by itself and already collected
    const int pid = std::exchange(_proc, -1);
    if (hasExited(pid, _lastExit)) return;
    if (wasAborted) kill(pid, SIGTERM);
    // Not waited for here: the playback thread must never block on a player.
    reapInBackground(pid);
}

std::unique_ptr<FilePlayer> makePlatformFilePlayer() { return std::make_unique<LinuxFilePlayer>(); }

}  // namespace quorvane
#endif
