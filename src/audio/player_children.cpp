#include "audio/player_children.h"

#ifndef _WIN32
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include <sys/wait.h>

#include "audio/file_player.h"
#include "core/child_process.h"

namespace quorvane {
namespace {

// Leaf lock of the children. A child is collected only under it, so a pid found in `children` is still
// ours and may be signalled.
std::mutex childrenMutex;
std::condition_variable childCollected;
std::map<int, bool> children;  // pid -> SIGTERM already sent
bool closed = false;

// Waits for the child under the lock; true when it was collected (or is no child of ours any more, and
// how it ended stays unknown).
bool collectLocked(int pid, int options, PlayerExit* exit = nullptr) {
    int result, status = 0;
    do {
        result = waitpid(pid, &status, options);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    if (exit && result > 0 && WIFEXITED(status)) *exit = {PlayerExit::How::EXITED, WEXITSTATUS(status)};
    if (exit && result > 0 && WIFSIGNALED(status)) *exit = {PlayerExit::How::SIGNALLED, WTERMSIG(status)};
    children.erase(pid);
    childCollected.notify_all();
    return true;
}

}  // namespace

int startPlayerChild(const std::vector<std::string>& command) {
    std::lock_guard lock(childrenMutex);
    if (closed) throw PlaybackError("the player is shutting down");
    int pid;
    try {
        pid = spawnProgram(command);
    } catch (const std::system_error& error) {
        throw PlaybackError(error.code().message());
    }
    children.emplace(pid, false);
    return pid;
}

bool playerChildHasEnded(int pid, PlayerExit* exit) {
    std::lock_guard lock(childrenMutex);
    return collectLocked(pid, WNOHANG, exit);
}

void terminatePlayerChild(int pid) {
    std::lock_guard lock(childrenMutex);
    const auto found = children.find(pid);
    if (found == children.end() || found->second) return;
    found->second = true;
    kill(pid, SIGTERM);
}

void reapInBackground(int pid) {
    // One short-lived thread per child: terminated players exit within milliseconds. The wait leaves
    // the child unreaped, so that it is collected under the lock.
    std::thread([pid] {
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(childrenMutex);
        collectLocked(pid, 0);
    }).detach();
}

bool endAllPlayerChildren(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(childrenMutex);
    closed = true;
    for (auto& [pid, terminated] : children)
        if (!terminated) {
            terminated = true;
            kill(pid, SIGTERM);
        }
    // Their owners collect them: the playback thread that follows the play, or the background reaper.
    if (childCollected.wait_until(lock, deadline, [] { return children.empty(); })) return true;
    for (const auto& entry : children) kill(entry.first, SIGKILL);
    childCollected.wait_for(lock, std::chrono::milliseconds(200), [] { return children.empty(); });
    return false;
}

void reopenPlayerChildrenForTesting() {
    std::lock_guard lock(childrenMutex);
    closed = false;
}

}  // namespace quorvane

#else

namespace quorvane {

// Windows plays through the multimedia interface of the process itself: there are no children.
bool endAllPlayerChildren(std::chrono::steady_clock::time_point) { return true; }
void reopenPlayerChildrenForTesting() {}

}  // namespace quorvane

#endif
