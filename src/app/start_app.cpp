#include "app/start_app.h"

#include <spdlog/spdlog.h>

#include <memory>

#include "app/command_line.h"
#include "app/logging.h"
#include "core/paths.h"
#include "core/version.h"
#include "scheduling/bell_journal.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"
#include "web/web_server.h"

namespace quorvane {

int start_app(int argc, const char* const* argv) {
    const std::string banner = "Quorvane Player v" + getVersion();

    const ParsedCommandLine parsed = parseCommandLine(banner, argc, argv);
    if (!parsed.options) return parsed.exitStatus;
    const CommandLine options = *parsed.options;

    configureLogging(options.verbose);

    spdlog::info("");
    spdlog::info("{}", banner);
    spdlog::info("Open a browser and navigate to ----> http://localhost:{}/ <----", options.port);
    spdlog::info("");
    const std::string userDataPath = getUserFilePath();
    spdlog::debug("User data path: {}", userDataPath);

    loadStoredRecords();

    const auto scheduler = std::make_shared<Scheduler>();
    openJournalOfThisProcess(*scheduler);
    scheduler->start();

    web::app.setSigningKey(sessionSigningKey());

    // Blocks for the life of the process; a port that cannot be bound throws, and main reports it.
    if (!web::app.run("0.0.0.0", options.port)) {
        spdlog::error("The web server stopped accepting connections");
        return 1;
    }
    return 0;
}

}  // namespace quorvane
