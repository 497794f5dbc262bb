#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include "app/logging.h"

namespace quorvane {

void configureLogging(bool verbose) {
    auto logger = std::make_shared<spdlog::logger>("quorvane", std::make_shared<spdlog::sinks::stderr_sink_mt>());
    logger->set_pattern("%v");
    logger->set_level(verbose ? spdlog::level::debug : spdlog::level::info);
    logger->flush_on(spdlog::level::debug);
    spdlog::set_default_logger(std::move(logger));
}

}  // namespace quorvane
