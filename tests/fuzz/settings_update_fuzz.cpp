// Settings updates by dotted paths, as the browser sends them. An update is either refused as a whole or
// applied so that exactly the fields it names change, every value stays within its declared bounds, and
// the settings still encode and decode alike.
#include <map>

#include "fuzz_input.h"
#include "model/db.h"
#include "web/settings_update.h"

namespace {

using namespace quorvane;
using Leaves = std::map<std::string, Json>;

void addLeaves(const Json& value, const std::string& path, Leaves& leaves) {
    if (!value.is_object() || value.empty()) {
        leaves[path] = value;
        return;
    }
    for (const auto& [name, member] : value.items()) addLeaves(member, path.empty() ? name : path + "." + name, leaves);
}

Leaves leavesOf(const Settings& settings) {
    Leaves leaves;
    addLeaves(to_dict(settings), "", leaves);
    return leaves;
}

// The leaf paths an update names, with the last value given for each.
Leaves named(const Json& update) {
    Leaves leaves;
    for (const auto& [path, value] : update.items()) {
        if (value.is_object()) {
            for (const auto& [name, member] : value.items()) addLeaves(member, path + "." + name, leaves);
        } else {
            leaves[path] = value;
        }
    }
    return leaves;
}

// Every field away from its default, so that a reset to defaults shows.
Settings unusualSettings() {
    Settings settings;
    settings.defaultTimetableId = "tt";
    settings.schedulerEnable = false;
    settings.dailyPreferences.selectedTimetableId = "today";
    settings.dailyPreferences._lastDay = 200;
    settings.alarmSignalId = "siren";
    settings.alarmDelaySec = 12.5;
    settings.calendar.workdayMode = WorkdayMode::SAT_TO_WED;
    settings.calendar.syncRegionId = "at";
    settings.calendar.syncSchoolHolidays = false;
    return settings;
}

void applyTo(Settings settings, const Json& update) {
    const Leaves before = leavesOf(settings);
    web::applySettingsUpdate(settings, update);
    const Leaves after = leavesOf(settings);
    const Leaves changed = named(update);
    fuzz::require(after.size() == before.size(), "the settings keep their fields", update.dump());
    for (const auto& [path, value] : after) {
        const auto expected = changed.find(path);
        if (expected == changed.end()) fuzz::require(value == before.at(path), "a field the update does not name keeps its value", path);
        else fuzz::require(value == expected->second, "a named field takes the value given", path);
    }
    const std::string written = to_json(settings);
    try {
        fuzz::require(from_json<Settings>(written) == settings, "updated settings decode as they were", written);
    } catch (const DecodeError& error) {
        fuzz::broken("updated settings are acceptable input", written + "\n" + error.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Json update = Json::parse(fuzz::inputText(data, size), nullptr, false);
    if (update.is_discarded()) return 0;
    try {
        web::checkSettingsUpdate(update);
    } catch (const web::SettingsUpdateError&) {
        return 0;
    }
    applyTo(Settings(), update);
    applyTo(unusualSettings(), update);
    return 0;
}
