#include "support/child_process.h"

#include <cstring>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/emulator.h"

extern char** environ;

namespace quorvane::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extraEnvironment,
                           const std::filesystem::path& workingDir)
    : _out(_outputDir / "stdout"), _err(_outputDir / "stderr") {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : extraEnvironment) environment[name] = value;
    std::vector<std::string> envTexts;
    for (const auto& [name, value] : environment) envTexts.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (auto& text : envTexts) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = underEmulator(arguments);
    for (auto& text : args) argv.push_back(text.data());
    argv.push_back(nullptr);

    // The output files are made here rather than in the child, so that they exist once the child does:
    // under emulation posix_spawn returns before the child has run its file actions.
    const int outFd = open(_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = open(_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot create the output files in " + _outputDir.path().string());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    const int error = posix_spawnp(&_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    if (error != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(error));
}

ChildProcess::~ChildProcess() { terminate(); }

void ChildProcess::terminate() {
    if (_status || _pid <= 0) return;
    kill(_pid, SIGKILL);
    int status = 0;
    waitpid(_pid, &status, 0);
    _status = -1;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!_status) {
        int status = 0;
        const pid_t done = waitpid(_pid, &status, WNOHANG);
        if (done == _pid) {
            _status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return _status;
}

bool ChildProcess::waitForStderr(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (standardError().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

InstalledPlayer::InstalledPlayer() {
    namespace fs = std::filesystem;
    fs::create_directories(root() / "build");
    fs::copy_file(fs::path(QUORVANE_BINARY_DIR) / "quorvane-player", executable());
    fs::permissions(executable(), fs::perms::owner_all, fs::perm_options::add);
    fs::create_directory_symlink(fs::path(QUORVANE_SOURCE_DIR) / "assets", root() / "assets");
    fs::create_directory_symlink(fs::path(QUORVANE_SOURCE_DIR) / "web-ui", root() / "web-ui");
}

// Below the kernel's ephemeral range (32768 and up), so that the many client connections of tests
// running beside this one cannot take the port between this check and the player's bind.
int freePort() {
    static std::mutex mutex;
    static std::mt19937 random{std::random_device{}()};
    std::lock_guard lock(mutex);
    std::uniform_int_distribution<int> ports(20000, 32767);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int port = ports(random);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        // The player listens on every address. Checked without SO_REUSEADDR, so that a port still held by a
        // closed connection (TIME_WAIT, of 127.0.0.2 and onwards too) counts as taken.
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (bound) return port;
    }
    throw std::runtime_error("no free port found");
}

}  // namespace quorvane::testing
