#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/start_app.h"

int main(int argc, char** argv) {
    int status = 1;
    try {
        status = quorvane::start_app(argc, argv);
    } catch (const std::exception& error) {
        // Start-up failed (an unreadable stored file, a port in use...): one clear line, no core dump.
        std::fprintf(stderr, "Start-up failed: %s\n", error.what());
    }
    // Daemon threads may still be running: leave without running static destructors under them.
    std::fflush(nullptr);
    std::_Exit(status);
}
