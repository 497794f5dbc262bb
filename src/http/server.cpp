#include "http/server.h"

#include <stdexcept>
#include <thread>
#include <vector>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

#include "http/connection.h"
#include "http/server_core.h"

namespace quorvane::http {
namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

// The process is out of descriptors or memory: accepting again at once would only spin.
bool isResourceShortage(const boost::system::error_code& error) {
    return error == asio::error::no_descriptors || error == asio::error::no_buffer_space || error == asio::error::no_memory ||
           error.value() == ENFILE;
}

std::string textOf(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

}  // namespace

void ServerCore::registerConnection(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(registryMutex);
    connections.emplace(connection.get(), connection);
}

void ServerCore::unregisterConnection(const Connection* connection) {
    std::lock_guard lock(registryMutex);
    connections.erase(connection);
}

void ServerCore::abandonAllConnections() {
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard lock(registryMutex);
        for (const auto& [key, weak] : connections)
            if (auto connection = weak.lock()) open.push_back(std::move(connection));
    }
    for (const auto& connection : open) connection->abandon();
}

void ServerCore::accept(tcp::acceptor& listener, asio::steady_timer& retry) {
    listener.async_accept(asio::make_strand(io), [this, &listener, &retry](boost::system::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted || !listener.is_open()) return;
        if (!error) {
            accepted(std::move(socket), &listener == &tlsAcceptor);
            return accept(listener, retry);
        }
        application.log(LogLevel::error, "accepting a connection failed: " + error.message());
        if (!isResourceShortage(error)) return accept(listener, retry);
        retry.expires_after(std::chrono::milliseconds(100));
        retry.async_wait([this, &listener, &retry](boost::system::error_code waitError) {
            if (!waitError) accept(listener, retry);
        });
    });
}

// A TLS connection takes its slot before its handshake: handshakes count against the caps.
void ServerCore::accepted(tcp::socket socket, bool overTls) {
    boost::system::error_code error;
    const tcp::endpoint peer = socket.remote_endpoint(error);
    if (error) return;  // already gone
    std::string address = textOf(peer.address());
    if (!slots.tryAcquire(address)) {
        application.log(LogLevel::debug, "refused a connection from " + address + ": too many connections");
        socket.close(error);
        return;
    }
    socket.set_option(tcp::no_delay(true), error);
    auto connection = std::make_shared<Connection>(*this, std::move(socket), std::move(address), overTls ? tls : nullptr);
    registerConnection(connection);
    asio::post(connection->strand(), [connection] { connection->start(); });
}

Server::Server(Application& application, Limits limits) : _core(std::make_unique<ServerCore>(application, limits)) {}

Server::~Server() {
    stop();
    std::unique_lock lock(_core->stateMutex);
    _core->stateChanged.wait(lock, [this] { return !_core->running; });
}

namespace {

int listenOn(tcp::acceptor& acceptor, asio::io_context& io, const std::string& host, int port) {
    const std::string where = host + ":" + std::to_string(port);
    boost::system::error_code error;
    tcp::resolver resolver(io);
    const auto endpoints = resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service | tcp::resolver::passive, error);
    if (error || endpoints.empty()) throw std::runtime_error("cannot listen on " + where + ": " + error.message());
    const tcp::endpoint endpoint = *endpoints.begin();
    if (acceptor.is_open()) throw std::runtime_error("cannot listen on " + where + ": the server is bound already");
    if (!acceptor.open(endpoint.protocol(), error) && !acceptor.set_option(tcp::acceptor::reuse_address(true), error) &&
        !acceptor.bind(endpoint, error) && !acceptor.listen(asio::socket_base::max_listen_connections, error))
        return acceptor.local_endpoint().port();
    acceptor.close();
    throw std::runtime_error("cannot listen on " + where + ": " + error.message());
}

}  // namespace

int Server::bind(const std::string& host, int port) { return listenOn(_core->acceptor, _core->io, host, port); }

int Server::bindTls(const std::string& host, int port, std::shared_ptr<asio::ssl::context> tls) {
    if (!tls) throw std::invalid_argument("a TLS listener needs its context");
    const int bound = listenOn(_core->tlsAcceptor, _core->io, host, port);
    _core->tls = std::move(tls);
    return bound;
}

void Server::run() {
    ServerCore& core = *_core;
    {
        std::lock_guard lock(core.stateMutex);
        if (core.stopRequested) return;
        if (core.ran || !core.acceptor.is_open()) throw std::logic_error("a server runs once, after bind()");
        core.running = core.ran = true;
    }
    core.workers.start();
    core.accept(core.acceptor, core.acceptRetry);
    if (core.tlsAcceptor.is_open()) core.accept(core.tlsAcceptor, core.tlsAcceptRetry);
    const auto serve = [&core] {
        for (;;) {
            try {
                core.io.run();
                return;
            } catch (const std::exception& error) {
                core.application.log(LogLevel::error, std::string("an I/O thread met an error: ") + error.what());
            }
        }
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < core.limits.ioThreads; ++i) threads.emplace_back(serve);
    serve();
    for (std::thread& thread : threads) thread.join();

    // No I/O thread runs any more, and once the workers have stopped, the connections can be closed
    // and emptied from here.
    boost::system::error_code ignored;
    core.acceptor.close(ignored);
    core.acceptRetry.cancel();
    core.tlsAcceptor.close(ignored);
    core.tlsAcceptRetry.cancel();
    core.workers.stop();
    core.abandonAllConnections();
    {
        std::lock_guard lock(core.stateMutex);
        core.running = false;
    }
    core.stateChanged.notify_all();
}

void Server::stop() {
    {
        std::lock_guard lock(_core->stateMutex);
        _core->stopRequested = true;
    }
    _core->io.stop();
}

bool Server::isRunning() const {
    std::lock_guard lock(_core->stateMutex);
    return _core->running;
}

size_t Server::openConnections() const { return _core->slots.open(); }

}  // namespace quorvane::http
