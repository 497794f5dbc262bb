#include <cstdio>
#include <cstdlib>
#include <exception>

#include <spdlog/spdlog.h>

#include "app/logging.h"
#include "app/start_app.h"
#include "app/windows_service.h"

namespace {

int runPlayer(int argc, char** argv) {
    try {
        return quorvane::start_app(argc, argv);
    } catch (const std::exception& error) {
        // Start-up failed (an unreadable stored file, a port in use...): one clear line, no core dump.
        const bool journal = quorvane::isJournalStream(std::getenv("JOURNAL_STREAM"), 2);
        std::fprintf(stderr, "%sStart-up failed: %s\n", journal ? "<3>" : "", error.what());
        // A service has no console: its log file is where the line is read.
        if (quorvane::runningAsWindowsService()) spdlog::critical("Start-up failed: {}", error.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = quorvane::startedAsWindowsService(argc, argv) ? quorvane::runAsWindowsService([argc, argv] { return runPlayer(argc, argv); })
                                                                     : runPlayer(argc, argv);
    // Daemon threads may still be running: leave without running static destructors under them.
    std::fflush(nullptr);
    std::_Exit(status);
}
