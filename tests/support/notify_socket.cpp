#include "support/notify_socket.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvane::testing {

NotifySocket::NotifySocket() {
    _fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path();
    if (_fd < 0 || name.size() >= sizeof address.sun_path) throw std::runtime_error("cannot make the notification socket");
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    if (bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("cannot bind " + name);
}

NotifySocket::~NotifySocket() { close(_fd); }

std::optional<std::string> NotifySocket::receive(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{_fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (polled > 0) {
            char buffer[4096];
            const ssize_t length = recv(_fd, buffer, sizeof buffer, 0);
            if (length >= 0) return std::string(buffer, static_cast<size_t>(length));
        }
        if (polled == 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    }
}

std::vector<std::string> NotifySocket::receiveFor(std::chrono::milliseconds period) {
    const auto end = std::chrono::steady_clock::now() + period;
    std::vector<std::string> messages;
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now())
        if (auto message = receive(std::chrono::duration_cast<std::chrono::milliseconds>(end - now))) messages.push_back(*message);
    return messages;
}

std::optional<std::string> NotifySocket::receiveContaining(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
        auto message = receive(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
        if (message && message->find(text) != std::string::npos) return message;
    }
    return std::nullopt;
}

ScopedEnvironment::ScopedEnvironment(std::vector<std::pair<std::string, std::optional<std::string>>> values) {
    for (const auto& [name, value] : values) {
        const char* previous = std::getenv(name.c_str());
        _previous.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : _previous) {
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
}

}  // namespace quorvane::testing
