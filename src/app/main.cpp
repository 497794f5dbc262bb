#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/logging.h"
#include "app/start_app.h"

int main(int argc, char** argv) {
    int status = 1;
    try {
        status = quorvane::start_app(argc, argv);
    } catch (const std::exception& error) {
        // Start-up failed (an unreadable stored file, a port in use...): one clear line, no core dump.
        const bool journal = quorvane::isJournalStream(std::getenv("JOURNAL_STREAM"), 2);
        std::fprintf(stderr, "%sStart-up failed: %s\n", journal ? "<3>" : "", error.what());
    }
    // Daemon threads may still be running: leave without running static destructors under them.
    std::fflush(nullptr);
    std::_Exit(status);
}
