#pragma once
// The transport serving the test application on 127.0.0.1 in this process, on a thread of its own.
#include <chrono>
#include <functional>
#include <thread>

#include "support/temp_dir.h"
#include "test_application.h"
#include "web/http/server.h"

namespace quorvane::web::http::testing {

class RunningServer {
public:
    explicit RunningServer(const Limits& limits = {}) : app(folder.path()), server(app, limits) {
        port = server.bind("127.0.0.1", 0);
        thread = std::thread([this] { server.run(); });
    }
    ~RunningServer() {
        server.stop();
        thread.join();
    }

    // Polls the condition until it holds or the time is up.
    static bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    quorvane::testing::TempDir folder;
    TestApplication app;
    Server server;
    int port = 0;
    std::thread thread;
};

}  // namespace quorvane::web::http::testing
