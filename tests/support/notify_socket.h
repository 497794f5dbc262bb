#pragma once
// The service manager's end of the readiness protocol: a datagram socket that the test owns and names as
// NOTIFY_SOCKET to the code under test.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane::testing {

class NotifySocket {
public:
    NotifySocket();
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    std::string path() const { return (_dir / "notify").string(); }
    // The next message, or nothing when none comes within the limit.
    std::optional<std::string> receive(std::chrono::milliseconds limit);
    // Every message that comes within the period.
    std::vector<std::string> receiveFor(std::chrono::milliseconds period);
    // Waits for a message holding the text; the messages before it are dropped.
    std::optional<std::string> receiveContaining(const std::string& text, std::chrono::milliseconds limit);

private:
    TempDir _dir;
    int _fd = -1;
};

// Sets the environment variables of the protocol in this process for the life of the object, and puts
// back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::vector<std::pair<std::string, std::optional<std::string>>> values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> _previous;
};

}  // namespace quorvane::testing
