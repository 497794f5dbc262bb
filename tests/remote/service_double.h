#pragma once
// The remote service inside a test: an HTTP server on 127.0.0.1 at a free port whose answers the test
// scripts per command, which counts what it was asked and can hold answers back until released.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "model/json_text.h"

namespace quorvane::testing {

class ServiceDouble {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    // A held answer is given at the latest after this long, like a very slow service.
    static constexpr std::chrono::seconds HOLD_LIMIT{8};

    ServiceDouble() {
        _server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) { serve(request, response); });
        _port = _server.bind_to_any_port("127.0.0.1");
        if (_port <= 0) throw std::runtime_error("the test service cannot listen");
        _thread = std::thread([this] { _server.listen_after_bind(); });
        while (!_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~ServiceDouble() {
        release();
        _server.stop();
        _thread.join();
    }
    ServiceDouble(const ServiceDouble&) = delete;
    ServiceDouble& operator=(const ServiceDouble&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(_port); }

    void on(const std::string& command, Handler handler) {
        std::lock_guard lock(_mutex);
        _handlers[command] = std::move(handler);
    }
    void answer(const std::string& command, int status, const std::string& body, const std::string& contentType) {
        on(command, [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, contentType);
        });
    }
    void answerJson(const std::string& command, const Json& body, int status = 200) {
        answer(command, status, toJsonText(body), "application/json; charset=utf-8");
    }

    // Answers to the command wait until release().
    void hold(const std::string& command) {
        std::lock_guard lock(_mutex);
        _held.insert(command);
        _released = false;
    }
    void release() {
        {
            std::lock_guard lock(_mutex);
            _released = true;
        }
        _changed.notify_all();
    }
    // Waits until this many requests are being held.
    bool waitForHeldRequests(int count, std::chrono::milliseconds limit) {
        std::unique_lock lock(_mutex);
        return _changed.wait_for(lock, limit, [&] { return _waiting >= count; });
    }

    int requestCount(const std::string& command) const {
        std::lock_guard lock(_mutex);
        const auto found = _counts.find(command);
        return found == _counts.end() ? 0 : found->second;
    }
    std::vector<std::string> targets() const {
        std::lock_guard lock(_mutex);
        return _targets;
    }

private:
    void serve(const httplib::Request& request, httplib::Response& response) {
        const std::string command = request.get_param_value("c");
        Handler handler;
        {
            std::unique_lock lock(_mutex);
            _targets.push_back(request.target);
            ++_counts[command];
            if (_held.count(command)) {
                ++_waiting;
                _changed.notify_all();
                _changed.wait_for(lock, HOLD_LIMIT, [this] { return _released; });
                --_waiting;
            }
            if (const auto found = _handlers.find(command); found != _handlers.end()) handler = found->second;
        }
        if (handler) {
            handler(request, response);
        } else {
            response.status = 400;
            response.set_content("Unknown command", "text/plain");
        }
    }

    httplib::Server _server;
    std::thread _thread;
    int _port = 0;
    mutable std::mutex _mutex;
    std::condition_variable _changed;
    std::map<std::string, Handler> _handlers;
    std::map<std::string, int> _counts;
    std::vector<std::string> _targets;
    std::set<std::string> _held;
    bool _released = true;
    int _waiting = 0;
};

// One connection on 127.0.0.1 answered with exactly the given bytes; for answers that the HTTP server
// would not send as they are (it adds a Content-Type to every body).
class RawHttpAnswer {
public:
    explicit RawHttpAnswer(std::string response) : _response(std::move(response)) {
        _listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(_listener, 1) != 0)
            throw std::runtime_error("the raw test service cannot listen");
        getsockname(_listener, reinterpret_cast<sockaddr*>(&address), &length);
        _port = ntohs(address.sin_port);
        _thread = std::thread([this] { serveOnce(); });
    }
    ~RawHttpAnswer() {
        shutdown(_listener, SHUT_RDWR);  // ends an accept that nobody will satisfy
        _thread.join();
        close(_listener);
    }
    RawHttpAnswer(const RawHttpAnswer&) = delete;
    RawHttpAnswer& operator=(const RawHttpAnswer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(_port); }

private:
    void serveOnce() {
        const int connection = accept(_listener, nullptr, nullptr);
        if (connection < 0) return;
        std::string request;
        char chunk[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = recv(connection, chunk, sizeof chunk, 0);
            if (got <= 0) break;
            request.append(chunk, static_cast<size_t>(got));
        }
        send(connection, _response.data(), _response.size(), MSG_NOSIGNAL);
        close(connection);
    }

    std::string _response;
    int _listener = -1;
    int _port = 0;
    std::thread _thread;
};

// An address where nothing answers: a port bound but not listening, held for the life of the object so
// that no other test running in parallel can take it. Connecting is refused at once.
class RefusingAddress {
public:
    RefusingAddress() {
        _socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(_socket, reinterpret_cast<sockaddr*>(&address), length) != 0) throw std::runtime_error("cannot bind");
        getsockname(_socket, reinterpret_cast<sockaddr*>(&address), &length);
        _port = ntohs(address.sin_port);
    }
    ~RefusingAddress() { close(_socket); }
    RefusingAddress(const RefusingAddress&) = delete;
    RefusingAddress& operator=(const RefusingAddress&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(_port); }

private:
    int _socket = -1;
    int _port = 0;
};

// Points the client at a test service for the life of the object.
class ServiceUrlOverride {
public:
    explicit ServiceUrlOverride(const std::string& url) {
        if (const char* previous = std::getenv("QUORVANE_SERVICE_URL")) _previous = previous;
        setenv("QUORVANE_SERVICE_URL", url.c_str(), 1);
    }
    ~ServiceUrlOverride() {
        if (_previous) setenv("QUORVANE_SERVICE_URL", _previous->c_str(), 1);
        else unsetenv("QUORVANE_SERVICE_URL");
    }
    ServiceUrlOverride(const ServiceUrlOverride&) = delete;
    ServiceUrlOverride& operator=(const ServiceUrlOverride&) = delete;

private:
    std::optional<std::string> _previous;
};

}  // namespace quorvane::testing
