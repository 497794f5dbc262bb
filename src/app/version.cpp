#include "app/version.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "app/paths.h"
#include "model/text.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace quorvane {

#ifndef _WIN32
CommandOutput runCommand(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawnError = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawnError != 0) {
        close(pipeEnds[0]);
        throw std::system_error(spawnError, std::generic_category(), "cannot start " + arguments[0]);
    }
    CommandOutput output;
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR))
        if (count > 0) output.standardOutput.append(buffer, static_cast<size_t>(count));
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    output.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return output;
}
#endif

std::string getVersion() {
    if (isRelease()) {
        std::ifstream file(getAssetPath("version.info"));
        if (!file) throw std::runtime_error("cannot read " + getAssetPath("version.info").string());
        std::stringstream content;
        content << file.rdbuf();
        return std::string(trimmed(content.str()));
    }
    const CommandOutput git = runCommand({"git", "describe", "--always", "--dirty"});
    return "D" + (git.exitStatus == 0 ? std::string(trimmed(git.standardOutput)) : std::string("?"));
}

}  // namespace quorvane
