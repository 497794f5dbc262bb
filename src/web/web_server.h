#pragma once
// The HTTP server of the process. One catch-all registration per method hands every request to our own
// dispatch: the route table, the login gate, the JSON body check, the handler under a catch-all that
// answers the generic 500, and after_request on every response, the library's own error answers included.
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "web/route_table.h"
#include "web/routes.h"

namespace quorvane::web {

// The library's server with access to its listening socket, whose backlog of 5 is too short: while the
// workers keep both cores busy, connection attempts beyond it are dropped and retried a second later.
class ListeningServer : public httplib::Server {
public:
    socket_t listeningSocket() const { return svr_sock_; }
};

class WebServer {
public:
    // Browser tabs poll every second over keep-alive connections, each holding a worker while it is open:
    // the pool must be well above the handful of connections that a few tabs keep.
    static constexpr size_t WORKER_THREADS = 64;
    static constexpr time_t KEEP_ALIVE_SECONDS = 3;
    static constexpr size_t KEEP_ALIVE_MAX_REQUESTS = 100;
    static constexpr size_t MAX_BODY_BYTES = 100 * 1024 * 1024;

    // Ready to run; no socket is opened yet.
    explicit WebServer(std::vector<Route> routes);
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    void setSigningKey(std::string key);
    std::string signingKey() const;
    // Seconds since the epoch, for session lifetimes and the login throttle; tests move it by hand.
    using Clock = std::function<int64_t()>;
    void setClock(Clock clock);

    // Opens the listening socket; std::runtime_error naming the address and the reason when it cannot.
    void bind(const std::string& host, int port);
    // Opens the listening socket on a port that the system picks; returns the port.
    int bindAnyPort(const std::string& host);
    // Serves on the bound socket until stop(); false when accepting failed.
    bool serve();
    // bind, then serve: blocks for the life of the process.
    bool run(const std::string& host, int port);
    void stop();
    bool isRunning() const;

private:
    void dispatch(const httplib::Request& request, httplib::Response& response);
    Reply answer(const RouteTable::Match& match, const httplib::Request& request, httplib::Response& response);

    RouteTable _routes;
    ListeningServer _server;
    // Guards the signing key and the clock.
    mutable std::mutex _keyMutex;
    std::string _signingKey;
    Clock _clock;
};

// The three cache-suppressing headers, replacing any earlier value.
void after_request(httplib::Response& response);

// Reads the JSON body of a request; RefusedRequest (400) when the content type is not JSON or the body
// does not parse.
Json requireJsonBody(const httplib::Request& request);

// The server of the process, created at load with the built-in signing key and no socket.
extern WebServer app;

}  // namespace quorvane::web
