#if !defined(_WIN32) && !defined(__CYGWIN__)
#include "audio/linux_file_player.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "audio/child_reaper.h"
#include "model/text.h"

extern char** environ;

namespace quorvane {
namespace {

// Starts the program from the search path with the file as its only argument; the player keeps the
// server's standard input and output, its chatter on standard error goes to the null device.
int spawnPlayer(const std::string& program, const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Sockets and files of the server are none of the player's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    // The server's signal mask and ignored signals must not reach the player: SIGTERM has to end it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string programArgument = program;
    std::string pathArgument = path;
    char* arguments[] = {programArgument.data(), pathArgument.data(), nullptr};
    pid_t pid = -1;
    const int failure = posix_spawnp(&pid, program.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) throw PlaybackError(std::error_code(failure, std::generic_category()).message());
    return pid;
}

// True once the child has exited; its status is then collected.
bool hasExited(int pid) {
    int result;
    do {
        result = waitpid(pid, nullptr, WNOHANG);
    } while (result < 0 && errno == EINTR);
    // Any error means there is no such child of ours any more (already collected elsewhere).
    return result != 0;
}

}  // namespace

std::string lowerCaseExtension(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t firstNonDot = name.find_first_not_of('.');
    if (firstNonDot == std::string::npos) return "";
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < firstNonDot) return "";
    return toLower(name.substr(dot));
}

std::string playerProgramFor(const std::string& path) {
    const std::string extension = lowerCaseExtension(path);
    if (extension == ".mp3") return "mpg123";
    if (extension == ".wav") return "aplay";
    throw PlaybackError("Unsupported file format: " + extension);
}

LinuxFilePlayer::~LinuxFilePlayer() {
    if (_proc >= 0) reapInBackground(_proc);
}

void LinuxFilePlayer::startPlay(const std::string& path) {
    const std::string program = playerProgramFor(path);
    // A previous play of this object that was not closed is not forgotten.
    if (_proc >= 0) reapInBackground(std::exchange(_proc, -1));
    _proc = spawnPlayer(program, path);
}

bool LinuxFilePlayer::isPlaying() {
    if (_proc < 0) return false;
    if (!hasExited(_proc)) return true;
    _proc = -1;
    return false;
}

void LinuxFilePlayer::closeFile(bool wasAborted) {
    if (_proc < 0) return;  // ended by itself and already collected
    const int pid = std::exchange(_proc, -1);
    if (hasExited(pid)) return;
    if (wasAborted) kill(pid, SIGTERM);
    // Not waited for here: the playback thread must never block on a player.
    reapInBackground(pid);
}

std::unique_ptr<FilePlayer> makePlatformFilePlayer() { return std::make_unique<LinuxFilePlayer>(); }

}  // namespace quorvane
#endif
