#ifndef _WIN32
#include "audio/child_reaper.h"

#include <cerrno>
#include <thread>

#include <sys/wait.h>

namespace quorvane {

void reapInBackground(int pid) {
    // One short-lived thread per child: terminated players exit within milliseconds, and a blocking
    // wait costs nothing while it lasts.
    std::thread([pid] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace quorvane
#endif
