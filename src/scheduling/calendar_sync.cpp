#include "scheduling/calendar_sync.h"

#include <cstdint>
#include <optional>

#include <spdlog/spdlog.h>

#include "core/clock.h"
#include "remote/api.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

constexpr const char* HEARTBEAT_ANSWER = "the heartbeat answer";
constexpr const char* REGISTRY_ANSWER = "the calendar registry";

// The JSON object of a successful answer; absent, after a warning, when the answer is anything else.
// A malformed answer is a failed request: it must neither change the cache nor stop anything.
const Json* answerObject(const ApiResult& answer, const char* what) {
    const Json* json = std::get_if<Json>(&*answer.getValue());
    if (json && json->is_object()) return json;
    spdlog::warn("Ignoring {}: it is not a JSON object", what);
    return nullptr;
}

const Json* member(const Json& object, const char* name, const char* what) {
    const auto found = object.find(name);
    if (found != object.end()) return &*found;
    spdlog::warn("Ignoring {}: member \"{}\" is missing", what, name);
    return nullptr;
}

std::optional<int64_t> integerMember(const Json& object, const char* name, const char* what) {
    const Json* value = member(object, name, what);
    if (!value) return std::nullopt;
    if (isInt64(*value)) return value->get<int64_t>();
    spdlog::warn("Ignoring {}: member \"{}\" is not an integer", what, name);
    return std::nullopt;
}

}  // namespace

void phoneHome() {
    const ApiResult answer = Api::ping();
    if (!answer.isOk()) return;
    const Json* heartbeat = answerObject(answer, HEARTBEAT_ANSWER);
    if (!heartbeat) return;
    const std::optional<int64_t> offered = integerMember(*heartbeat, "calendarVersion", HEARTBEAT_ANSWER);
    if (!offered) return;

    const std::string today = getDateString();
    bool newer = false;
    {
        StateLock lock;
        newer = cache.view(lock).calendarVersion < *offered;
        if (!newer) cache.edit(lock).calendarLastUpdated = today;
    }
    if (newer) updateCalendarRegions();
}

void updateCalendarRegions() {
    spdlog::debug("Attempting to update calendar");
    const ApiResult answer = Api::getCalendarRegistry();
    if (!answer.isOk()) return;
    const Json* registry = answerObject(answer, REGISTRY_ANSWER);
    if (!registry) return;
    const Json* entries = member(*registry, "entries", REGISTRY_ANSWER);
    if (!entries) return;
    if (!entries->is_object()) {
        spdlog::warn("Ignoring {}: member \"entries\" is not an object", REGISTRY_ANSWER);
        return;
    }
    const std::optional<int64_t> version = integerMember(*registry, "version", REGISTRY_ANSWER);
    if (!version) return;

    // Decoded into a record of its own, away from the state lock: a registry that fails part-way leaves
    // the stored cache untouched, and readers never wait for the decoding.
    Cache received;
    try {
        received.loadCalendarEntires(*entries, *version, getDateString());
    } catch (const std::exception& error) {
        spdlog::warn("Ignoring {}: {}", REGISTRY_ANSWER, error.what());
        return;
    }
    {
        StateLock lock;
        Cache& stored = cache.edit(lock);
        stored.calendarRegions = std::move(received.calendarRegions);
        stored.calendarVersion = received.calendarVersion;
        stored.calendarLastUpdated = std::move(received.calendarLastUpdated);
    }
    spdlog::info("Calendar has been synchronized");
}

}  // namespace quorvane
