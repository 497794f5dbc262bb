#pragma once
// What the server and its connections share. Members are destroyed in reverse order: the I/O context
// goes first, so connections still held by its handlers are destroyed while the rest is alive.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/application.h"
#include "http/connection_slots.h"
#include "http/limits.h"
#include "http/worker_pool.h"

namespace quorvane::http {

class Connection;

struct ServerCore {
    ServerCore(Application& app, const Limits& chosen)
        : application(app),
          limits(chosen),
          slots(chosen.maxConnections, chosen.maxConnectionsPerAddress, chosen.uncappedAddresses),
          workers(std::max<size_t>(1, chosen.workerThreads), chosen.maxQueuedRequests) {}

    void registerConnection(const std::shared_ptr<Connection>& connection);
    void unregisterConnection(const Connection* connection);
    // Abandons every connection; only while no I/O thread and no worker runs.
    void abandonAllConnections();

    // Starts accepting on a listening socket; each accepted connection starts the next accept. The
    // TLS listener's connections begin with a handshake.
    void accept(boost::asio::ip::tcp::acceptor& listener, boost::asio::steady_timer& retry);
    void accepted(boost::asio::ip::tcp::socket socket, bool overTls);

    Application& application;
    const Limits limits;
    ConnectionSlots slots;
    WorkerPool workers;
    std::mutex stateMutex;
    std::condition_variable stateChanged;
    bool running = false, stopRequested = false, ran = false;
    std::mutex registryMutex;
    std::unordered_map<const Connection*, std::weak_ptr<Connection>> connections;
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor acceptor{io};
    boost::asio::steady_timer acceptRetry{io};
    boost::asio::ip::tcp::acceptor tlsAcceptor{io};
    boost::asio::steady_timer tlsAcceptRetry{io};
    std::shared_ptr<boost::asio::ssl::context> tls;
};

}  // namespace quorvane::http
