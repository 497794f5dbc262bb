#pragma once
// The transport serving the test application on 127.0.0.1 in this process, on a thread of its own.
#include <thread>

#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "test_application.h"
#include "web/http/server.h"

namespace quorvane::web::http::testing {

using quorvane::testing::waitUntil;

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

    quorvane::testing::TempDir folder;
    TestApplication app;
    Server server;
    int port = 0;
    std::thread thread;
};

}  // namespace quorvane::web::http::testing
