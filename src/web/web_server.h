#pragma once
// The HTTP server of the process: our route table, login gate, body checks and answers on the HTTP
// transport of src/http. Everything decided from the headers (the route, cross-site requests, the login
// gate, the kind and size of the body) is decided before any byte of the body is read; the handler runs
// under a catch-all that answers the generic 500, and after_request touches every answer, the
// transport's own included.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "http/application.h"
#include "http/server.h"
#include "web/route_table.h"
#include "web/routes.h"

namespace quorvane::web {

class WebServer : private http::Application {
public:
    // Handlers wait on locks, files and (announcements) the remote service; a few of them may block
    // without holding up the rest. Connections wait on the transport's I/O threads, not here.
    static constexpr size_t WORKER_THREADS = 8;

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
    // Opens the HTTPS listener (port 0: the system picks; returns the port). From then on the plain
    // socket sends browsers over (see httpsRedirect), and session cookies over HTTPS are Secure.
    int bindTls(const std::string& host, int port, std::shared_ptr<boost::asio::ssl::context> tls);
    // Serves on the bound socket until stop(); true once stopped. A server serves once.
    bool serve();
    // bind, then serve: blocks for the life of the process.
    bool run(const std::string& host, int port);
    void stop();
    bool isRunning() const;

private:
    http::BodyPlan planBody(const http::Request& request) override;
    http::Response handle(http::Request& request) override;
    void finish(http::Response& response) override;
    void log(http::LogLevel level, const std::string& message) override;
    std::pair<std::string, int64_t> keyAndTime() const;

    RouteTable _routes;
    // Guards the signing key and the clock.
    mutable std::mutex _keyMutex;
    std::string _signingKey;
    Clock _clock;
    std::atomic<int> _tlsPort{0};  // set before serving
    http::Server _server;          // last: it stops before what its callbacks use goes
};

// The three cache-suppressing headers, replacing any earlier value.
void after_request(http::Response& response);

// The server of the process, created at load with the built-in signing key and no socket.
extern WebServer app;

}  // namespace quorvane::web
