#pragma once
// The player's health for a person: each check says ok, warning or error, in a sentence, with what to do.
// Everything a check looks at comes from HealthSources, so that tests can stand in for the system.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/clock_sync.h"
#include "model/record.h"
#include "model/time_reading.h"

namespace quorvane {

enum class HealthStatus { OK, WARNING, ERROR };
template <>
struct EnumTexts<HealthStatus> {
    static constexpr std::pair<HealthStatus, const char*> values[] = {
        {HealthStatus::OK, "ok"}, {HealthStatus::WARNING, "warning"}, {HealthStatus::ERROR, "error"}};
};

struct HealthCheck {
    std::string name;
    HealthStatus status = HealthStatus::OK;
    std::string message;
    std::string remedy;  // empty when nothing needs doing

    static constexpr auto fields() {
        return std::tuple{field("name", &HealthCheck::name), field("status", &HealthCheck::status), field("message", &HealthCheck::message),
                          field("remedy", &HealthCheck::remedy)};
    }
};

inline constexpr std::chrono::seconds SCHEDULER_STALL_LIMIT{3};
inline constexpr uintmax_t MIN_FREE_BYTES = 100ull * 1000 * 1000;
inline constexpr int64_t CALENDAR_SYNC_DAYS = 3;
inline constexpr int64_t CALENDAR_AHEAD_DAYS = 30;

struct HealthSources {
    using SteadyTime = std::chrono::steady_clock::time_point;

    std::string searchPath;            // where the players are looked for, as in PATH
    std::filesystem::path dataFolder;  // the user data folder
    std::filesystem::path soundCards;  // the kernel's list of sound cards
    std::string audioDevice;           // the ALSA device the players use, "" for the default
    std::filesystem::path journalFolder;
    std::function<ClockSync()> clockSync;
    std::function<std::optional<uintmax_t>(const std::filesystem::path&)> freeSpace;  // bytes available
    std::function<SteadyTime()> steadyNow;
    std::function<std::optional<SteadyTime>()> lastPass;
    std::function<std::optional<std::string>()> saveError;
    std::function<struct_time()> today;

    // What the running process looks at.
    static HealthSources ofThisProcess();
};

// Takes the state lock itself for the calendar.
std::vector<HealthCheck> runHealthChecks(const HealthSources& sources);

// What a monitoring tool is told: "ok", or one word for what is wrong ("stalled", "unsaved").
std::string monitoringWord(const HealthSources& sources);

}  // namespace quorvane
