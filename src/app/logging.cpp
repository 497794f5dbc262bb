#include "app/logging.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include "core/utf8_path.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quorvane {
namespace {

// "%*": the syslog priority of the level, in the form the journal reads at the start of a line.
class JournalPriority : public spdlog::custom_flag_formatter {
public:
    void format(const spdlog::details::log_msg& message, const std::tm&, spdlog::memory_buf_t& dest) override {
        const char* text = "<6>";
        switch (message.level) {
            case spdlog::level::trace:
            case spdlog::level::debug: text = "<7>"; break;
            case spdlog::level::warn: text = "<4>"; break;
            case spdlog::level::err: text = "<3>"; break;
            case spdlog::level::critical: text = "<2>"; break;
            default: break;
        }
        dest.append(text, text + 3);
    }
    std::unique_ptr<custom_flag_formatter> clone() const override { return std::make_unique<JournalPriority>(); }
};

}  // namespace

std::unique_ptr<spdlog::formatter> logFormatter(bool journalPriorities) {
    // Lines end in "\n" on Windows too: one log format, whatever reads it.
    auto formatter = std::make_unique<spdlog::pattern_formatter>(spdlog::pattern_time_type::local, "\n");
    if (journalPriorities) formatter->add_flag<JournalPriority>('*').set_pattern("%*%v");
    else formatter->set_pattern("%v");
    return formatter;
}

bool isJournalStream([[maybe_unused]] const char* journalStream, [[maybe_unused]] int fd) {
#ifndef _WIN32
    uintmax_t device = 0, inode = 0;
    char rest = 0;
    if (!journalStream || std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2) return false;
    struct stat status {};
    return fstat(fd, &status) == 0 && status.st_dev == device && status.st_ino == inode;
#else
    return false;
#endif
}

void configureLogging(bool verbose, const std::string& logFile) {
    auto console = std::make_shared<spdlog::sinks::stderr_sink_mt>();
    console->set_formatter(logFormatter(isJournalStream(std::getenv("JOURNAL_STREAM"), 2)));
    std::vector<spdlog::sink_ptr> sinks{console};
    if (!logFile.empty()) {
        auto file = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(pathFromUtf8(logFile).native(), 1024 * 1024, 2);
        file->set_formatter(std::make_unique<spdlog::pattern_formatter>("%Y-%m-%d %H:%M:%S %l %v", spdlog::pattern_time_type::local, "\n"));
        sinks.push_back(std::move(file));
    }
    auto logger = std::make_shared<spdlog::logger>("quorvane", sinks.begin(), sinks.end());
    logger->set_level(verbose ? spdlog::level::debug : spdlog::level::info);
    logger->flush_on(spdlog::level::debug);
    spdlog::set_default_logger(std::move(logger));
}

}  // namespace quorvane
