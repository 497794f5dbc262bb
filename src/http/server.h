#pragma once
// A hardened HTTP/1.1 server: connections are served asynchronously on a few I/O threads, handlers run
// on a bounded worker pool, and every read from a client is bounded while it is read (see Limits).
#include <cstddef>
#include <memory>
#include <string>

#include <boost/asio/ssl/context.hpp>

#include "http/application.h"
#include "http/limits.h"

namespace quorvane::http {

struct ServerCore;

class Server {
public:
    Server(Application& application, Limits limits = {});
    // Stops, and waits for run() to return if it is running on another thread.
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the listening socket (SO_REUSEADDR, no SO_REUSEPORT: a second server must not share the
    // port); std::runtime_error "cannot listen on HOST:PORT: <system reason>" when it cannot. Port 0
    // picks one; returns the port bound. Clients may connect from then on; they are served once run()
    // has started.
    int bind(const std::string& host, int port);
    // A second listening socket, whose clients speak HTTPS with the context's certificate (see
    // loadTlsContext). Before run(), after bind(); errors as bind's.
    int bindTls(const std::string& host, int port, std::shared_ptr<boost::asio::ssl::context> tls);
    // Serves on the bound socket until stop(); blocks. A server runs once.
    void run();
    // Stops accepting, closes every connection and lets run() return once running handlers have
    // returned. Callable from any thread (also before run(), which then returns at once), not from
    // an asynchronous signal handler.
    void stop();
    bool isRunning() const;
    size_t openConnections() const;

private:
    std::unique_ptr<ServerCore> _core;
};

}  // namespace quorvane::http
