#ifndef _WIN32
#include "core/child_process.h"

#include <cerrno>
#include <csignal>
#include <system_error>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvane {

int spawnProgram(const std::vector<std::string>& arguments, int outputFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Sockets and files of the server are none of the child's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> copies = arguments;  // posix_spawn wants mutable strings
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failure = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) throw std::system_error(failure, std::generic_category(), "cannot start " + arguments.front());
    return pid;
}

CommandOutput runCommand(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    int child = -1;
    try {
        child = spawnProgram(arguments, pipeEnds[1]);
    } catch (...) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw;
    }
    close(pipeEnds[1]);
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

}  // namespace quorvane

#else
#include <windows.h>

#include <system_error>

#include "core/child_process.h"
#include "core/utf8_path.h"

namespace quorvane {
namespace {

// One argument as the C runtime's command line parser reads it back.
std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only before a quote; the quote itself gets one more.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

[[noreturn]] void failToStart(const std::string& program) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "cannot start " + program);
}

}  // namespace

CommandOutput runCommand(const std::vector<std::string>& arguments) {
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        if (!commandLine.empty()) commandLine += L' ';
        commandLine += quotedArgument(pathFromUtf8(argument).native());
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) failToStart(arguments.front());
    // Only the child's end is inherited; standard error goes to the null device.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nullDevice = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = nullDevice;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child);
    const DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    if (nullDevice != INVALID_HANDLE_VALUE) CloseHandle(nullDevice);
    if (!started) {
        CloseHandle(readEnd);
        SetLastError(startError);
        failToStart(arguments.front());
    }
    CloseHandle(child.hThread);
    CommandOutput output;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &count, nullptr) && count > 0) output.standardOutput.append(buffer, count);
    CloseHandle(readEnd);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hProcess);
    output.exitStatus = static_cast<int>(exitCode);
    return output;
}

}  // namespace quorvane
#endif
