#pragma once
// The transport serving the test application on 127.0.0.1 in this process, on a thread of its own.
#include <thread>

#include "http/server.h"
#include "http/tls_context.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"
#include "support/wait_until.h"
#include "test_application.h"

namespace quorvane::http::testing {

using quorvane::testing::waitUntil;

class RunningServer {
public:
    enum class Tls { off, alsoOn };
    explicit RunningServer(const Limits& limits = {}, Tls tls = Tls::off) : app(folder.path()), server(app, limits) {
        port = server.bind("127.0.0.1", 0);
        if (tls == Tls::alsoOn) {
            const auto pair = quorvane::testing::writeSelfSignedPair(tlsFolder.path());
            tlsPort = server.bindTls("127.0.0.1", 0, loadTlsContext(pair.certificate, pair.key));
        }
        thread = std::thread([this] { server.run(); });
    }
    ~RunningServer() {
        server.stop();
        thread.join();
    }

    quorvane::testing::TempDir folder;
    quorvane::testing::TempDir tlsFolder;  // the certificate and key, apart from what the application writes
    TestApplication app;
    Server server;
    int port = 0;
    int tlsPort = 0;
    std::thread thread;
};

}  // namespace quorvane::http::testing
