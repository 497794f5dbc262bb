// quorvane-service-standin: answers the player's requests to the maker's remote service from local
// sample files, so that the player can be developed, tried and tested without the real service.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

#include "standin_options.h"
#include "standin_service.h"
#include "stop_request.h"

int main(int argc, char** argv) {
    bool helpShown = false;
    const auto options = standin::parseOptions(std::vector<std::string>(argv + 1, argv + argc), helpShown);
    if (!options) return helpShown ? 0 : 2;

    // Before any thread starts: stopping the server from a signal handler would not be safe.
    standin::blockStopRequests();

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
    // stop() does nothing to a server that is not running yet, so a signal that came before the loop
    // started would be lost: announce (and wait for signals) only once it runs.
    while (!server.is_running() && !listenerEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (listenerEnded) {
        listener.join();
        std::cerr << "Cannot serve on 127.0.0.1:" << options->port << std::endl;
        return 1;
    }
    std::cerr << "Stand-in service listening on http://127.0.0.1:" << options->port << std::endl;

    standin::waitForStopRequest();
    server.stop();
    listener.join();
    std::cerr << "Stand-in service stopped" << std::endl;
    return 0;
}
