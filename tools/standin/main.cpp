// quorvane-service-standin: answers the player's requests to the maker's remote service from local
// sample files, so that the player can be developed, tried and tested without the real service.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include <httplib.h>

#include "app/termination_signals.h"
#include "standin_options.h"
#include "standin_service.h"

namespace {

// Set by the player's own termination handling (SIGTERM, SIGINT, or Windows' console events), waited
// for on the main thread. Static, since the thread that sets it outlives main.
std::mutex stopMutex;
std::condition_variable stopAsked;
bool stopped = false;

void waitForStopRequest() {
    std::unique_lock lock(stopMutex);
    stopAsked.wait(lock, [] { return stopped; });
}

}  // namespace

int main(int argc, char** argv) {
    bool helpShown = false;
    const auto options = standin::parseOptions(std::vector<std::string>(argv + 1, argv + argc), helpShown);
    if (!options) return helpShown ? 0 : 2;

    // Before any thread starts: stopping the server from a signal handler would not be safe.
    quorvane::blockTerminationSignals();
    quorvane::startTerminationSignalThread([](const std::string&) {
        const std::lock_guard lock(stopMutex);
        stopped = true;
        stopAsked.notify_all();
    });

    httplib::Server server;
    // The library's default also sets SO_REUSEPORT, which would let a second stand-in share the port
    // and take half of the requests; a busy port must be refused instead.
    server.set_socket_options([](socket_t sock) {
#ifdef _WIN32
        // Windows' SO_REUSEADDR would let a second listener take the port; exclusive use refuses it.
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
#else
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });
    standin::addServiceRoutes(server, *options);
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << request.method << " " << request.target << " " << response.status << std::endl;
    });
    if (!server.bind_to_port("127.0.0.1", options->port)) {
        std::cerr << "Cannot listen on 127.0.0.1:" << options->port << std::endl;
        return 1;
    }
    std::atomic<bool> listenerEnded{false};
    std::thread listener([&] {
        server.listen_after_bind();
        listenerEnded = true;
    });
    // stop() does nothing to a server that is not running yet: announce, and act on a stop request, only
    // once it runs.
    while (!server.is_running() && !listenerEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (listenerEnded) {
        listener.join();
        std::cerr << "Cannot serve on 127.0.0.1:" << options->port << std::endl;
        return 1;
    }
    std::cerr << "Stand-in service listening on http://127.0.0.1:" << options->port << std::endl;

    waitForStopRequest();
    server.stop();
    listener.join();
    std::cerr << "Stand-in service stopped" << std::endl;
    return 0;
}
