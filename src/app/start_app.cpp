#include "app/start_app.h"

#include <spdlog/spdlog.h>

#include <memory>
#include <thread>

#include "app/paths.h"
#include "app/version.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

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

    std::make_shared<Scheduler>()->start();

    const std::string signingKey = sessionSigningKey();
    (void)signingKey;  // the web server takes it as its session signing key

    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
}

}  // namespace quorvane
