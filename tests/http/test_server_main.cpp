// The test application served by the transport with the product's limits, in a process of its own so
// that tests can measure its memory. Prints "listening PORT" once clients may connect.
#include <cstdio>
#include <iostream>

#include "http/server.h"
#include "test_application.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: http_test_server FOLDER\n";
        return 2;
    }
    using namespace quorvane::http;
    testing::TestApplication application(argv[1]);
    Server server(application);
    const int port = server.bind("127.0.0.1", 0);
    std::cout << "listening " << port << std::endl;
    server.run();
}
